// The runtime's millisecond clock. Everything that reads time (frame pacing, timers, the random
// seed at start-up) asks GetTicks, which reads SDL's tick count unless a test has put its own
// clock in place, so pacing and the game's step rule can be driven exactly.
#pragma once

#include <cstdint>

using TickSource = uint32_t (*)();

uint32_t GetTicks();                 // milliseconds since SDL's timer started (or the test clock)
void SetTickSource(TickSource source); // null restores SDL's tick count
