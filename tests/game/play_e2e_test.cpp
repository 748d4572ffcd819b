// The built game end to end under Xvfb, driven by real key events (xdotool): the menu shows its
// title, the right arrow starts play, space shoots the ball up the table, R restarts into the
// menu, Escape ends the program with status 0, and the error log holds only its two lines.
//
// Every step waits for what the screen shows, polling with a generous limit, and each key is
// held until its effect shows: the game reads its keys once a frame, and a frame on a loaded
// machine can take long. The checks compare whole areas with the menu picture the game showed
// first, so none depends on where the rolling target ball happens to be.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/errorlog_lines.h"
#include "support/within.h"

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

// Areas of the game's 640 x 480 picture.
struct Area {
    int x, y, w, h;
    int Pixels() const { return w * h; }
};
constexpr Area kTitle = {255, 70, 128, 32};        // the large gold "VOXA" of the menu page
constexpr Area kTitleBand = {0, 40, 640, 110};     // title and subtitle over the menu's starry sky
constexpr Area kBallPlace = {296, 300, 48, 42};    // the ball waiting in front of the middle tube

unsigned GamePixel(const Shot& s, int x, int y) { return s.At((s.width - 640) / 2 + x, (s.height - 480) / 2 + y); }

template <typename Test>
int Count(const Area& a, Test test) {
    int n = 0;
    for (int y = a.y; y < a.y + a.h; ++y)
        for (int x = a.x; x < a.x + a.w; ++x) n += test(x, y);
    return n;
}

int CountGold(const Shot& s, const Area& a) {
    return Count(a, [&](int x, int y) {
        unsigned p = GamePixel(s, x, y);
        unsigned r = p >> 16, g = (p >> 8) & 255, b = p & 255;
        return r > 170 && g > 110 && b < 110;
    });
}

// The blue of the player's ball (about 350 pixels of its place while it waits there).
int CountBlue(const Shot& s, const Area& a) {
    return Count(a, [&](int x, int y) {
        unsigned p = GamePixel(s, x, y);
        unsigned r = p >> 16, g = (p >> 8) & 255, b = p & 255;
        return b > 150 && r < 90 && g < 130;
    });
}

int CountSame(const Shot& a, const Shot& b, const Area& area) {
    return Count(area, [&](int x, int y) { return GamePixel(a, x, y) == GamePixel(b, x, y); });
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A real key event through xdotool.
void Key(const std::string& action, const char* name) {
    ASSERT_EQ(std::system(("xdotool " + action + " " + name).c_str()), 0);
}

// The game writes its error log to the fixed path /tmp/ErrorLog.txt, which every program on
// the machine deletes and writes at its start. Where the system lets a process have a mount
// namespace of its own, the game runs with a private directory bound over /tmp (X is reached
// through its abstract socket, which no mount hides), so its log is its alone; elsewhere it
// shares /tmp and its log is judged only when no other program wrote to it.
const char* const kOwnTmp = "mount --bind \"$0\" /tmp && exec \"$1\"";

class GameEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        bin_ = std::string(std::getenv("VOXA_BIN_DIR")) + "/voxa";
        char dir[] = "/tmp/voxa_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        tmp_ = dir;
        const std::string probe = std::string("unshare --mount --map-root-user sh -c '") + kOwnTmp + "' " + tmp_ +
                                  " /bin/true >/dev/null 2>&1";
        const bool ownTmp = std::system(probe.c_str()) == 0;
        log_ = ownTmp ? tmp_ + "/ErrorLog.txt" : "/tmp/ErrorLog.txt";
        std::remove(log_.c_str());
        pid_ = fork();
        if (pid_ == 0) {
            setenv("_", bin_.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            if (ownTmp) {
                execlp("unshare", "unshare", "--mount", "--map-root-user", "sh", "-c", kOwnTmp, tmp_.c_str(),
                       bin_.c_str(), static_cast<char*>(nullptr));
            } else {
                execl(bin_.c_str(), bin_.c_str(), static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
    }
    void TearDown() override {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::system(("rm -rf '" + tmp_ + "'").c_str());
    }
    bool Running() {
        if (exited_) return false;
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) != pid_) return true;
        exited_ = true;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
        return false;
    }
    // Grabs the screen until check holds for the grab (left in *seen); false when the game ends
    // or two minutes pass first.
    bool WaitFor(const std::function<bool(const Shot&)>& check, Shot* seen) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (Running() && std::chrono::steady_clock::now() < deadline) {
            *seen = Grab();
            if (seen->width >= 640 && seen->height >= 480 && check(*seen)) return true;
            Sleep(100);
        }
        return false;
    }
    // Holds a key until check holds for the screen.
    bool HoldUntil(const char* key, const std::function<bool(const Shot&)>& check, Shot* seen) {
        Key("keydown", key);
        const bool shown = WaitFor(check, seen);
        Key("keyup", key);
        return shown;
    }

    std::string bin_, tmp_, log_;
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

TEST_F(GameEndToEnd, MenuPlayShotRestartAndEscape) {
    Shot menu, now;
    // About 600 gold pixels on the menu page, none on the loading screen before it.
    ASSERT_TRUE(WaitFor([](const Shot& s) { return CountGold(s, kTitle) > 200; }, &menu)) << "the title VOXA in gold";
    // The menu page is a still picture above its window onto the table: what differs from it
    // in most of the band is the scene of play.
    auto menuBand = [&](const Shot& s) { return CountSame(menu, s, kTitleBand); };
    ASSERT_TRUE(HoldUntil("Right", [&](const Shot& s) { return menuBand(s) < kTitleBand.Pixels() / 10; }, &now))
        << "the title page is gone in play";

    // Tubes and pointers drop and the ball waits in front of the middle tube; space holds
    // until the shot has taken it away.
    ASSERT_TRUE(WaitFor([](const Shot& s) { return CountBlue(s, kBallPlace) > 150; }, &now)) << "the ball is served";
    EXPECT_TRUE(HoldUntil("space", [](const Shot& s) { return CountBlue(s, kBallPlace) < 50; }, &now))
        << "the shot takes the ball away";

    // R restarts before the frame is shown and again in every frame while it is held, so its
    // effect cannot show while it is down: it is held for a second, and pressed again should the
    // game have been in one long frame all that time.
    bool restarted = false;
    for (int attempt = 0; attempt < 3 && !restarted; ++attempt) {
        Key("keydown", "r");
        Sleep(1000);
        Key("keyup", "r");
        restarted = WaitFor([&](const Shot& s) { return menuBand(s) > kTitleBand.Pixels() * 9 / 10; }, &now);
    }
    EXPECT_TRUE(restarted) << "R restarts into the menu";

    Key("key", "Escape"); // a quit request at the press
    ASSERT_TRUE(voxatest::Within([&] { return !Running(); }, voxatest::kPatienceMs, 20)) << "Escape ends the game";
    EXPECT_EQ(status_, 0);

    // A shared log that another program wrote to meanwhile cannot be judged.
    const std::string dir = bin_.substr(0, bin_.rfind('/'));
    const auto log = voxatest::LogOfOneRun(log_, dir);
    if (!log) {
        std::printf("other programs wrote to the error log meanwhile; it was not judged\n");
        return;
    }
    EXPECT_EQ(*log, (std::vector<std::string>{"Current Dir", dir}));
}

} // namespace
