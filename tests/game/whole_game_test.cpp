// A whole game in a real GL window with the generated assets and real X key events: 20 balls
// chosen on the options page, shots at the target balls from the base in their way, a score, the
// rest lost to the spikes, "Game Over" and the restart into the menu. Recorded as it is played,
// then replayed from the recording alone: every frame with the same state, every drawn frame with
// the same pixels. Frames run one by one (RunFrame, as GameMain runs them) on a test clock of
// 20 ms a frame; only checkpoints are drawn (GL is off in between), so 20 balls take seconds.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/timers.h"
#include "devices/lifecycle.h"
#include "devices/recording.h"
#include "devices/x_user.h"
#include "game.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "support/within.h"
#include "voxa/testing.h"
#include "window/window.h"

namespace {

constexpr uint32_t kStep = 20;
uint32_t gNow = 1000;
uint32_t TestClock() { return gNow; }

// Gold as the large font draws its letters (the title, "OPTIONS" and "Game Over").
int CountGold(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const auto c = static_cast<uint32_t>(GetPixel(x, y));
            n += (c & 255) > 170 && ((c >> 8) & 255) > 110 && (c >> 16) < 110;
        }
    }
    return n;
}

// The gold in the band of the menu page's title and subtitle.
int TitleGold() { return CountGold(0, 40, 640, 150); }

// The state after a frame: a hash of the game's variables and arrays.
uint64_t StateHash() {
    uint64_t h = 1469598103934665603ull;
    auto add = [&h](const void* data, size_t size) {
        for (size_t i = 0; i < size; ++i) h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
    };
    add(&gGame, sizeof gGame);
    const GameArrays& a = gGameArrays;
    for (const DynArray* d : {&a.targetX, &a.targetZ, &a.targetVX, &a.targetVZ, &a.menuGlow, &a.menuGlowRising, &a.menuCursor,
                              &a.menuKeyPending, &a.spinAngle, &a.idleAngle, &a.pulseScale, &a.tubeLaneX, &a.pointerLaneX})
        add(d->Data(), size_t(d->Bounds(0)) * sizeof(double));
    return h;
}

struct GameTrace { // the state after every frame and the pixels of every drawn one
    std::vector<uint64_t> states;
    std::vector<std::vector<uint8_t>> shots;
};

// The base whose straight shot meets the target ball, or -1. The shot takes about 24 routine calls
// to leave the tube, then the ball runs at 12 units per call (a 20 ms step) toward the target
// ball; both move, two calls a frame.
int BaseInTheWay() {
    const double tz = gGameArrays.targetZ.At(0), tx = gGameArrays.targetX.At(0);
    const double vz = gGameArrays.targetVZ.At(0), vx = gGameArrays.targetVX.At(0);
    if (vz >= 0 || gGame.spikeHeight != 0) return -1;
    const double calls = (tz + vz * 24 + 500 - 40) / (12 - vz);
    const double x = tx + vx * (24 + calls);
    if (calls < 4 || calls > 40 || std::fabs(x) > 290) return -1;
    for (int b = 0; b < 3; ++b)
        if (std::fabs(x - (b - 1) * 160) < 22) return b; // activeBase 0, 1, 2 at x -160, 0, 160
    return -1;
}

class WholeGame : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogPathForTesting(log_.c_str());
        ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
        ASSERT_EQ(chdir(voxatest::BinDir().c_str()), 0);
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        ::testing::internal::CaptureStdout(); // the extension probe
        const bool opened = Window().OpenWindow(640, 480, 0, -1);
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(opened);
        PresentStartFrame(); // as RuntimeStart does: the first frame's buffers start cleared
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        CreateAudioDevice();
        CreateSoundSlots();
        ASSERT_TRUE(user_.Connect());
        SetTickSource(TestClock);
    }
    void TearDown() override {
        ResetInputRecorderForTesting();
        SetTickSource(nullptr);
        Window().ready = 1;
        FreeSoundSlots();
        DestroyAudioDevice();
        EXPECT_TRUE(voxatest::ReadLogLines(log_).empty()) << "the game wrote to the error log";
        std::remove(log_.c_str());
        std::remove(recording_.c_str());
        EXPECT_EQ(chdir(cwd_), 0);
    }

    // One frame; `draw` makes it a checkpoint drawn for real.
    FrameEnd Frame(bool draw = false) {
        gNow += kStep;
        Window().ready = draw;
        const FrameEnd end = RunFrame();
        Window().ready = 1;
        trace_.states.push_back(StateHash());
        if (draw) trace_.shots.emplace_back(Window().ShownFrame(), Window().ShownFrame() + 640 * 480 * 3);
        return end;
    }
    // A key held until the game has seen it down and `effect` holds, then released, and one frame
    // with it up. The game runs no frame while the X events are on their way, so the frames are
    // the same however slowly they arrive. In a replay KeyDown reads the recorded answers, so the
    // waits end after as many reads as they took when the game was recorded, and no key is sent.
    template <typename Effect> bool Press(unsigned long keysym, double scancode, Effect effect) {
        auto seen = [&](double held) { return voxatest::Within([&] { return KeyDown(scancode) == held; }); };
        if (!replaying_) user_.Key(keysym, true);
        bool down = seen(1);
        for (int k = 0; k < 3000 && down; ++k)
            if (Frame() != FrameEnd::Shown || effect()) break;
        down = down && effect();
        if (!replaying_) user_.Key(keysym, false);
        const bool up = seen(0);
        Frame();
        return down && up;
    }
    static bool Always() { return true; }

    void PlayWholeGame();
    // The game from its very start (every variable, kept ones too, as the program begins), played
    // while recorded or replayed from the recording.
    void PlayFromTheStart(bool replay) {
        gGame = GameGlobals();
        replaying_ = replay;
        trace_ = GameTrace();
        // The pacing grid starts on the test clock, not on SDL's, which opening may have moved on.
        Window().nextFrameTime = gNow;
        ResetFrameTimers();
        SeedRandom(7);
        ASSERT_EQ(replay ? PlayInputRecording(recording_.c_str()) : StartInputRecording(recording_.c_str()), 1);
        PlayWholeGame();
        StopInputRecording();
    }

    bool replaying_ = false;
    GameTrace trace_;
    std::string log_ = voxatest::PrivateLogPath("whole_game");
    std::string recording_ = "/tmp/voxa_whole_game_" + std::to_string(getpid()) + ".vxr";
    char cwd_[4096] = {};
    XUser user_;
};

void WholeGame::PlayWholeGame() {
    StartRound();
    ASSERT_EQ(Frame(true), FrameEnd::Shown);
    EXPECT_GT(CountGold(255, 70, 383, 102), 100) << "the title is shown";
    const int titleGold = TitleGold();
    const int backgroundGold = CountGold(200, 40, 424, 72);  // the band of the OPTIONS heading, without it

    // Down to OPTIONS, right into the page, down to "20 Balls", left back out, up to START and
    // right to play: the right arrow is released in the frame play starts, before it turns the pointer.
    ASSERT_TRUE(Press(XK_Down, KEY_DOWN, Always));
    ASSERT_TRUE(Press(XK_Right, KEY_RIGHT, [] { return gGame.subMenuOpen == 1; }));
    ASSERT_TRUE(Press(XK_Down, KEY_DOWN, Always));
    ASSERT_EQ(Frame(true), FrameEnd::Shown);
    EXPECT_GT(CountGold(200, 40, 424, 72), 2 * backgroundGold) << "the OPTIONS heading";
    ASSERT_TRUE(Press(XK_Left, KEY_LEFT, [] { return gGame.subMenuOpen == 0; }));
    ASSERT_TRUE(Press(XK_Up, KEY_UP, Always));
    ASSERT_TRUE(Press(XK_Right, KEY_RIGHT, [] { return gGame.gameState == 1; }));
    ASSERT_EQ(gGame.aimAngle, 0);

    // Play: the even-numbered target balls are shot at as soon as a base has them in its way; the
    // odd ones (and any missed) roll on into the spikes.
    const unsigned long baseKeys[3] = {XK_d, XK_s, XK_a};
    const double baseScancodes[3] = {KEY_D, KEY_S, KEY_A};
    int shots = 0, crushed = 0;
    double lastBalls = 0, lastScore = 0;
    bool playChecked = false;
    for (int frame = 0; frame < 200000 && gGame.ballsPlayed < gGame.ballsPerGame; ++frame) {
        if (!playChecked && gGame.tubeHeight == 20) {
            ASSERT_EQ(Frame(true), FrameEnd::Shown);
            EXPECT_LT(TitleGold(), titleGold / 10) << "the title page is gone in play";
            playChecked = true;
            continue;
        }
        const bool idle = gGame.ballReady == 1 && gGame.strikerState == 0 && gGame.tubeRecoilState == 0 &&
                          int(gGame.ballsPlayed) % 2 == 0;
        if (const int base = idle ? BaseInTheWay() : -1; base >= 0) {
            if (gGame.activeBase != base) {
                ASSERT_TRUE(Press(baseKeys[base], baseScancodes[base], [base] { return gGame.activeBase == base; }));
            }
            shots += Press(XK_space, KEY_SPACE, [] { return gGame.tubeRecoilState != 0 || gGame.ballReady == 0; });
            continue;
        }
        ASSERT_EQ(Frame(), FrameEnd::Shown);
        if (gGame.ballsPlayed != lastBalls) {
            crushed += gGame.score == lastScore;
            lastBalls = gGame.ballsPlayed;
            lastScore = gGame.score;
        }
    }
    ASSERT_EQ(gGame.ballsPlayed, 20) << "the game length chosen on the options page";
    EXPECT_GE(gGame.score, 1) << "a shot knocked a target ball past the far end";
    EXPECT_GE(crushed, 1) << "a target ball was lost to the spikes";
    std::printf("shots %d, score %g, crushed %d of %g balls\n", shots, gGame.score, crushed, gGame.ballsPlayed);

    // "Game Over" for 3000 ms of play time: 150 frames of 20 ms from the frame that ended the last
    // ball, this checkpoint the second of them; the 150th restarts.
    ASSERT_EQ(Frame(true), FrameEnd::Shown);
    EXPECT_GT(CountGold(200, 200, 488, 232), 150) << "Game Over is shown";
    int gameOverFrames = 2;
    while (++gameOverFrames < 1000 && Frame() == FrameEnd::Shown) {
    }
    EXPECT_EQ(gameOverFrames, 150);

    StartRound();
    ASSERT_EQ(Frame(true), FrameEnd::Shown);
    EXPECT_EQ(TitleGold(), titleGold) << "the title page is back";
}

TEST_F(WholeGame, ChooseTwentyBallsScoreLoseToTheSpikesGameOverRestartAndReplayTheSameFramesAndState) {
    PlayFromTheStart(false);
    ASSERT_FALSE(HasFailure());
    const GameTrace played = trace_;
    PlayFromTheStart(true);
    const std::vector<uint64_t>& states = played.states;
    const auto differs = std::mismatch(states.begin(), states.end(), trace_.states.begin(), trace_.states.end()).first;
    EXPECT_TRUE(differs == states.end() && trace_.states.size() == states.size())
        << "the state differs from frame " << differs - states.begin() + 1;
    EXPECT_TRUE(trace_.shots == played.shots) << "a drawn frame differs";
    EXPECT_NE(played.shots.front(), played.shots[2]) << "the checkpoints show different moments";
}

} // namespace
