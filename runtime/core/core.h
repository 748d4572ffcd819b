// Runtime frame: start-up and shutdown, the error log, frame presentation and timers, the window.
#pragma once

#include <cstdint>

#include "base/clock.h"
#include "base/errors.h"
#include "base/timers.h"
#include "window/settings.h"
#include "window/window.h"

// ---- Start-up and shutdown
int RuntimeStart(int argc, char** argv, const char* commandLine, char** envp,
                 const char* caption); // starts every store, opens the window; always 0

// ---- Frames
void ShowScreen();                               // ends the frame: Escape/Alt+F4 quit, swap, wait for the frame slot, clear, background layer 0
