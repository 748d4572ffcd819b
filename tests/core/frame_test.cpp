// Frame pacing on a test clock: the slot grid, dropped late slots, the >= comparison, the
// frame-rate setting and the frame timers; and a program without a display.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/state.h"
#include "voxa/core.h"
#include "voxa/testing.h"
#include "window/window.h"

namespace {

// A clock that moves one millisecond each time it is read, like a busy wait that spins.
uint32_t gNow = 0;
uint32_t SpinningClock() { return gNow++; }
uint32_t StoppedClock() { return gNow; }

class Pacing : public ::testing::Test {
protected:
    void SetUp() override {
        gNow = 0;
        SetTickSource(SpinningClock);
        window.nextFrameTime = 0;
    }
    void TearDown() override { SetTickSource(nullptr); }

    // Runs frames of the given lengths; returns the tick at which each wait ended.
    std::vector<uint32_t> Run(const std::vector<uint32_t>& frameLengths) {
        std::vector<uint32_t> shown;
        for (uint32_t work : frameLengths) {
            gNow += work;
            EXPECT_GE(window.WaitForFrameSlot(), 1.0);
            shown.push_back(gNow - 1);  // the last tick the wait read
        }
        return shown;
    }

    WindowContext window;
};

TEST_F(Pacing, FramesEndOnTheSlotGridAtTheFirstTickPastEachBoundary) {
    window.SetFrameRate(60);
    EXPECT_DOUBLE_EQ(window.frameInterval, 1000.0 / 60);
    // Slots end at 16.67, 33.33, 50, 66.67: a deadline equal to the tick (50) still waits.
    std::vector<uint32_t> shown = Run({0, 5, 5, 5, 5});
    EXPECT_EQ(shown, (std::vector<uint32_t>{1, 17, 34, 51, 67}));
}

TEST_F(Pacing, TheDeadlineEqualToTheTickWaitsForTheNextTick) {
    window.SetFrameRate(100);  // 10 ms
    window.nextFrameTime = 10;
    gNow = 10;  // the first reads see 10 == deadline and keep waiting
    window.WaitForFrameSlot();
    EXPECT_EQ(gNow - 1, 11u);
    EXPECT_DOUBLE_EQ(window.nextFrameTime, 20);
}

TEST_F(Pacing, ALateFrameIsShownAtOnceAndMissedSlotsAreDropped) {
    window.SetFrameRate(60);
    Run({0, 5});  // shown at 1 and 17; the next deadline is 33.33
    gNow = 57;    // a 40 ms frame
    double spent = window.WaitForFrameSlot();
    EXPECT_EQ(gNow - 1, 57u);  // no wait
    EXPECT_DOUBLE_EQ(spent, 1);
    EXPECT_NEAR(window.nextFrameTime, 66.67, 0.01);  // the first grid point after 57, not 50
    Run({1});
    EXPECT_EQ(gNow - 1, 67u);
}

TEST_F(Pacing, FrameRateSettings) {
    window.SetFrameRate(0);
    EXPECT_EQ(window.frameInterval, 2.0);
    window.SetFrameRate(-1);
    EXPECT_EQ(window.frameInterval, 2.0);
    window.SetFrameRate(std::nan(""));
    EXPECT_EQ(window.frameInterval, 2.0);
    window.SetFrameRate(1e-320);  // would be an endless frame
    EXPECT_EQ(window.frameInterval, 60000.0);
    // At 2 ms frames of 0 ms come out 2 ms apart.
    window.SetFrameRate(-1);
    std::vector<uint32_t> shown = Run({0, 0, 0, 0});
    EXPECT_EQ(shown, (std::vector<uint32_t>{1, 3, 5, 7}));
}

namespace {

// A clock in microseconds under a waiting loop: each read costs kReadMicros, as one turn of the
// loop (a poll of the queue and a read of the clock) does; a sleep lasts what was asked plus a
// wake-up delay.
constexpr uint64_t kReadMicros = 20;
uint64_t gMicros = 0, gWakeDelayMicros = 0, gSpunMicros = 0, gSleptMicros = 0;
uint32_t MicroClock() {
    const uint32_t ticks = uint32_t(gMicros / 1000);
    gMicros += kReadMicros;
    gSpunMicros += kReadMicros;
    return ticks;
}
void MicroSleep(double ms) {
    EXPECT_GT(ms, 0);
    EXPECT_LE(ms, 2.0); // the queue is drained at least every 2 ms
    const uint64_t slept = uint64_t(ms * 1000) + gWakeDelayMicros;
    gMicros += slept;
    gSleptMicros += slept;
}

} // namespace

TEST(PacingWithSleep, SleepsMostOfTheWaitAndKeepsTheSlotGrid) {
    // 5 ms of work a frame at 60 frames per second: the same release ticks whether the wait
    // spins all the way (no sleeper) or sleeps, even when every sleep ends 0.3 ms late, and each
    // release comes within two turns of the loop after its tick has begun.
    std::vector<std::vector<uint32_t>> shown;
    for (int variant = 0; variant < 3; ++variant) {
        gMicros = 0, gSpunMicros = 0, gSleptMicros = 0;
        gWakeDelayMicros = variant == 2 ? 300 : 0;
        SetTickSource(MicroClock, variant == 0 ? nullptr : MicroSleep);
        WindowContext window;
        window.nextFrameTime = 0;
        window.SetFrameRate(60);
        std::vector<uint32_t> ticks;
        for (int frame = 0; frame < 60; ++frame) {
            gMicros += 5000;
            EXPECT_GE(window.WaitForFrameSlot(), 1.0);
            const uint64_t lastRead = gMicros - kReadMicros;
            ticks.push_back(uint32_t(lastRead / 1000)); // the tick the wait last read
            if (frame > 0) {
                EXPECT_LE(lastRead % 1000, 2 * kReadMicros) << variant << " frame " << frame;
            }
        }
        SetTickSource(nullptr);
        shown.push_back(ticks);
        if (variant == 0) {
            EXPECT_EQ(gSleptMicros, 0u);
            continue;
        }
        // Of about 11.7 ms of waiting a frame, at most the last 1.5 ms (the spun stretch and the
        // part of a tick the wait cannot see) plus one turn of the loop is spun.
        EXPECT_LT(gSpunMicros / 60, 1500 + 2 * kReadMicros) << variant;
        EXPECT_GT(gSleptMicros / 60, 10000u) << variant;
    }
    EXPECT_EQ(shown[0][1], 17u);
    EXPECT_EQ(shown[0][59], 984u); // the first tick past 59 slots of 16.67 ms
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_EQ(shown[2], shown[0]);
}

TEST(FrameTimers, GetTimerIsNeverZeroOrNegativeAndGetTimerAllCountsFromStart) {
    gNow = 1000;
    SetTickSource(StoppedClock);
    ResetFrameTimers();
    EXPECT_EQ(GetTimer(), 1.0);  // called in the same millisecond
    gBase.timers.previousFrameTime = 1005;
    EXPECT_EQ(GetTimer(), 1.0);
    gBase.timers.previousFrameTime = 983;
    EXPECT_EQ(GetTimer(), 17.0);
    gNow = 1250;
    EXPECT_EQ(GetTimerAll(), 250.0);
    SetTickSource(nullptr);
}

TEST(WindowWithoutDisplay, VideoInitialisationFailureEndsWithStatusOne) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            setenv("SDL_VIDEODRIVER", "x11", 1);
            Window().OpenWindow(640, 480, 0, 60);
        },
        ::testing::ExitedWithCode(1), "Couldn't initialize SDL: ");
}

} // namespace
