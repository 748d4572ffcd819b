// The replaceable millisecond clock and its sleep.
#include "core/clock.h"

#include <SDL/SDL.h>
#include <time.h>

#include <cmath>

namespace {
TickSource gTickSource = nullptr;
TickSleeper gTickSleeper = nullptr;
}

uint32_t GetTicks() { return gTickSource ? gTickSource() : SDL_GetTicks(); }

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
