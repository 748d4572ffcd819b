// Seams for a program's tests: the runtime's clock, its key table and its error log, each
// replaceable so game rules can be driven exactly and without a display. Not commands: the
// umbrella header does not include this one; a test includes it itself. Everything else runs
// as in production (pumping events, scancode mapping, pacing on the clock given).
#pragma once

#include <cstdint>

// ---- Clock
using TickSource = uint32_t (*)();      // a clock in milliseconds
using TickSleeper = void (*)(double ms); // a sleep of that clock: moves the test's time on, or waits
// Every reading of the runtime's clock (pacing, timers, the start-up seed) comes from source, and
// the frame wait sleeps through sleeper (without one it never sleeps: the time moves only when
// the test moves it); a null source restores SDL's tick count and real sleeps.
void SetTickSource(TickSource source, TickSleeper sleeper = nullptr);

// ---- Keys: a table indexed by SDL key symbol, kKeySymbolCount bytes, nonzero = held
constexpr int kKeySymbolCount = 323;
void SetKeyStateSourceForTesting(const uint8_t* table); // the key commands read table instead of SDL's key state; null restores SDL's
int ScancodeKeySymbol(int scancode);  // the key symbol of a scancode (the byte of the table to set), 255 for none

// ---- Error log
void SetErrorLogPathForTesting(const char* path); // log lines go to path instead of "/tmp/ErrorLog.txt" (tests that run side by side)
