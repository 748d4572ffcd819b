// The frame wait at 60 frames per second with 5 ms of work a frame, 600 frames (10 s) a run:
// the processor time the waiting costs, as a share of one core, and how far each release lands
// from its slot, for the wait as it is (sleeping, then spinning the last stretch) against the
// same run's wait that spins all the way (the same code with sleeping switched off).
//
// Slot errors need to know when each tick begins. SDL's tick count starts at a moment the
// program is not told, so the runs measured for errors use a millisecond clock of the benchmark's
// own, read from CLOCK_MONOTONIC, with real sleeps; a third run uses SDL's clock and reports
// the processor share only. The window is real (under Xvfb), so every poll drains X's queue.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" ./build/bench/frame_bench
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/clock.h"
#include "window/window.h"
#include "voxa/runtime.h"

namespace {

constexpr int kFrames = 600;
constexpr double kWorkMs = 5.0;

int64_t Nanos(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t gClockStart = 0; // CLOCK_MONOTONIC nanoseconds at tick 0 of the benchmark's clock
uint32_t BenchTicks() { return uint32_t((Nanos(CLOCK_MONOTONIC) - gClockStart) / 1000000); }

bool OpenOnce() {
    static bool opened = [] {
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        return Window().OpenWindow(640, 480, 0, 60);
    }();
    return opened;
}

// Work for kWorkMs of wall time, as a frame's drawing and game logic would.
void Work() {
    const int64_t end = Nanos(CLOCK_MONOTONIC) + int64_t(kWorkMs * 1e6);
    while (Nanos(CLOCK_MONOTONIC) < end) {
    }
}

enum class Wait { kSpin, kSleep, kSleepSdlClock };

void RunFrames(benchmark::State& state, Wait wait) {
    if (!OpenOnce()) return state.SkipWithError("no window");
    gClockStart = Nanos(CLOCK_MONOTONIC);
    if (wait == Wait::kSpin) SetTickSource(BenchTicks, nullptr);
    if (wait == Wait::kSleep) SetTickSource(BenchTicks, SleepRealTime);
    if (wait == Wait::kSleepSdlClock) SetTickSource(nullptr);
    const bool timed = wait != Wait::kSleepSdlClock;
    WindowContext& window = Window();
    window.SetFrameRate(60);
    double waitCpuMs = 0, worstFromBoundaryMs = 0;
    std::vector<double> afterTick; // per frame released in its slot: ms after the slot's first tick
    int missed = 0;
    int64_t wallStart = 0;
    for (auto _ : state) {
        window.nextFrameTime = GetTicks() + window.frameInterval;
        wallStart = Nanos(CLOCK_MONOTONIC);
        for (int frame = 0; frame < kFrames; ++frame) {
            Work();
            const double deadline = window.nextFrameTime;
            const bool late = GetTicks() > deadline;
            const int64_t cpu0 = Nanos(CLOCK_THREAD_CPUTIME_ID);
            window.WaitForFrameSlot();
            const int64_t released = Nanos(CLOCK_MONOTONIC);
            waitCpuMs += double(Nanos(CLOCK_THREAD_CPUTIME_ID) - cpu0) / 1e6;
            if (late) {
                ++missed; // the work overran its slot (a busy machine): released at once
                continue;
            }
            if (!timed) continue;
            // The slot's first tick, and the grid point itself, in the benchmark's clock.
            const double at = double(released - gClockStart) / 1e6;
            afterTick.push_back(at - (std::floor(deadline) + 1));
            worstFromBoundaryMs = std::max(worstFromBoundaryMs, std::fabs(at - deadline));
        }
    }
    const double wallMs = double(Nanos(CLOCK_MONOTONIC) - wallStart) / 1e6;
    SetTickSource(nullptr);
    state.counters["wait_cpu_share_pct"] = 100.0 * waitCpuMs / wallMs;
    state.counters["wait_cpu_ms_per_frame"] = waitCpuMs / kFrames;
    state.counters["missed_slots"] = missed;
    if (!timed || afterTick.empty()) return;
    std::sort(afterTick.begin(), afterTick.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    const auto within = std::count_if(afterTick.begin(), afterTick.end(), [](double e) { return std::fabs(e) <= 1.0; });
    state.counters["within_1ms_pct"] = 100.0 * double(within) / double(afterTick.size());
    state.counters["median_after_tick_ms"] = afterTick[afterTick.size() / 2];
    state.counters["p99_after_tick_ms"] = afterTick[afterTick.size() * 99 / 100];
    state.counters["worst_after_tick_ms"] = afterTick.back();
    state.counters["worst_from_grid_point_ms"] = worstFromBoundaryMs;
}

void BM_SpinningWait(benchmark::State& state) { RunFrames(state, Wait::kSpin); }
void BM_SleepingWait(benchmark::State& state) { RunFrames(state, Wait::kSleep); }
void BM_SleepingWaitSdlClock(benchmark::State& state) { RunFrames(state, Wait::kSleepSdlClock); }
BENCHMARK(BM_SpinningWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SleepingWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SleepingWaitSdlClock)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
