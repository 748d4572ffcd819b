// Frame pacing on a test clock: the slot grid, dropped late slots, the >= comparison, the
// frame-rate setting and the frame timers; and a program without a display.
#include <gtest/gtest.h>

#include <cmath>
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

struct PacingCase {
    double fps, firstDeadline;
    uint32_t start;
    std::vector<uint32_t> work, shown;  // ms of work before each frame; the tick each wait ended
};

TEST(Pacing, FramesEndAtTheFirstTickPastEachSlotAndLateFramesDropTheMissedSlots) {
    const PacingCase cases[] = {
        // Slots end at 16.67, 33.33, 50, 66.67: a deadline equal to the tick (50) still waits.
        {60, 0, 0, {0, 5, 5, 5, 5}, {1, 17, 34, 51, 67}},
        {100, 10, 10, {0, 0}, {11, 21}},
        // A 40 ms frame is shown at once; the next deadline is the first slot after it (66.67, not 50).
        {60, 0, 0, {0, 5, 39, 1}, {1, 17, 57, 67}},
        {-1, 0, 0, {0, 0, 0, 0}, {1, 3, 5, 7}},  // no rate: 2 ms frames
    };
    for (const PacingCase& c : cases) {
        SCOPED_TRACE(c.fps);
        gNow = c.start;
        SetTickSource(SpinningClock);
        WindowContext window;
        window.nextFrameTime = c.firstDeadline;
        window.SetFrameRate(c.fps);
        std::vector<uint32_t> shown;
        for (uint32_t work : c.work) {
            gNow += work;
            EXPECT_GE(window.WaitForFrameSlot(), 1.0);
            shown.push_back(gNow - 1);  // the last tick the wait read
        }
        SetTickSource(nullptr);
        EXPECT_EQ(shown, c.shown);
    }
    const double rates[][2] = {{60, 1000.0 / 60}, {0, 2}, {-1, 2}, {std::nan(""), 2}, {1e-320, 60000}};  // not endless
    for (const auto& r : rates) {
        WindowContext window;
        window.SetFrameRate(r[0]);
        EXPECT_DOUBLE_EQ(window.frameInterval, r[1]) << r[0];
    }
}

// A clock in microseconds under a waiting loop: each read costs kReadMicros, as one turn of the
// loop (a poll of the queue and a read of the clock) does; a sleep lasts what was asked plus a
// wake-up delay.
constexpr uint64_t kReadMicros = 20;
uint64_t gMicros = 0, gWakeDelayMicros = 0, gSpunMicros = 0, gSleptMicros = 0;
uint32_t MicroClock() {
    gMicros += kReadMicros;
    gSpunMicros += kReadMicros;
    return uint32_t((gMicros - kReadMicros) / 1000);
}
void MicroSleep(double ms) {
    EXPECT_GT(ms, 0);
    EXPECT_LE(ms, 2.0);  // the queue is drained at least every 2 ms
    const uint64_t slept = uint64_t(ms * 1000) + gWakeDelayMicros;
    gMicros += slept;
    gSleptMicros += slept;
}

TEST(PacingWithSleep, SleepsMostOfTheWaitAndKeepsTheSlotGrid) {
    // 5 ms of work a frame at 60 frames per second: the same release ticks whether the wait
    // spins all the way (no sleeper) or sleeps, even when every sleep ends 0.3 ms late, and each
    // release comes within two turns of the loop after its tick has begun.
    std::vector<uint32_t> spun;
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        gMicros = gSpunMicros = gSleptMicros = 0;
        gWakeDelayMicros = variant == 2 ? 300 : 0;
        SetTickSource(MicroClock, variant == 0 ? nullptr : MicroSleep);
        WindowContext window;
        window.SetFrameRate(60);
        std::vector<uint32_t> ticks;
        for (int frame = 0; frame < 60; ++frame) {
            gMicros += 5000;
            EXPECT_GE(window.WaitForFrameSlot(), 1.0);
            const uint64_t lastRead = gMicros - kReadMicros;
            ticks.push_back(uint32_t(lastRead / 1000));  // the tick the wait last read
            EXPECT_LE(frame == 0 ? 0 : lastRead % 1000, 2 * kReadMicros) << frame;
        }
        SetTickSource(nullptr);
        if (variant == 0) {
            EXPECT_EQ(ticks[59], 984u);  // the first tick past 59 slots of 16.67 ms
            spun = ticks;
            continue;
        }
        EXPECT_EQ(ticks, spun);
        // Of about 11.7 ms of waiting a frame, at most the last 1.5 ms (the spun stretch and the
        // part of a tick the wait cannot see) plus one turn of the loop is spun.
        EXPECT_LT(gSpunMicros / 60, 1500 + 2 * kReadMicros);
        EXPECT_GT(gSleptMicros / 60, 10000u);
    }
}

TEST(FrameTimers, GetTimerIsNeverZeroOrNegativeAndGetTimerAllCountsFromStart) {
    gNow = 1000;
    SetTickSource(StoppedClock);
    ResetFrameTimers();
    EXPECT_EQ(GetTimer(), 1.0);  // called in the same millisecond
    const double previous[][2] = {{1005, 1}, {983, 17}};
    for (const auto& p : previous) {
        gBase.timers.previousFrameTime = p[0];
        EXPECT_EQ(GetTimer(), p[1]) << p[0];
    }
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
