// The state of the base folder, in one object. The error report (gErrors) is not here: programs
// read and write it, so it stays in voxa/base.h.
//
// Reset: the frame timers at start-up (RuntimeStart), by every ShowScreen and when a replay
// begins (it puts the recorded ones back); the hook table is filled at static initialisation
// and never reset; the clock's source, sleeper and filter and the log path change only when a
// test or the input recorder sets them.
//
// gBase must be constant-initialised (no field may need a constructor to run): the hook
// registrations of other files write into it during static initialisation, in any order.
#pragma once

#include "base/clock.h"
#include "base/hooks.h"
#include "base/timers.h"

struct BaseState {
    FrameTimers timers;                         // frame times and the Escape switch
    RuntimeHooks hooks;                         // steps lower layers call in higher ones
    TickSource tickSource = nullptr;            // a test's clock (SetTickSource); null: SDL's tick count
    TickSleeper tickSleeper = nullptr;          // that clock's sleep; null: SleepTicks does not sleep
    TickFilter tickFilter = nullptr;            // every reading passes through it (the input recorder's)
    char logPath[4096] = "/tmp/ErrorLog.txt";   // the error log; a test may choose its own
};

extern BaseState gBase;
