// The game's rules, driven without a display: keys through the key-state seam, time through the
// replaceable clock, and the routines called one at a time as the scene passes call them.
#include <gtest/gtest.h>

#include <cstring>

#include "base/timers.h"
#include "game.h"
#include "support/errorlog_lines.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"

namespace {

uint8_t gKeys[kKeySymbolCount];
uint32_t gNow = 0;
uint32_t TestClock() { return gNow; }

class GameRules : public ::testing::Test {
protected:
    void SetUp() override {
        // The music cannot start here (no sound device, no music file): its failure lines go to
        // a log of this test's own, not to the log other programs' tests are reading.
        log_ = voxatest::PrivateLogPath("game_rules");
        SetErrorLogPathForTesting(log_.c_str());
        std::memset(gKeys, 0, sizeof gKeys);
        SetKeyStateSourceForTesting(gKeys);
        SetTickSource(TestClock);
        gNow = 1000;
        ResetFrameTimers();
        ResetGameGlobals(gGame);
        DimGameArrays(gGameArrays);
    }
    void TearDown() override {
        SetKeyStateSourceForTesting(nullptr);
        SetTickSource(nullptr);
        std::remove(log_.c_str());
    }
    std::string log_;
    static void Hold(double scancode, bool down) { gKeys[ScancodeKeySymbol(scancode)] = down ? 1 : 0; }
    // One call of the player's routines in the scene's order.
    static void PlayerCall() {
        UpdateTubes(-160, 0, 160, gGame.activeBase);
        UpdateStriker();
        UpdateRod();
        UpdateBall();
        UpdateSpikes();
        UpdatePointers(-160, 0, 160, gGame.activeBase);
    }
    static void StartPlay(double step) {
        gGame.gameState = 1;
        gGame.frameStep = step;
    }
};

TEST_F(GameRules, ShotCycleRecoilsFiresTurnsAndStopsAtZero) {
    StartPlay(10);
    Hold(KEY_SPACE, true);
    UpdateTubes(-160, 0, 160, 1);
    Hold(KEY_SPACE, false);
    EXPECT_EQ(gGame.tubeRecoilState, 1);
    // 1 unit back per call at a 10 ms step: the 30th call reaches 30 units and snaps forward.
    int backCalls = 0;
    while (gGame.tubeRecoilState == 1 && backCalls < 100) {
        UpdateTubes(-160, 0, 160, 1);
        ++backCalls;
    }
    EXPECT_EQ(backCalls, 29) << "the first call after the press already moved it by 1";
    int calls = 0;
    while (gGame.strikerState == 0 && calls++ < 100) UpdateTubes(-160, 0, 160, 1);
    EXPECT_EQ(gGame.strikerState, 1) << "the striker fires when the tube is home";
    EXPECT_EQ(gGame.tubeRecoilZ, 0);
    EXPECT_EQ(gGame.tubeRecoilState, 0);
    // Flight at 6 units per call: the 20th call reaches 120 and turns back in the same call.
    int outCalls = 0;
    while (gGame.strikerState == 1 && outCalls < 100) {
        UpdateStriker();
        ++outCalls;
    }
    EXPECT_EQ(outCalls, 20);
    EXPECT_EQ(gGame.strikerState, 2);
    EXPECT_NEAR(gGame.strikerZ, 119, 1e-9);
    calls = 0;
    while (gGame.strikerState != 0 && calls++ < 1000) UpdateStriker();
    EXPECT_EQ(gGame.strikerState, 0);
    EXPECT_EQ(gGame.strikerZ, 0) << "stops at exactly 0 with aim 0";
    EXPECT_EQ(gGame.strikerX, gGame.baseX);
}

TEST_F(GameRules, StrikerContactMovesTheBallWithCollideBallsNumbers) {
    StartPlay(10);
    gGame.strikerState = 1;
    gGame.strikerZ = 61; // close enough to touch the resting ball at z -500
    UpdateBall();
    EXPECT_EQ(gGame.ballReady, 0);
    // The striker is first put where it touches a ball resting 100 units ahead: reach 60.
    EXPECT_NEAR(gGame.strikerZ, 60, 1e-9);
    BallPair r = CollideBalls(20, -500, 0, 0, 0, 60 - 600, 0, 6, 0);
    EXPECT_EQ(gGame.ballZ, r.z1);
    EXPECT_EQ(gGame.ballVZ, r.vz1);
    EXPECT_GT(gGame.ballVZ, 0) << "the ball rolls up the table";
}

TEST_F(GameRules, CollideBallsIsTheGamesOwnResponse) {
    BallPair r = CollideBalls(20, 0, 0, 0, 0, 40, 0, -3, 0);
    // Straight along z: ball 1 takes the whole normal difference, ball 2 gains it back.
    EXPECT_NEAR(r.vz1, -3, 1e-12);
    EXPECT_NEAR(r.vz2, 0, 1e-12);
    EXPECT_NEAR(r.z1, -2, 1e-6);
    EXPECT_NEAR(r.z2, 42, 1e-6);
    BallPair same = CollideBalls(20, 5, 5, 1, 2, 5, 5, 3, 4);
    EXPECT_EQ(same.vz1, 1);
    EXPECT_EQ(same.vx2, 4) << "coinciding centres are left alone";
}

TEST_F(GameRules, SideWallsReverseOnEveryCallWhileOutside) {
    EXPECT_EQ(BounceSide(296, 2), -2);
    EXPECT_EQ(BounceSide(-300, -2), 2);
    EXPECT_EQ(BounceSide(295.9, 2), 2);
}

TEST_F(GameRules, ReleasingDownArrowLosesTheBallEvenAtRest) {
    StartPlay(10);
    Hold(KEY_DOWN, true);
    UpdateBall();
    EXPECT_EQ(gGame.ballLost, 0) << "the press alone does nothing";
    Hold(KEY_DOWN, false);
    UpdateBall();
    EXPECT_EQ(gGame.ballLost, 1);
}

TEST_F(GameRules, RodFetchesTheLostBallAndBringsItHome) {
    StartPlay(10);
    gGame.ballLost = 1;
    gGame.ballX = 100;
    gGame.ballZ = 300;
    gGame.lastFrameTime = 5000;
    gGame.ballLostTime = 0;
    int calls = 0;
    while (gGame.ballLost == 1 && calls++ < 2000) UpdateRod();
    EXPECT_EQ(gGame.ballLost, 0);
    EXPECT_EQ(gGame.ballReady, 1);
    EXPECT_EQ(gGame.ballX, gGame.baseX);
    EXPECT_EQ(gGame.ballZ, -500);
    EXPECT_EQ(gGame.ballLift, 0);
    calls = 0;
    while ((gGame.rodX != 280 || gGame.rodZ != 0) && calls++ < 2000) UpdateRod();
    EXPECT_EQ(gGame.rodX, 280);
    EXPECT_EQ(gGame.rodZ, 0);
}

TEST_F(GameRules, FirstTargetRollsAtMinus128AndScoresPast840) {
    StartPlay(10);
    EXPECT_EQ(gGameArrays.targetVZ.At(0), -1.28);
    UpdateTarget(0);
    EXPECT_DOUBLE_EQ(gGameArrays.targetZ.At(0), 700 - 1.28);
    gGameArrays.targetZ.At(0) = 841;
    gGameArrays.targetVZ.At(0) = 1;
    UpdateTarget(0);
    EXPECT_EQ(gGame.score, 1);
    EXPECT_EQ(gGame.ballsPlayed, 1);
    EXPECT_EQ(gGameArrays.targetZ.At(0), 840);
    EXPECT_DOUBLE_EQ(gGameArrays.targetVZ.At(0), 10 * -0.04 * (0.0 / 6 + 1));
}

TEST_F(GameRules, SpikesRiseIn20CallsSinkBy02AndTheCrushedBallRespawnsBelow2) {
    StartPlay(10);
    gGameArrays.targetZ.At(0) = -449;
    gGameArrays.targetVZ.At(0) = -2;
    UpdateTarget(0);
    EXPECT_EQ(gGame.spikeRising, 1);
    EXPECT_EQ(gGameArrays.targetZ.At(0), -450);
    for (int i = 0; i < 19; ++i) UpdateSpikes();
    EXPECT_EQ(gGame.spikeRising, 1);
    UpdateSpikes();
    EXPECT_EQ(gGame.spikeRising, 0) << "up after 20 calls";
    EXPECT_NEAR(gGame.spikeHeight, 19.8, 1e-9);
    int calls = 0;
    while (gGame.ballsPlayed == 0 && calls++ < 200) {
        UpdateTarget(0);
        UpdateSpikes();
    }
    EXPECT_EQ(gGame.ballsPlayed, 1);
    EXPECT_EQ(gGame.score, 0);
    EXPECT_EQ(gGameArrays.targetZ.At(0), 840);
}

TEST_F(GameRules, StepRuleFreezesTheStepForAGame) {
    gGame.lastFrameTime = 0;
    gNow = 1000 + 7;   // menu frame measuring 7 ms
    ApplyStepRule();
    EXPECT_EQ(gGame.frameStep, 0);
    EXPECT_EQ(gGame.previousStep, 7);
    gGame.gameState = 1;
    gGame.lastFrameTime = 7;
    gNow = 1000 + 7 + 12; // a 12 ms frame in play keeps the 7
    ApplyStepRule();
    EXPECT_EQ(gGame.frameStep, 7);
    gGame.lastFrameTime = 19;
    gNow = 1000 + 19 + 7;
    ApplyStepRule();
    EXPECT_EQ(gGame.frameStep, 7);
}

TEST_F(GameRules, MenuCursorClampsAndOptionsSetTheGameLength) {
    Hold(KEY_DOWN, true);
    MenuCursor(1);
    Hold(KEY_DOWN, false);
    EXPECT_EQ(MenuCursor(1), 1);
    for (int i = 0; i < 3; ++i) {
        Hold(KEY_DOWN, true);
        MenuCursor(1);
        Hold(KEY_DOWN, false);
        MenuCursor(1);
    }
    EXPECT_EQ(gGameArrays.menuCursor.At(1), 2) << "no wrap below the last row";
    gGameArrays.menuCursor.At(0) = 1;
    gGame.subMenuOpen = 1;
    DrawMenus();
    EXPECT_EQ(gGame.ballsPerGame, 30);
    Hold(KEY_UP, true);
    MenuCursor(1);
    Hold(KEY_UP, false);
    DrawMenus();
    EXPECT_EQ(gGame.ballsPerGame, 20);
}

TEST_F(GameRules, MusicStartsOnFirstFrameAndTheKeyTogglesIt) {
    ToggleMusic();
    EXPECT_EQ(gGame.musicState, 2) << "the latch starts the music in the first frame";
    Hold(KEY_M, true);
    ToggleMusic();
    EXPECT_EQ(gGame.musicState, 0) << "pressing M stops it at once";
    ToggleMusic();
    EXPECT_EQ(gGame.musicState, 0) << "held: nothing more";
    Hold(KEY_M, false);
    ToggleMusic();
    EXPECT_EQ(gGame.musicKeyLock, 0);
    Hold(KEY_M, true);
    ToggleMusic();
    EXPECT_EQ(gGame.musicState, 1);
    Hold(KEY_M, false);
    ToggleMusic();
    EXPECT_EQ(gGame.musicState, 2) << "starts on release";
}

TEST_F(GameRules, IdleAnimationsStandStillInTheMenu) {
    EXPECT_EQ(PulseValue(0, 1.0, 0.9), 0.9);
    EXPECT_EQ(SpinAngle(1, 0.01, 180), 180);
}

} // namespace
