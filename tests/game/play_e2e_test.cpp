// The built game end to end under Xvfb, driven by real key events (xdotool) while it records its
// input and saves snapshots (the frame and the game's variables) at shown frames 1, 2, 4, 8, ...;
// then replayed without a key event to the recorded Escape and the same snapshots, byte for byte.
// Each key is held until a snapshot shows its effect: the test waits for frames shown, never for a time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "globals.h"
#include "support/child_exit.h"
#include "support/errorlog_lines.h"
#include "support/scratch_files.h"
#include "support/within.h"

namespace {

bool Xdotool(const std::string& action) { return std::system(("xdotool " + action).c_str()) == 0; }

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    std::error_code missing;
    for (const auto& e : std::filesystem::directory_iterator(dir, missing)) names.insert(e.path().filename());
    return names;
}

// The game writes its error log to the fixed path /tmp/ErrorLog.txt, which every program on the
// machine deletes and writes at its start. Where the system lets a process have a mount namespace
// of its own and the game is not built inside /tmp, the played game runs with a private directory
// bound over /tmp (X is reached through its abstract socket, which no mount hides), so its log is
// its alone; elsewhere it shares /tmp and its log is judged only when no other program wrote to it.
const char* const kOwnTmp = "mount --bind \"$0\" /tmp && exec \"$@\"";

class GameEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // A build inside /tmp (a clone there) would vanish under the private /tmp: share it then.
        const std::string game = std::filesystem::weakly_canonical(bin_).string();
        ownTmp_ = game.rfind("/tmp/", 0) != 0 &&
                  std::system(("unshare --mount --map-root-user sh -c '" + std::string(kOwnTmp) + "' " + tmp_.Path() +
                               " /bin/true >/dev/null 2>&1").c_str()) == 0;
    }
    void TearDown() override {
        if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    }
    // Starts the game recording into (or replaying) run.vxr with snapshots into `snapshots`, both
    // in the test's folder.
    void Start(const char* option, const std::string& snapshots, bool ownTmp) {
        const std::string dir = ownTmp ? "/tmp" : tmp_.Path(); // the test's folder as the game sees it
        ASSERT_EQ(mkdir((tmp_ / snapshots).c_str(), 0755), 0);
        std::vector<std::string> args = {bin_, option, dir + "/run.vxr", "--snapshots", dir + "/" + snapshots};
        if (ownTmp) args.insert(args.begin(), {"unshare", "--mount", "--map-root-user", "sh", "-c", kOwnTmp, tmp_.Path()});
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
    int Finish() {
        const int status = voxatest::WaitForExit(pid_, 240000);
        pid_ = -1;
        return status;
    }
    // Waits for the next snapshot of the played game (until its text is whole) and tells whether
    // `shows` holds for the game's variables in it.
    bool NextShows(const std::function<bool(const GameGlobals&)>& shows) {
        const size_t pairs = Names(tmp_ / "played").size() / 2; // a picture and a text each
        const std::string file = tmp_ / "played/frame-" + std::to_string(1 << pairs) + ".txt";
        std::string text;
        EXPECT_TRUE(voxatest::Within([&] {
            text = voxatest::ReadFileBytes(file);
            return text.find("\npointerLaneX ") != std::string::npos && text.back() == '\n';
        }, 120000, 20)) << file;
        std::istringstream in(text.substr(text.find("\nglobals ") + 9));
        GameGlobals g;
        for (size_t i = 0; i < sizeof g / sizeof(double); ++i) in >> reinterpret_cast<double*>(&g)[i];
        return in && shows(g);
    }
    bool HoldUntil(const char* key, const std::function<bool(const GameGlobals&)>& effect) {
        Xdotool(std::string("keydown ") + key);
        bool shown = false;
        for (int k = 0; k < 6 && !shown; ++k) shown = NextShows(effect);
        Xdotool(std::string("keyup ") + key);
        return shown;
    }

    std::string bin_ = std::string(std::getenv("VOXA_BIN_DIR")) + "/voxa";
    ScratchDir tmp_;
    bool ownTmp_ = false;
    pid_t pid_ = -1;
};

TEST_F(GameEndToEnd, MenuPlayRestartEscapeAndTheReplayOfItAll) {
    const std::string log = ownTmp_ ? tmp_ / "ErrorLog.txt" : "/tmp/ErrorLog.txt";
    std::remove(log.c_str());
    Start("--record", "played", ownTmp_);
    ASSERT_TRUE(NextShows([](const GameGlobals& g) { return g.gameState == 0; })) << "the menu first";
    ASSERT_TRUE(HoldUntil("Right", [](const GameGlobals& g) { return g.gameState == 1; })) << "the right arrow starts play";
    // The right arrow, held on into play, turns the pointer as well.
    ASSERT_TRUE(HoldUntil("Up", [](const GameGlobals& g) { return g.aimAngle == 0; })) << "up centres the pointer";
    // R restarts before the frame is shown and again in every frame while it is held, so its
    // effect cannot show while it is down: it is held for a second, and again should the game
    // have been in one long frame all that time.
    bool restarted = false;
    for (int attempt = 0; attempt < 3 && !restarted; ++attempt) {
        Xdotool("keydown r");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Xdotool("keyup r");
        restarted = NextShows([](const GameGlobals& g) { return g.gameState == 0; });
    }
    EXPECT_TRUE(restarted) << "R restarts into the menu";
    Xdotool("key Escape"); // a quit request at the press
    EXPECT_EQ(Finish(), 0) << "Escape ends the game";
    // A shared log that another program wrote to meanwhile cannot be judged.
    const std::string dir = bin_.substr(0, bin_.rfind('/'));
    if (const auto lines = voxatest::LogOfOneRun(log, dir)) {
        EXPECT_EQ(*lines, (std::vector<std::string>{"Current Dir", dir}));
    } else {
        std::printf("other programs wrote to the error log meanwhile; it was not judged\n");
    }

    Start("--replay", "replayed", false);
    EXPECT_EQ(Finish(), 0) << "the replay ends with the recorded Escape";
    const std::set<std::string> names = Names(tmp_ / "played");
    EXPECT_EQ(Names(tmp_ / "replayed"), names);
    for (const std::string& name : names) {
        const std::string played = voxatest::ReadFileBytes(tmp_ / ("played/" + name));
        EXPECT_FALSE(played.empty()) << name;
        EXPECT_TRUE(played == voxatest::ReadFileBytes(tmp_ / ("replayed/" + name))) << name << " differs in the replay";
    }
}

} // namespace
