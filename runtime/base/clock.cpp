// The replaceable millisecond clock, its filter and its sleep.
#include "base/clock.h"
#include "base/state.h"
#include "voxa/testing.h"

#include <SDL/SDL.h>
#include <time.h>

#include <cmath>

uint32_t GetSourceTicks() { return gBase.tickSource ? gBase.tickSource() : SDL_GetTicks(); }

uint32_t GetTicks() {
    const uint32_t ticks = GetSourceTicks();
    return gBase.tickFilter ? gBase.tickFilter(ticks) : ticks;
}

void SleepTicks(double ms) {
    if (gBase.tickSource == nullptr) {
        SleepRealTime(ms);
    } else if (gBase.tickSleeper != nullptr) {
        gBase.tickSleeper(ms);
    }
}

void SleepRealTime(double ms) {
    if (!(ms > 0)) return;
    const double seconds = std::floor(ms / 1000.0);
    timespec ts{time_t(seconds), long((ms - seconds * 1000.0) * 1e6)};
    nanosleep(&ts, nullptr);
}

void SetTickSource(TickSource source, TickSleeper sleeper) {
    gBase.tickSource = source;
    gBase.tickSleeper = source ? sleeper : nullptr;
}

void SetTickFilter(TickFilter filter) { gBase.tickFilter = filter; }
