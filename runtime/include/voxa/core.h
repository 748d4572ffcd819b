// Runtime frame: start-up and the end of every frame. The settings a program fills first are in
// voxa/window.h, the error log, EndProgram and the timers in voxa/base.h.
#pragma once

// ---- Start-up
int RuntimeStart(int argc, char** argv, const char* commandLine, char** envp, const char* caption); // starts every store, opens the window from gSettings; only caption is used; always 0

// ---- Frames
void ShowScreen();                     // ends the frame: Escape/Alt+F4 quit, swap, wait for the frame slot, clear, background layer 0
