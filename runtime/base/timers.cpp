// Frame timers and sleeping.
#include "base/timers.h"

#include <cmath>

#include "base/clock.h"

FrameTimers gTimers;

void ResetFrameTimers() {
    double now = GetTicks();
    gTimers.startTime = now;
    gTimers.previousFrameTime = now;
    gTimers.currentFrameTime = now;
}

double GetTimer() {
    double t = double(GetTicks()) - gTimers.previousFrameTime;
    return t <= 0 ? 1.0 : t;
}

double GetTimerAll() { return double(GetTicks()) - gTimers.startTime; }

void AllowEscape(double on) { gTimers.allowEscape = (on != 0 || std::isnan(on)) ? 1 : 0; }

void SleepMs(uint32_t ms) { SleepRealTime(double(ms)); }
