// The replaceable millisecond clock, its filter and its sleep.
#include "base/clock.h"
#include "voxa/testing.h"

#include <SDL/SDL.h>
#include <time.h>

#include <cmath>

namespace {
TickSource gTickSource = nullptr;
TickFilter gTickFilter = nullptr;
TickSleeper gTickSleeper = nullptr;
}

uint32_t GetSourceTicks() { return gTickSource ? gTickSource() : SDL_GetTicks(); }

uint32_t GetTicks() {
    const uint32_t ticks = GetSourceTicks();
    return gTickFilter ? gTickFilter(ticks) : ticks;
}

void SleepTicks(double ms) {
    if (gTickSource == nullptr) {
        SleepRealTime(ms);
    } else if (gTickSleeper != nullptr) {
        gTickSleeper(ms);
    }
}

void SleepRealTime(double ms) {
    if (!(ms > 0)) return;
    const double seconds = std::floor(ms / 1000.0);
    timespec ts{time_t(seconds), long((ms - seconds * 1000.0) * 1e6)};
    nanosleep(&ts, nullptr);
}

void SetTickSource(TickSource source, TickSleeper sleeper) {
    gTickSource = source;
    gTickSleeper = source ? sleeper : nullptr;
}

void SetTickFilter(TickFilter filter) { gTickFilter = filter; }
