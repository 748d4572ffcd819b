// Frame timers and sleeping.
#include "base/timers.h"

#include <cmath>

#include "base/clock.h"
#include "base/state.h"

void ResetFrameTimers() {
    double now = GetTicks();
    gBase.timers.startTime = now;
    gBase.timers.previousFrameTime = now;
    gBase.timers.currentFrameTime = now;
}

double GetTimer() {
    double t = double(GetTicks()) - gBase.timers.previousFrameTime;
    return t <= 0 ? 1.0 : t;
}

double GetTimerAll() { return double(GetTicks()) - gBase.timers.startTime; }

void AllowEscape(double on) { gBase.timers.allowEscape = (on != 0 || std::isnan(on)) ? 1 : 0; }

void SleepMs(uint32_t ms) { SleepRealTime(double(ms)); }
