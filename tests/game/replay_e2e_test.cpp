// The built game recorded and replayed end to end under Xvfb. A game is played with real key
// events (xdotool) while the game records it and saves snapshots at frames 1, 2, 4, 8, ...; then
// the game replays the recording without a single key event, ends by itself where the played
// game ended (Escape), and writes the same snapshots: the same pixels, the same variables.
//
// Nothing here waits for a fixed time: each step waits until the recording has grown by a number
// of bytes, that is until the game has run that many frames, however fast frames come.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/child_exit.h"
#include "support/errorlog_lines.h"

namespace {

pid_t StartGame(const std::string& bin, const std::vector<std::string>& options) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("_", bin.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv{const_cast<char*>(bin.c_str())};
        for (const std::string& o : options) argv.push_back(const_cast<char*>(o.c_str()));
        argv.push_back(nullptr);
        execv(bin.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : -1;
}

// Waits until the recording holds `bytes` more than now (the game runs about 30 frames per
// kilobyte); false after two minutes without that much.
bool WaitForFrames(const std::string& recording, long bytes) {
    const long target = std::max(FileSize(recording), 0L) + bytes;
    for (int i = 0; i < 6000 && FileSize(recording) < target; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return FileSize(recording) >= target;
}

bool Xdotool(const std::string& action, const char* key) {
    return std::system(("xdotool " + action + " " + key).c_str()) == 0;
}

// A key held while the game runs some frames.
bool Hold(const std::string& recording, const char* key) {
    const bool down = Xdotool("keydown", key);
    const bool held = WaitForFrames(recording, 1500);
    return Xdotool("keyup", key) && down && held;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.insert(e->d_name);
        }
        closedir(d);
    }
    return names;
}

TEST(GameReplayEndToEnd, AGamePlayedWithRealKeysReplaysToTheSameScreenshotsAndState) {
    const std::string bin = std::string(std::getenv("VOXA_BIN_DIR")) + "/voxa";
    char temp[] = "/tmp/voxa_replay_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(temp), nullptr);
    const std::string dir = temp, recording = dir + "/run.vxr", played = dir + "/played", replayed = dir + "/replayed";
    ASSERT_EQ(mkdir(played.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(replayed.c_str(), 0755), 0);

    const pid_t game = StartGame(bin, {"--record", recording, "--snapshots", played});
    ASSERT_GT(game, 0);
    ASSERT_TRUE(WaitForFrames(recording, 2180 + 3000)) << "the menu runs and is recorded";
    EXPECT_TRUE(Hold(recording, "Right")) << "start";
    EXPECT_TRUE(WaitForFrames(recording, 6000));
    EXPECT_TRUE(Hold(recording, "space")) << "shoot";
    EXPECT_TRUE(WaitForFrames(recording, 12000));
    EXPECT_TRUE(Xdotool("keydown", "Escape"));
    EXPECT_EQ(voxatest::WaitForExit(game, 60000), 0);
    Xdotool("keyup", "Escape");

    const pid_t replay = StartGame(bin, {"--replay", recording, "--snapshots", replayed});
    ASSERT_GT(replay, 0);
    EXPECT_EQ(voxatest::WaitForExit(replay, 240000), 0) << "the replay ends with the recorded Escape";

    const std::set<std::string> names = Names(played);
    EXPECT_GE(names.size(), 16u) << "frames 1 to 128 at least, a picture and the variables each";
    EXPECT_EQ(Names(replayed), names);
    bool inPlay = false;
    for (const std::string& name : names) {
        const std::string a = voxatest::ReadFileBytes(played + "/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == voxatest::ReadFileBytes(replayed + "/" + name)) << name << " differs in the replay";
        inPlay = inPlay || a.rfind("gameState 1 ", 0) == 0;
    }
    EXPECT_TRUE(inPlay) << "a snapshot shows the game in play";
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

} // namespace
