// The window end to end: a program on the runtime opens its window, shows "Loading..." first,
// draws frames, and ends with status 0 when Escape is pressed (a real X key event through
// xdotool) or its window is closed.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/child_exit.h"

namespace {

using voxatest::WaitForExit;

std::string Demo() { return std::string(std::getenv("VOXA_TEST_BIN_DIR")) + "/window_demo"; }

std::string TempPath(const std::string& name) {
    return "/tmp/voxa_e2e_" + std::to_string(getpid()) + "_" + name;
}

pid_t Start(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        setenv("_", args[0].c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// A 640 x 480 screenshot: a 24-bit BMP of 54 header bytes and 640 * 480 * 3 pixel bytes.
constexpr off_t kShotSize = 921654;

// Waits until the program has written the whole screenshot, for at most two minutes (the
// program starts and opens its window first, which takes long on a loaded machine).
bool WaitForShot(const std::string& path) {
    struct stat st;
    for (int i = 0; i < 6000; ++i) {
        if (stat(path.c_str(), &st) == 0 && st.st_size >= kShotSize) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

void PressEscape() {
    // The pointer over the window gives it the keyboard (no window manager under Xvfb).
    Shell("timeout 120 xdotool search --sync --name 'VOXA window demo' mousemove --window %1 20 20 >/dev/null 2>&1");
    Shell("xdotool key Escape");
}

// Asks the window to close as a window manager would: a WM_DELETE_WINDOW client message.
bool CloseWindow() {
    FILE* search = popen("timeout 120 xdotool search --sync --name 'VOXA window demo' 2>/dev/null", "r");
    if (search == nullptr) return false;
    unsigned long id = 0;
    bool found = std::fscanf(search, "%lu", &id) == 1;
    pclose(search);
    Display* display = XOpenDisplay(nullptr);
    if (!found || display == nullptr) return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, id, False, NoEventMask, &event);
    XCloseDisplay(display);
    return true;
}

// The test holds its own connection to the X server for its whole run, so the server never
// sees its last client leave (and resets) between two runs of the program.
class HoldDisplay : public ::testing::Environment {
public:
    void SetUp() override { display_ = XOpenDisplay(nullptr); }
    void TearDown() override {
        if (display_ != nullptr) XCloseDisplay(display_);
    }

private:
    Display* display_ = nullptr;
};
const auto* const gHoldDisplay = ::testing::AddGlobalTestEnvironment(new HoldDisplay);

class WindowEndToEnd : public ::testing::TestWithParam<int> {};

TEST_P(WindowEndToEnd, ShowsLoadingThenEndsWithStatusZeroOnEscape) {
    const std::string shot = TempPath("loading.bmp");
    pid_t pid = Start({Demo(), std::to_string(GetParam()), shot});
    ASSERT_TRUE(WaitForShot(shot));
    // The first screen: "Loading..." centred with the built-in font (70 x 8 pixels at
    // (285, 236)), nothing else.
    std::ifstream in(shot, std::ios::binary);
    std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bmp.size(), size_t(kShotSize));
    int left = 640, right = -1, top = 480, bottom = -1;
    for (int row = 0; row < 480; ++row) {
        for (int x = 0; x < 640; ++x) {
            const uint8_t* p = &bmp[54 + (size_t(row) * 640 + x) * 3];
            if (p[0] + p[1] + p[2] == 0) continue;
            int y = 479 - row;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    EXPECT_GE(left, 285);
    EXPECT_LE(right, 354);
    EXPECT_GE(top, 236);
    EXPECT_LE(bottom, 243);
    EXPECT_GT(right - left, 60);
    std::remove(shot.c_str());

    PressEscape();
    EXPECT_EQ(WaitForExit(pid, 120000), 0);
}

INSTANTIATE_TEST_SUITE_P(WindowedAndFullScreen, WindowEndToEnd, ::testing::Values(0, 1));

TEST(WindowEndToEndClose, ClosingTheWindowEndsWithStatusZero) {
    const std::string shot = TempPath("close.bmp");
    pid_t pid = Start({Demo(), "0", shot});
    ASSERT_TRUE(WaitForShot(shot));
    std::remove(shot.c_str());
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(WaitForExit(pid, 120000), 0);
}

} // namespace
