// The built game end to end under Xvfb, driven by real key events (xdotool): the menu shows its
// title, the right arrow starts play, space shoots the ball up the table, R restarts into the
// menu, Escape ends the program with status 0, and the error log holds only its two lines.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Shot {
    int width = 0, height = 0;
    std::vector<unsigned> rgb; // 0xRRGGBB per pixel
    unsigned At(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

// The screen as the user sees it; the full-screen 640 x 480 game sits centred on it.
Shot Grab() {
    Shot s;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return s;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* img = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (img) {
        s.width = a.width;
        s.height = a.height;
        s.rgb.resize(size_t(a.width) * a.height);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) s.rgb[size_t(y) * a.width + x] = XGetPixel(img, x, y) & 0xFFFFFF;
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return s;
}

// Pixels of the game's 640 x 480 area, in game coordinates.
unsigned GamePixel(const Shot& s, int x, int y) { return s.At((s.width - 640) / 2 + x, (s.height - 480) / 2 + y); }

int CountGold(const Shot& s, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            unsigned p = GamePixel(s, x, y);
            unsigned r = p >> 16, g = (p >> 8) & 255, b = p & 255;
            if (r > 170 && g > 110 && b < 110) ++n;
        }
    return n;
}

int CountChanged(const Shot& a, const Shot& b, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += GamePixel(a, x, y) != GamePixel(b, x, y);
    return n;
}

// Holds a key for a moment: the game samples the key state once or twice a frame, and a press
// and release in the same sample would not be seen.
void Key(const char* name) {
    std::string cmd = std::string("xdotool keydown ") + name + " sleep 0.2 keyup " + name;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The screen once `shown` holds for it, grabbing every 200 ms for up to 20 s: on a busy machine
// the game may take several times longer than usual to get there. The last grab when it never
// holds, for the caller's check to report.
template <class Predicate>
Shot GrabWhen(Predicate shown) {
    Shot s = Grab();
    for (int i = 0; i < 100 && !shown(s); ++i) {
        Sleep(200);
        s = Grab();
    }
    return s;
}

TEST(GameEndToEnd, MenuPlayShotRestartAndEscape) {
    std::string bin = std::string(std::getenv("VOXA_BIN_DIR")) + "/voxa";
    std::remove("/tmp/ErrorLog.txt");
    pid_t pid = fork();
    if (pid == 0) {
        setenv("_", bin.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(bin.c_str(), bin.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    auto titleShown = [](const Shot& s) {
        return s.width >= 640 && s.height >= 480 && CountGold(s, 255, 70, 383, 102) > 200;
    };
    Shot menu = GrabWhen(titleShown);
    ASSERT_EQ(menu.width >= 640 && menu.height >= 480, true);
    EXPECT_GT(CountGold(menu, 255, 70, 383, 102), 200) << "the title VOXA in gold";

    Key("Right");
    auto titleGone = [](const Shot& s) { return CountGold(s, 255, 70, 383, 102) < 50; };
    Shot play = GrabWhen(titleGone);
    EXPECT_TRUE(titleGone(play)) << "the title page is gone in play";
    Sleep(2500); // tubes and pointers drop, the game settles
    play = Grab();

    Key("space");
    // The ball rested in front of the middle tube; after the shot that place looks different.
    Shot shot = GrabWhen([&](const Shot& s) { return CountChanged(play, s, 290, 280, 350, 340) > 300; });
    EXPECT_GT(CountChanged(play, shot, 290, 280, 350, 340), 300);

    Key("r");
    Shot restarted = GrabWhen(titleShown);
    EXPECT_GT(CountGold(restarted, 255, 70, 383, 102), 200) << "R restarts into the menu";

    Key("Escape");
    int status = -1;
    for (int i = 0; i < 250; ++i) {
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) {
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
            break;
        }
        Sleep(20);
    }
    if (status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(status, 0);

    std::ifstream log("/tmp/ErrorLog.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    std::string dir = bin.substr(0, bin.rfind('/'));
    // The log's path is shared by every program on the machine: when another program started
    // meanwhile (its directory line differs), this run's log is gone and cannot be judged.
    if (text.find(dir) == std::string::npos && !text.empty() && text.rfind("Current Dir\r\n", 0) == 0) return;
    EXPECT_EQ(text, "Current Dir\r\n" + dir + "\r\n");
}

} // namespace
