// Runtime frame: start-up and shutdown, the error log, frame presentation and timers, the window.
#pragma once

#include <cstdint>

#include "core/clock.h"
#include "core/errors.h"
#include "core/timers.h"

// ---- Start-up and shutdown
int RuntimeStart(int argc, char** argv, const char* commandLine, char** envp,
                 const char* caption); // starts every store, opens the window; always 0
