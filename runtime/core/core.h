// Runtime frame: start-up and shutdown, the error log, frame presentation and timers, the window.
#pragma once

#include <cstdint>

#include "core/clock.h"
#include "core/errors.h"
#include "core/timers.h"
#include "core/window.h"

// ---- Start-up and shutdown
int RuntimeStart(int argc, char** argv, const char* commandLine, char** envp,
                 const char* caption); // starts every store, opens the window; always 0

// ---- Frames and the window
void ShowScreen();                               // ends the frame: Escape/Alt+F4 quit, swap, wait for the frame slot, clear, background layer 0
void SetFrameRate(double fps);                   // frame-rate limit; fps <= 0 means a 2 ms interval
void GetScreenSize(double& w, double& h);        // the screen size in pixels of the application settings
