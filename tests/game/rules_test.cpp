// The game's rules, driven without a display: keys through the key-state seam, time through the
// replaceable clock, the routines called one at a time as the scene passes call them; and the
// restart of the game's variables, the program's arguments and its launch options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <vector>

#include "app.h"
#include "base/timers.h"
#include "game.h"
#include "support/errorlog_lines.h"
#include "voxa/testing.h"

namespace {

uint8_t gKeys[kKeySymbolCount];
uint32_t gNow = 0;
uint32_t TestClock() { return gNow; }

void Hold(double scancode, bool down) { gKeys[ScancodeKeySymbol(int(scancode))] = down ? 1 : 0; }
// Calls until done holds; the number of calls (1000 when it never does).
int CallsUntil(const std::function<void()>& call, const std::function<bool()>& done) {
    int n = 0;
    while (!done() && n < 1000) call(), ++n;
    return n;
}

class GameRules : public ::testing::Test {
protected:
    void SetUp() override {
        // The music cannot start here (no sound device): its failure lines go to a log of the test's own.
        SetErrorLogPathForTesting(log_.c_str());
        std::memset(gKeys, 0, sizeof gKeys);
        SetKeyStateSourceForTesting(gKeys);
        SetTickSource(TestClock);
        gNow = 1000;
        ResetFrameTimers();
        gGame = GameGlobals(); // the program's start, kept fields too
        DimGameArrays(gGameArrays);
        gGame.frameStep = 10;
    }
    void TearDown() override {
        SetKeyStateSourceForTesting(nullptr);
        SetTickSource(nullptr);
        std::remove(log_.c_str());
    }
    static void Play() { gGame.gameState = 1; }
    static void Tubes() { UpdateTubes(-160, 0, 160, 1); }
    std::string log_ = voxatest::PrivateLogPath("game_rules");
};

TEST_F(GameRules, ShotCycleRecoilsFiresTurnsAndStopsAtZero) {
    Play();
    Hold(KEY_SPACE, true);
    Tubes();
    Hold(KEY_SPACE, false);
    // 1 unit back per call at a 10 ms step: the 30th call reaches 30 units and snaps forward.
    EXPECT_EQ(CallsUntil(Tubes, [] { return gGame.tubeRecoilState != 1; }), 29);
    CallsUntil(Tubes, [] { return gGame.strikerState != 0; });
    EXPECT_TRUE(gGame.strikerState == 1 && gGame.tubeRecoilZ == 0 && gGame.tubeRecoilState == 0)
        << "the striker fires when the tube is home";
    // 6 units per call: the 20th call reaches 120 and turns back in the same call.
    EXPECT_EQ(CallsUntil(UpdateStriker, [] { return gGame.strikerState != 1; }), 20);
    EXPECT_TRUE(gGame.strikerState == 2 && std::fabs(gGame.strikerZ - 119) < 1e-9) << gGame.strikerZ;
    CallsUntil(UpdateStriker, [] { return gGame.strikerState == 0; });
    EXPECT_TRUE(gGame.strikerZ == 0 && gGame.strikerX == gGame.baseX) << "stops at exactly 0 with aim 0";
}

TEST_F(GameRules, StrikerContactMovesTheBallWithCollideBallsNumbers) {
    Play();
    gGame.strikerState = 1;
    gGame.strikerZ = 61; // close enough to touch the resting ball at z -500
    UpdateBall();
    EXPECT_EQ(gGame.ballReady, 0);
    EXPECT_NEAR(gGame.strikerZ, 60, 1e-9) << "put where it touches a ball resting 100 units ahead";
    BallPair r = CollideBalls(20, -500, 0, 0, 0, 60 - 600, 0, 6, 0);
    EXPECT_EQ(gGame.ballZ, r.z1);
    EXPECT_EQ(gGame.ballVZ, r.vz1);
    EXPECT_GT(gGame.ballVZ, 0) << "the ball rolls up the table";
}

TEST_F(GameRules, CollisionBounceAndTheIdleAnimations) {
    // Straight along z: ball 1 takes the whole normal difference, ball 2 gains it back.
    const BallPair r = CollideBalls(20, 0, 0, 0, 0, 40, 0, -3, 0);
    for (auto [got, wanted] : {std::pair{r.vz1, -3.0}, {r.vz2, 0.0}, {r.z1, -2.0}, {r.z2, 42.0}})
        EXPECT_NEAR(got, wanted, 1e-6);
    const BallPair same = CollideBalls(20, 5, 5, 1, 2, 5, 5, 3, 4);
    EXPECT_TRUE(same.vz1 == 1 && same.vx2 == 4) << "coinciding centres are left alone";
    for (auto [x, v, wanted] : {std::tuple{296.0, 2.0, -2.0}, {-300.0, -2.0, 2.0}, {295.9, 2.0, 2.0}})
        EXPECT_EQ(BounceSide(x, v), wanted) << x;
    gGame.frameStep = 0; // the menu state: the idle animations stand still
    EXPECT_EQ(PulseValue(0, 1.0, 0.9), 0.9);
    EXPECT_EQ(SpinAngle(1, 0.01, 180), 180);
}

TEST_F(GameRules, ReleasingDownArrowLosesTheBallEvenAtRest) {
    Play();
    Hold(KEY_DOWN, true);
    UpdateBall();
    EXPECT_EQ(gGame.ballLost, 0) << "the press alone does nothing";
    Hold(KEY_DOWN, false);
    UpdateBall();
    EXPECT_EQ(gGame.ballLost, 1);
}

TEST_F(GameRules, RodFetchesTheLostBallAndBringsItHome) {
    Play();
    gGame.frameStep = 15;  // steps that overshoot home: the rod snaps onto it
    gGame.ballLost = 1;
    gGame.ballX = 100;
    gGame.ballZ = 300;
    gGame.lastFrameTime = 5000;
    CallsUntil(UpdateRod, [] { return gGame.ballLost == 0; });
    EXPECT_TRUE(gGame.ballReady == 1 && gGame.ballX == gGame.baseX && gGame.ballZ == -500 && gGame.ballLift == 0);
    EXPECT_LT(CallsUntil(UpdateRod, [] { return gGame.rodX == 280 && gGame.rodZ == 0; }), 1000) << "the rod comes home";
}

TEST_F(GameRules, FirstTargetRollsAtMinus128AndScoresPast840) {
    Play();
    UpdateTarget(0);
    EXPECT_DOUBLE_EQ(gGameArrays.targetZ.At(0), 700 - 1.28);
    gGameArrays.targetZ.At(0) = 841;
    gGameArrays.targetVZ.At(0) = 1;
    gGame.ballsPlayed = 6;
    UpdateTarget(0);
    EXPECT_TRUE(gGame.score == 1 && gGame.ballsPlayed == 7 && gGameArrays.targetZ.At(0) == 840);
    EXPECT_DOUBLE_EQ(gGameArrays.targetVZ.At(0), -0.8) << "after six balls a new one rolls twice as fast";
    gGame.gameOverTime = 20;
    gGameArrays.targetZ.At(0) = 841;
    UpdateTarget(0);
    EXPECT_TRUE(gGame.score == 1 && gGame.ballsPlayed == 7) << "nothing scores once the game is over";
}

TEST_F(GameRules, SpikesRiseIn20CallsSinkBy02AndTheCrushedBallRespawnsBelow2) {
    Play();
    gGameArrays.targetZ.At(0) = -449;
    gGameArrays.targetVZ.At(0) = -2;
    gGame.gameOverTime = 20;
    UpdateTarget(0);
    EXPECT_EQ(gGame.spikeRising, 0) << "the spikes stay down once the game is over";
    gGame.gameOverTime = 0;
    UpdateTarget(0);
    EXPECT_TRUE(gGame.spikeRising == 1 && gGameArrays.targetZ.At(0) == -450);
    EXPECT_EQ(CallsUntil(UpdateSpikes, [] { return gGame.spikeRising == 0; }), 20);
    EXPECT_NEAR(gGame.spikeHeight, 19.8, 1e-9);
    CallsUntil([] { UpdateTarget(0), UpdateSpikes(); }, [] { return gGame.ballsPlayed != 0; });
    EXPECT_TRUE(gGame.ballsPlayed == 1 && gGame.score == 0 && gGameArrays.targetZ.At(0) == 840);
}

TEST_F(GameRules, StepRuleFreezesTheStepForAGame) {
    gGame.frameStep = 0;
    gNow = 1000 + 7; // a menu frame measuring 7 ms
    ApplyStepRule();
    EXPECT_TRUE(gGame.frameStep == 0 && gGame.previousStep == 7);
    Play();
    for (double last : {7, 19}) { // a 12 ms frame, then a 7 ms one, in play: the step stays 7
        gGame.lastFrameTime = last;
        gNow = 1000 + 19 + (last == 7 ? 0 : 7);
        ApplyStepRule();
        EXPECT_EQ(gGame.frameStep, 7);
    }
}

TEST_F(GameRules, MenuCursorClampsAndOptionsSetTheGameLength) {
    gGameArrays.menuCursor.At(0) = 1;
    gGame.subMenuOpen = 1;
    // Four presses down stop on the last row (30 balls, no wrap), one up goes back a row; each
    // press and each release seen by one call.
    for (auto [key, presses, balls] : {std::tuple{KEY_DOWN, 4, 30.0}, {KEY_UP, 1, 20.0}}) {
        for (int i = 0; i < 2 * presses; ++i) Hold(key, i % 2 == 0), MenuCursor(1);
        DrawMenus();
        EXPECT_EQ(gGame.ballsPerGame, balls) << gGameArrays.menuCursor.At(1) << " " << gGame.subMenuOpen;
    }
    // A down and an up released in one call: the up starts where the down left it, past the last
    // row, before the clamp.
    gGameArrays.menuCursor.At(1) = 3;
    gGameArrays.menuKeyPending.At(1) = -1;
    Hold(KEY_UP, false);
    EXPECT_EQ(MenuCursor(1), 2);
}

TEST_F(GameRules, TheSelectedRowPulsesFromAThirdToFullAndTheOthersAreDark) {
    // A frame's call per row: the selected row brightens by 0.05 to full, fades to 0.3, brightens
    // again; a row the cursor left is dark at once.
    std::vector<double> glow;
    for (int frame = 0; frame < 40; ++frame) glow.push_back(MenuGlow(1, 1));
    for (size_t i = 1; i < glow.size(); ++i) EXPECT_NEAR(std::fabs(glow[i] - glow[i - 1]), 0.05, 1e-9) << i;
    EXPECT_NEAR(glow[19], 1.0, 1e-9);
    const double dimmest = *std::min_element(glow.begin() + 20, glow.end());
    EXPECT_TRUE(dimmest > 0.2 && dimmest <= 0.3 + 1e-9) << dimmest;
    EXPECT_GT(glow.back(), dimmest) << "it brightens again";
    EXPECT_EQ(MenuGlow(1, 0), 0);
}

TEST_F(GameRules, MusicStartsOnFirstFrameAndTheKeyTogglesIt) {
    // The latch starts the music in the first frame; pressing M stops it at once and holding it
    // does nothing more; the next press starts it on its release.
    const struct {
        bool m;
        double state;
    } frames[] = {{false, 2}, {true, 0}, {true, 0}, {false, 0}, {true, 1}, {false, 2}};
    for (const auto& f : frames) {
        Hold(KEY_M, f.m);
        ToggleMusic();
        EXPECT_EQ(gGame.musicState, f.state) << &f - frames;
    }
}

// The struct's initialisers are the starting values; what a restart must do is return every
// field to them but the kept ones, which survive (spikes up, the rod carrying the ball, ...).
TEST(GameGlobals, RestartReturnsEveryFieldButTheKeptOnes) {
    constexpr size_t kCount = sizeof(GameGlobals) / sizeof(double);
    static_assert(sizeof(GameGlobals) == kCount * sizeof(double), "GameGlobals holds doubles only");
#define K(field) offsetof(GameGlobals, field) / sizeof(double)
    const std::set<size_t> kept = {K(previousStep), K(ballLostTime), K(strikerSounded), K(targetRoll),
                                   K(spikeHeight),  K(spikeRising),  K(rodHasBall),     K(rodXHome),
                                   K(rodZHome),     K(keyWasDown),   K(keyWasReleased)};
#undef K
    double scrambled[kCount], start[kCount], after[kCount];
    for (size_t i = 0; i < kCount; ++i) scrambled[i] = 1000.5 + double(i);
    const GameGlobals fresh;
    GameGlobals g;
    std::memcpy(static_cast<void*>(&g), scrambled, sizeof g);
    ResetGameGlobals(g);
    std::memcpy(after, &g, sizeof g);
    std::memcpy(start, &fresh, sizeof fresh);
    for (size_t i = 0; i < kCount; ++i) EXPECT_EQ(after[i], kept.count(i) ? scrambled[i] : start[i]) << "field " << i;
}

TEST(GameArrays, StartValuesWhateverTheGeneratorYields) {
    GameArrays a;
    double lowest = 1e9, highest = -1e9;
    for (uint32_t seed = 0; seed < 400; ++seed) {
        if (seed > 0) a.menuGlow.At(2) = a.targetZ.At(0) = 33; // what the previous round left
        SeedRandom(seed);
        DimGameArrays(a);
        const double x = a.targetX.At(0);
        ASSERT_EQ(a.targetVZ.At(0), -1.28) << "seed " << seed;
        ASSERT_TRUE(x == std::floor(x) && x >= -280 && x <= 280) << x;
        ASSERT_TRUE(a.targetZ.At(0) == 700 && a.menuGlow.At(2) == 0 && a.pulseScale.At(1) == 0.9);
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
    }
    EXPECT_TRUE(lowest < -200 && highest > 200) << "the start position spreads across the table";
    EXPECT_EQ(a.tubeLaneX.DimCount(), -1) << "the lanes are dimensioned where they are used";
    DimLaneArray(a.tubeLaneX);
    EXPECT_TRUE(a.tubeLaneX.At(0) == -160 && a.tubeLaneX.At(1) == 0 && a.tubeLaneX.At(2) == 160);
}

TEST(ProgramEntry, ArgumentsSettingsAndLaunchOptions) {
    char prog[] = "./voxa", one[] = "-x", two[] = "two words";
    char* argv[] = {prog, one, two};
    for (int argc : {0, 1, 3}) {
        DynString line;
        JoinArguments(argc, argv, line);
        EXPECT_STREQ(line.CStr(), argc == 0 ? "" : argc == 1 ? "./voxa " : "./voxa -x two words ");
    }
    gSettings.debugMode = gSettings.grabInput = 1;
    ApplyAppSettings("Test");
    EXPECT_STREQ(gSettings.commandLine.CStr(), "Test") << "the joined arguments are replaced";
    EXPECT_TRUE(gSettings.screenWidth == 640 && gSettings.screenHeight == 480 && gSettings.fullscreen == 1 &&
                gSettings.framesPerSecond == 60 && gSettings.debugMode == 0 && gSettings.grabInput == 0);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = std::string(cwd) + "/";
    const struct {
        const char* args;
        const char* replayVariable; // VOXA_REPLAY, or null for unset
        std::string expected;       // record|replay|snapshots
    } cases[] = {
        {"", nullptr, "||"},
        {"--record run.vxr", nullptr, here + "run.vxr||"},
        {"x --replay /r/a.vxr --snapshots shots", nullptr, "|/r/a.vxr|" + here + "shots"},
        {"--record run.vxr --replay /r/a.vxr", nullptr, "|/r/a.vxr|"}, // a replay wins
        {"--record", nullptr, "||"},                                  // no name: nothing
        {"", "/e/b.vxr", "|/e/b.vxr|"},
        {"--replay /r/a.vxr", "/e/b.vxr", "|/r/a.vxr|"}, // the command line wins
    };
    unsetenv("VOXA_RECORD");
    unsetenv("VOXA_SNAPSHOTS");
    for (const auto& c : cases) {
        std::istringstream words(std::string("voxa ") + c.args);
        std::vector<std::string> storage{std::istream_iterator<std::string>(words), {}};
        std::vector<char*> args;
        for (std::string& a : storage) args.push_back(a.data());
        if (c.replayVariable) setenv("VOXA_REPLAY", c.replayVariable, 1); else unsetenv("VOXA_REPLAY");
        ::testing::internal::CaptureStderr();
        const LaunchOptions o = ReadLaunchOptions(int(args.size()), args.data());
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(o.record + "|" + o.replay + "|" + o.snapshots, c.expected) << c.args;
    }
    unsetenv("VOXA_REPLAY");
}

} // namespace
