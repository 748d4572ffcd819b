// The window's settings and pacing: the application settings a program fills before
// RuntimeStart (read by start-up, the window and the commands that depend on the screen or the
// debug mode), and the frame-rate limit.
#pragma once

#include <cstdint>

#include "voxa/dynstring.h"

// ---- Application settings
struct AppSettings {
    int32_t screenWidth = 0;     // window width in pixels
    int32_t screenHeight = 0;    // window height in pixels
    int32_t fullscreen = 0;      // nonzero: switch to full screen after the window opens
    int32_t framesPerSecond = 0; // frame-rate limit handed to the window
    int32_t debugMode = 0;       // nonzero: EndProgram writes the end-of-line report; 3D debug markers
    int32_t grabInput = 0;       // nonzero: keyboard and mouse are grabbed by the window
    DynString commandLine;       // the program's arguments, joined (set by the program's setup)
    DynString caption;           // window title, copied from RuntimeStart's argument
};

extern AppSettings gSettings;  // lives from static initialisation to process exit

// ---- Frame rate and screen
void SetFrameRate(double fps);             // frame-rate limit; fps <= 0 means a 2 ms interval
void GetScreenSize(double& w, double& h);  // the screen size in pixels of the application settings
