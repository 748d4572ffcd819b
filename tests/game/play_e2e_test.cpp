// The built game end to end under Xvfb, driven by real key events (xdotool) while it records its
// input and saves snapshots at frames 1, 2, 4, 8, ...: the menu shows its title, the right arrow
// starts play, space shoots the ball up the table, R restarts into the menu, Escape ends the
// program with status 0 and the error log holds only its two lines. Then the game replays the
// recording without a key event, ends by itself at the recorded Escape and writes the same
// snapshots: the same pixels, the same variables.
//
// Every step waits for what the screen shows, or for the snapshots of the frames it needs, with a
// generous limit, and each key is held until its effect shows. The checks
// compare whole areas with the menu picture the game showed first, so none depends on where the
// rolling target ball happens to be.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/child_exit.h"
#include "support/errorlog_lines.h"
#include "support/within.h"

namespace {

struct Shot {
    int width = 0, height = 0;
    std::vector<unsigned> rgb; // 0xRRGGBB per pixel
    // A pixel of the full-screen 640 x 480 game, which sits centred on the screen.
    unsigned At(int x, int y) const { return rgb[size_t(y + (height - 480) / 2) * width + x + (width - 640) / 2]; }
};

Shot Grab() {
    Shot s;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return s;
    XWindowAttributes a;
    XGetWindowAttributes(d, DefaultRootWindow(d), &a);
    if (XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, a.width, a.height, AllPlanes, ZPixmap)) {
        s.width = a.width;
        s.height = a.height;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) s.rgb.push_back(XGetPixel(img, x, y) & 0xFFFFFF);
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return s;
}

// Areas of the game's picture, and the pixels of one that pass a test.
struct Area {
    int x, y, w, h;
    int Pixels() const { return w * h; }
};
constexpr Area kTitle = {255, 70, 128, 32};     // the large gold "VOXA" of the menu page
constexpr Area kTitleBand = {0, 40, 640, 110};  // title and subtitle over the menu's starry sky
constexpr Area kBallPlace = {296, 300, 48, 42}; // the ball waiting in front of the middle tube

int Count(const Shot& s, const Area& a, const std::function<bool(unsigned r, unsigned g, unsigned b)>& test) {
    int n = 0;
    for (int y = a.y; y < a.y + a.h; ++y)
        for (int x = a.x; x < a.x + a.w; ++x) n += test(s.At(x, y) >> 16, (s.At(x, y) >> 8) & 255, s.At(x, y) & 255);
    return n;
}
// The gold of the large font (about 600 pixels of the title) and the blue of the player's ball
// (about 350 pixels of its place while it waits there).
int Gold(const Shot& s) { return Count(s, kTitle, [](unsigned r, unsigned g, unsigned b) { return r > 170 && g > 110 && b < 110; }); }
int Blue(const Shot& s) { return Count(s, kBallPlace, [](unsigned r, unsigned g, unsigned b) { return b > 150 && r < 90 && g < 130; }); }

bool Xdotool(const std::string& action, const char* key) { return std::system(("xdotool " + action + " " + key).c_str()) == 0; }

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// The game writes its error log to the fixed path /tmp/ErrorLog.txt, which every program on the
// machine deletes and writes at its start. Where the system lets a process have a mount namespace
// of its own, the played game runs with a private directory bound over /tmp (X is reached through
// its abstract socket, which no mount hides), so its log is its alone; elsewhere it shares /tmp
// and its log is judged only when no other program wrote to it.
const char* const kOwnTmp = "mount --bind \"$0\" /tmp && exec \"$@\"";

class GameEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/voxa_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        tmp_ = dir;
        ownTmp_ = std::system(("unshare --mount --map-root-user sh -c '" + std::string(kOwnTmp) + "' " + tmp_ +
                               " /bin/true >/dev/null 2>&1").c_str()) == 0;
    }
    void TearDown() override {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::system(("rm -rf '" + tmp_ + "'").c_str());
    }
    // Starts the game with the recording option and a snapshot folder, both in the test's folder.
    void Start(const char* option, const std::string& snapshots, bool ownTmp) {
        const std::string dir = ownTmp ? "/tmp" : tmp_; // the test's folder as the game sees it
        ASSERT_EQ(mkdir((tmp_ + "/" + snapshots).c_str(), 0755), 0);
        std::vector<std::string> args = {bin_, option, dir + "/run.vxr", "--snapshots", dir + "/" + snapshots};
        if (ownTmp) args.insert(args.begin(), {"unshare", "--mount", "--map-root-user", "sh", "-c", kOwnTmp, tmp_});
        exited_ = false;
        pid_ = fork();
        if (pid_ == 0) {
            setenv("_", bin_.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
    }
    bool Running() {
        int st = 0;
        if (exited_ || waitpid(pid_, &st, WNOHANG) != pid_) return !exited_;
        exited_ = true;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
        return false;
    }
    // Grabs the screen until check holds for the grab (left in *seen); false when the game ends
    // or two minutes pass first.
    bool WaitFor(const std::function<bool(const Shot&)>& check, Shot* seen) {
        return voxatest::Within([&] { return !Running() || ((*seen = Grab()).width >= 640 && check(*seen)); }, 120000, 100) &&
               Running();
    }
    bool HoldUntil(const char* key, const std::function<bool(const Shot&)>& check, Shot* seen) {
        Xdotool("keydown", key);
        const bool shown = WaitFor(check, seen);
        Xdotool("keyup", key);
        return shown;
    }
    std::string bin_ = std::string(std::getenv("VOXA_BIN_DIR")) + "/voxa", tmp_;
    bool ownTmp_ = false, exited_ = false;
    pid_t pid_ = -1;
    int status_ = -1;
};

TEST_F(GameEndToEnd, MenuPlayShotRestartEscapeAndTheReplayOfItAll) {
    const std::string log = ownTmp_ ? tmp_ + "/ErrorLog.txt" : "/tmp/ErrorLog.txt";
    std::remove(log.c_str());
    Start("--record", "played", ownTmp_);
    Shot menu, now;
    // About 600 gold pixels on the menu page, none on the loading screen before it.
    ASSERT_TRUE(WaitFor([](const Shot& s) { return Gold(s) > 200; }, &menu)) << "the title VOXA in gold";
    // The menu page is a still picture above its window onto the table: what differs from it in
    // most of the band is the scene of play.
    auto menuBand = [&](const Shot& s) {
        int same = 0;
        for (int y = kTitleBand.y; y < kTitleBand.y + kTitleBand.h; ++y)
            for (int x = 0; x < 640; ++x) same += s.At(x, y) == menu.At(x, y);
        return same;
    };
    ASSERT_TRUE(HoldUntil("Right", [&](const Shot& s) { return menuBand(s) < kTitleBand.Pixels() / 10; }, &now))
        << "the title page is gone in play";
    const size_t atPlay = Names(tmp_ + "/played").size();

    // Tubes and pointers drop and the ball waits in front of the middle tube; space is held until
    // the shot has taken it away. Play then goes on until a snapshot is taken in it, and on to
    // frame 128 at least.
    ASSERT_TRUE(WaitFor([](const Shot& s) { return Blue(s) > 150; }, &now)) << "the ball is served";
    EXPECT_TRUE(HoldUntil("space", [](const Shot& s) { return Blue(s) < 50; }, &now)) << "the shot takes the ball away";
    EXPECT_TRUE(voxatest::Within([&] { return Names(tmp_ + "/played").size() >= std::max<size_t>(16, atPlay + 2); },
                                 120000, 20));

    // R restarts before the frame is shown and again in every frame while it is held, so its
    // effect cannot show while it is down: it is held for a second, and pressed again should the
    // game have been in one long frame all that time.
    bool restarted = false;
    for (int attempt = 0; attempt < 3 && !restarted; ++attempt) {
        Xdotool("keydown", "r");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Xdotool("keyup", "r");
        restarted = WaitFor([&](const Shot& s) { return menuBand(s) > kTitleBand.Pixels() * 9 / 10; }, &now);
    }
    EXPECT_TRUE(restarted) << "R restarts into the menu";

    Xdotool("key", "Escape"); // a quit request at the press
    ASSERT_TRUE(voxatest::Within([&] { return !Running(); }, voxatest::kPatienceMs, 20)) << "Escape ends the game";
    EXPECT_EQ(status_, 0);
    // A shared log that another program wrote to meanwhile cannot be judged.
    const std::string dir = bin_.substr(0, bin_.rfind('/'));
    if (const auto lines = voxatest::LogOfOneRun(log, dir)) {
        EXPECT_EQ(*lines, (std::vector<std::string>{"Current Dir", dir}));
    } else {
        std::printf("other programs wrote to the error log meanwhile; it was not judged\n");
    }

    Start("--replay", "replayed", false);
    EXPECT_EQ(voxatest::WaitForExit(pid_, 240000), 0) << "the replay ends with the recorded Escape";
    exited_ = true;
    const std::set<std::string> names = Names(tmp_ + "/played");
    EXPECT_GE(names.size(), 16u) << "frames 1 to 128 at least, a picture and the variables each";
    EXPECT_EQ(Names(tmp_ + "/replayed"), names);
    bool inPlay = false;
    for (const std::string& name : names) {
        const std::string a = voxatest::ReadFileBytes(tmp_ + "/played/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == voxatest::ReadFileBytes(tmp_ + "/replayed/" + name)) << name << " differs in the replay";
        inPlay = inPlay || a.rfind("gameState 1 ", 0) == 0;
    }
    EXPECT_TRUE(inPlay) << "a snapshot shows the game in play";
}

} // namespace
