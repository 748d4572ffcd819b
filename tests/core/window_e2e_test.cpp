// The window end to end: a program on the runtime opens its window, shows "Loading..." first,
// draws frames, and ends with status 0 when Escape is pressed (a real X key event through
// xdotool) or its window is closed.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/child_exit.h"
#include "support/errorlog_lines.h"
#include "support/within.h"

namespace {

// A 640 x 480 screenshot: a 24-bit BMP of 54 header bytes and 640 * 480 * 3 pixel bytes.
constexpr size_t kShotSize = 921654;

// Asks the window to close as a window manager would: a WM_DELETE_WINDOW client message.
bool CloseWindow(Display* display, unsigned long id) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    return XSendEvent(display, id, False, NoEventMask, &event) != 0 && XSync(display, False) != 0;
}

// The test holds its own connection to the X server for its whole run, so the server never
// sees its last client leave (and resets) between two runs of the program.
Display* gDisplay = XOpenDisplay(nullptr);

// {full screen, closed instead of Escape}
class WindowEndToEnd : public ::testing::TestWithParam<std::pair<bool, bool>> {};

TEST_P(WindowEndToEnd, ShowsLoadingThenEndsWithStatusZero) {
    ASSERT_NE(gDisplay, nullptr);
    const std::string demo = std::string(std::getenv("VOXA_TEST_BIN_DIR")) + "/window_demo";
    const std::string shot = "/tmp/voxa_e2e_" + std::to_string(getpid()) + ".bmp";
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("_", demo.c_str(), 1);
        execl(demo.c_str(), demo.c_str(), GetParam().first ? "1" : "0", shot.c_str(), nullptr);
        _exit(127);
    }
    // The program starts and opens its window before it writes the screenshot, which takes
    // long on a loaded machine.
    std::string bmp;
    ASSERT_TRUE(voxatest::Within([&] { return (bmp = voxatest::ReadFileBytes(shot)).size() >= kShotSize; }, 120000, 20));
    std::remove(shot.c_str());
    // The first screen: "Loading..." centred with the built-in font (70 x 8 pixels at
    // (285, 236)), nothing else.
    int left = 640, right = -1, top = 480, bottom = -1;
    for (int i = 0; i < 640 * 480; ++i) {
        const int x = i % 640, y = 479 - i / 640;
        if (bmp[54 + size_t(i) * 3] == 0 && bmp[55 + size_t(i) * 3] == 0 && bmp[56 + size_t(i) * 3] == 0) continue;
        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_GE(left, 285);
    EXPECT_LE(right, 354);
    EXPECT_GE(top, 236);
    EXPECT_LE(bottom, 243);
    EXPECT_GT(right - left, 60);

    FILE* search = popen("timeout 120 xdotool search --sync --name 'VOXA window demo' 2>/dev/null", "r");
    ASSERT_NE(search, nullptr);
    unsigned long id = 0;
    const bool found = std::fscanf(search, "%lu", &id) == 1;
    pclose(search);
    ASSERT_TRUE(found);
    if (GetParam().second) {
        ASSERT_TRUE(CloseWindow(gDisplay, id));
    } else {
        // The pointer over the window gives it the keyboard (no window manager under Xvfb).
        ASSERT_EQ(std::system(("xdotool mousemove --window " + std::to_string(id) + " 20 20 key Escape").c_str()), 0);
    }
    EXPECT_EQ(voxatest::WaitForExit(pid, 120000), 0);
}

INSTANTIATE_TEST_SUITE_P(WindowedFullScreenAndClosed, WindowEndToEnd,
                         ::testing::Values(std::pair{false, false}, std::pair{true, false}, std::pair{false, true}));

}  // namespace
