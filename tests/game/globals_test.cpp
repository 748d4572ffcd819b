// The game's variables: starting values, the restart that keeps the marked fields, the game's
// arrays, the joining of the program's arguments and the launch options read from them.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app.h"
#include "globals.h"

namespace {

struct Field {
    const char* name;
    double GameGlobals::*member;
    double start;  // value after a (re)start
    bool kept;     // keeps its value across a restart; 0 at program start
};

#define F(name, start) {#name, &GameGlobals::name, start, false}
#define KEPT(name) {#name, &GameGlobals::name, 0, true}
const std::vector<Field> kFields = {
    F(frameStep, 0), F(lastFrameTime, 0), KEPT(previousStep), F(gameState, 0), F(subMenuOpen, 0),
    F(ballsPerGame, 10), F(ballsPlayed, 0), F(score, 0), F(gameOverTime, 0), F(passIndex, 0),
    F(ballX, 0), F(ballZ, -500), F(ballVX, 0), F(ballVZ, 0), F(ballLift, 0), F(ballReady, 1),
    F(ballLost, 0), KEPT(ballLostTime), F(resetRequest, 0), F(ballRoll, 0), F(ballRollAxisX, 0),
    F(ballRollAxisZ, 0), F(activeBase, 1), F(baseX, 0), F(aimAngle, 0),
    F(strikerX, 0), F(strikerZ, 0), F(strikerState, 0), F(strikerRoll, 0), KEPT(strikerSounded),
    F(tubeRecoilState, 0), F(tubeRecoilZ, 0), F(tubeRecoilX, 0), F(tubeHeight, 200),
    F(pointerHeight, 200), F(dropStep, 2),
    F(targetScale, 1), KEPT(targetRoll), F(targetRollAxisX, 0), F(targetRollAxisZ, 0),
    KEPT(spikeHeight), KEPT(spikeRising), F(rodHomeX, 280), F(rodHomeZ, 0), F(rodX, 280),
    F(rodY, 90), F(rodZ, 0), KEPT(rodHasBall), KEPT(rodXHome), KEPT(rodZHome),
    F(titleX, 15), F(titleY, 40), F(controlsX, 10), F(controlsTop, 86), F(controlsSpacing, 40),
    F(musicState, 0), F(musicKeyLatch, 1), F(musicKeyLock, 0), F(pulseFalling, 0),
    KEPT(keyWasDown), KEPT(keyWasReleased),
};
#undef F
#undef KEPT

// Every field gets a value of its own that is no field's starting value.
void Scramble(GameGlobals& g) {
    for (size_t i = 0; i < kFields.size(); ++i) g.*kFields[i].member = 1000.5 + static_cast<double>(i);
}

} // namespace

TEST(GameGlobalsTest, TheTableCoversEveryField) {
    // All fields are doubles; a field missing from the table above would go unchecked.
    EXPECT_EQ(kFields.size() * sizeof(double), sizeof(GameGlobals));
}

TEST(GameGlobalsTest, ProgramStartValues) {
    // The static block as the program starts: starting values, kept fields 0.
    for (const Field& f : kFields) EXPECT_EQ(gGame.*f.member, f.start) << f.name;
}

TEST(GameGlobalsTest, RestartReturnsEveryFieldButTheKeptOnes) {
    GameGlobals g;
    Scramble(g);
    ResetGameGlobals(g);
    for (size_t i = 0; i < kFields.size(); ++i) {
        const Field& f = kFields[i];
        double expected = f.kept ? 1000.5 + static_cast<double>(i) : f.start;
        EXPECT_EQ(g.*f.member, expected) << f.name;
    }
}

TEST(GameGlobalsTest, RestartWithSpikesUpAndTheBallOnTheRod) {
    GameGlobals g;
    g.spikeHeight = 35;
    g.spikeRising = 1;
    g.rodHasBall = 1;
    g.rodXHome = 1;
    g.ballLift = 40;
    g.gameState = 1;
    g.score = 7;
    ResetGameGlobals(g);
    EXPECT_EQ(g.spikeHeight, 35.0);
    EXPECT_EQ(g.spikeRising, 1.0);
    EXPECT_EQ(g.rodHasBall, 1.0);
    EXPECT_EQ(g.rodXHome, 1.0);
    EXPECT_EQ(g.ballLift, 0.0);
    EXPECT_EQ(g.gameState, 0.0);
    EXPECT_EQ(g.score, 0.0);
}

TEST(GameArraysTest, EmptyUntilTheFirstStart) {
    EXPECT_EQ(gGameArrays.targetX.DimCount(), -1);
    EXPECT_EQ(gGameArrays.spinAngle.DimCount(), -1);
    EXPECT_EQ(gGameArrays.tubeLaneX.DimCount(), -1);
}

TEST(GameArraysTest, StartSizesAndValues) {
    GameArrays a;
    SeedRandom(4711);
    DimGameArrays(a);
    struct { const DynArray* array; double size; } sizes[] = {
        {&a.targetX, 1}, {&a.targetZ, 1}, {&a.targetVX, 1}, {&a.targetVZ, 1}, {&a.menuGlow, 3},
        {&a.menuGlowRising, 3}, {&a.menuCursor, 3}, {&a.menuKeyPending, 3}, {&a.spinAngle, 100},
        {&a.idleAngle, 2}, {&a.pulseScale, 2}};
    for (const auto& s : sizes) {
        EXPECT_EQ(s.array->Bounds(0), s.size);
        EXPECT_EQ(s.array->DimCount(), 1);
    }
    EXPECT_EQ(a.targetZ.At(0), 700.0);
    EXPECT_EQ(a.targetVX.At(0), 0.0);
    EXPECT_EQ(a.pulseScale.At(0), 0.9);
    EXPECT_EQ(a.pulseScale.At(1), 0.9);
    EXPECT_EQ(a.spinAngle.At(99), 0.0);
    // The lane arrays are dimensioned where they are used, not at start.
    EXPECT_EQ(a.tubeLaneX.DimCount(), -1);
    EXPECT_EQ(a.pointerLaneX.DimCount(), -1);
}

TEST(GameArraysTest, TargetStartsAtExactlyMinus128WhateverTheGeneratorYields) {
    double lowest = 1e9, highest = -1e9;
    GameArrays a;
    for (uint32_t seed = 0; seed < 400; ++seed) {
        SeedRandom(seed);
        DimGameArrays(a);
        ASSERT_EQ(a.targetVZ.At(0), -1.28) << "seed " << seed;
        double x = a.targetX.At(0);
        ASSERT_EQ(x, std::floor(x));
        ASSERT_GE(x, -280.0);
        ASSERT_LE(x, 280.0);
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
    }
    EXPECT_LT(lowest, -200.0); // the start position spreads across the table
    EXPECT_GT(highest, 200.0);
}

TEST(GameArraysTest, RestartZeroesWhatThePreviousRoundLeft) {
    GameArrays a;
    DimGameArrays(a);
    a.menuGlow.At(2) = 0.7;
    a.spinAngle.At(1) = 33;
    a.pulseScale.At(0) = 1.1;
    a.targetZ.At(0) = -620;
    DimGameArrays(a);
    EXPECT_EQ(a.menuGlow.At(2), 0.0);
    EXPECT_EQ(a.spinAngle.At(1), 0.0);
    EXPECT_EQ(a.pulseScale.At(0), 0.9);
    EXPECT_EQ(a.targetZ.At(0), 700.0);
}

TEST(GameArraysTest, LaneArrayHoldsTheThreeLanes) {
    DynArray lanes;
    DimLaneArray(lanes);
    EXPECT_EQ(lanes.Bounds(0), 3.0);
    EXPECT_EQ(lanes.At(0), -160.0);
    EXPECT_EQ(lanes.At(1), 0.0);
    EXPECT_EQ(lanes.At(2), 160.0);
}

TEST(ProgramEntry, ArgumentsAreJoinedEachFollowedByOneBlank) {
    char prog[] = "./voxa";
    char one[] = "-x";
    char two[] = "two words";
    char* onlyPath[] = {prog};
    DynString line;
    JoinArguments(1, onlyPath, line);
    EXPECT_STREQ(line.CStr(), "./voxa ");
    char* three[] = {prog, one, two};
    DynString all;
    JoinArguments(3, three, all);
    EXPECT_STREQ(all.CStr(), "./voxa -x two words ");
    DynString none;
    JoinArguments(0, nullptr, none);
    EXPECT_STREQ(none.CStr(), "");
}

TEST(ProgramEntry, SetupFixesTheSettingsAndReplacesTheJoinedArguments) {
    char prog[] = "/opt/voxa/voxa";
    char* argv[] = {prog};
    JoinArguments(1, argv, gSettings.commandLine);
    gSettings.debugMode = 1;
    gSettings.grabInput = 1;
    ApplyAppSettings("Test");
    EXPECT_STREQ(gSettings.commandLine.CStr(), "Test");
    EXPECT_EQ(gSettings.commandLine.Length(), 4u);
    EXPECT_EQ(gSettings.screenWidth, 640);
    EXPECT_EQ(gSettings.screenHeight, 480);
    EXPECT_EQ(gSettings.fullscreen, 1);
    EXPECT_EQ(gSettings.framesPerSecond, 60);
    EXPECT_EQ(gSettings.debugMode, 0);
    EXPECT_EQ(gSettings.grabInput, 0);
}

TEST(ProgramEntry, LaunchOptionsFromTheCommandLineOrTheEnvironment) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = std::string(cwd) + "/";
    struct Case {
        std::vector<std::string> args;
        const char* replayVariable;  // VOXA_REPLAY, or null for unset
        LaunchOptions expected;
    };
    const Case cases[] = {
        {{}, nullptr, {}},
        {{"--record", "run.vxr"}, nullptr, {here + "run.vxr", "", ""}},
        {{"x", "--replay", "/r/a.vxr", "--snapshots", "shots"}, nullptr, {"", "/r/a.vxr", here + "shots"}},
        {{"--record", "run.vxr", "--replay", "/r/a.vxr"}, nullptr, {"", "/r/a.vxr", ""}},  // a replay wins
        {{"--record"}, nullptr, {}},                                                      // no name: nothing
        {{}, "/e/b.vxr", {"", "/e/b.vxr", ""}},
        {{"--replay", "/r/a.vxr"}, "/e/b.vxr", {"", "/r/a.vxr", ""}},                     // the command line wins
    };
    unsetenv("VOXA_RECORD");
    unsetenv("VOXA_SNAPSHOTS");
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        std::vector<std::string> storage = c.args;
        storage.insert(storage.begin(), "voxa");
        std::vector<char*> argv;
        for (std::string& a : storage) argv.push_back(a.data());
        if (c.replayVariable) setenv("VOXA_REPLAY", c.replayVariable, 1); else unsetenv("VOXA_REPLAY");
        ::testing::internal::CaptureStderr();
        const LaunchOptions o = ReadLaunchOptions(int(argv.size()), argv.data());
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(o.record, c.expected.record) << "case " << n;
        EXPECT_EQ(o.replay, c.expected.replay) << "case " << n;
        EXPECT_EQ(o.snapshots, c.expected.snapshots) << "case " << n;
    }
    unsetenv("VOXA_REPLAY");
}
