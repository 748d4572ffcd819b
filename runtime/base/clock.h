// The runtime's millisecond clock. Everything that reads time (frame pacing, timers, the random
// seed at start-up) asks GetTicks. It reads SDL's tick count unless a test has put its own clock
// in place, so pacing and the game's step rule can be driven exactly; and every reading passes
// through one filter, where the input recorder writes it down or puts a recorded value in its
// place. The frame wait sleeps through SleepTicks, which a test clock replaces along with the
// time it tells.
#pragma once

#include <cstdint>

#include "voxa/testing.h"

using TickFilter = uint32_t (*)(uint32_t ticks);

uint32_t GetTicks();                 // the runtime's clock: the tick source's reading through the filter
uint32_t GetSourceTicks();           // the tick source's reading alone (SetTickSource, voxa/testing.h)
void SleepTicks(double ms);          // sleeps about ms milliseconds of that clock (never for a test clock without a sleeper)
void SleepRealTime(double ms);       // nanosleep for ms milliseconds: the sleeper of SDL's clock
void SetTickFilter(TickFilter filter); // null passes readings through unchanged
