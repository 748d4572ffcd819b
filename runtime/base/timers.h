// Frame timers: the times of the last frames and the base of GetTimerAll, all in milliseconds
// of the runtime clock.
#pragma once

#include <cstdint>

struct FrameTimers {
    double startTime = 0;          // set at the end of RuntimeStart; base of GetTimerAll
    double previousFrameTime = 0;  // currentFrameTime before the last ShowScreen
    double currentFrameTime = 0;   // time at the start of the last ShowScreen
    uint8_t allowEscape = 1;       // nonzero: holding Escape at ShowScreen ends the program
};

extern FrameTimers gTimers;

void ResetFrameTimers();   // all three times = now
double GetTimer();         // now - previousFrameTime; never below 1
double GetTimerAll();      // now - startTime
void AllowEscape(double on); // 1 when on is nonzero or not a number, else 0
void SleepMs(uint32_t ms);   // sleeps ms milliseconds
