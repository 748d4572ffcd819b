// Frame timers: the times of the last frames and the base of GetTimerAll, all in milliseconds
// of the runtime clock. The timer commands are in voxa/base.h.
#pragma once

#include <cstdint>

#include "voxa/base.h"

struct FrameTimers {
    double startTime = 0;          // set at the end of RuntimeStart; base of GetTimerAll
    double previousFrameTime = 0;  // currentFrameTime before the last ShowScreen
    double currentFrameTime = 0;   // time at the start of the last ShowScreen
    uint8_t allowEscape = 1;       // nonzero: holding Escape at ShowScreen ends the program
};

void ResetFrameTimers();   // all three times = now
