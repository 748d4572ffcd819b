// The bottom of the runtime: the error report and log, the one way out of the program, and the
// frame timers (milliseconds of the runtime's clock).
#pragma once

#include <cstdint>

// ---- Error report and log
// Why and where the program ends; EndProgram writes them to the log in debug mode.
struct ErrorReport {
    double errorCode = 0;     // 0 normal end, 3 file not loadable, 7/8/9 array errors
    double errorLine = 0;     // currentLine when the code was recorded
    double currentLine = 0;   // source position reported through SetLinePosition
    double currentModule = 0; // source module reported through SetLinePosition
};
extern ErrorReport gErrors;                  // lives from static initialisation to process exit

void WriteErrorLog(const char* text);        // appends one line to "/tmp/ErrorLog.txt" ("\r\n" ended); null is written as "null"; failures are silent
void SetErrorCode(double code);              // errorCode = code, errorLine = currentLine
void SetLinePosition(double module, double line); // currentModule, currentLine
[[noreturn]] void EndProgram();              // the one shutdown path: releases every store, ends the process with status 0

// ---- Timers
double GetTimer();                           // ms since the frame before the last ShowScreen began; never below 1
double GetTimerAll();                        // ms since the end of RuntimeStart
void AllowEscape(double on);                 // holding Escape at ShowScreen ends the program while on is nonzero (or NaN); on at start
void SleepMs(uint32_t ms);                   // sleeps ms milliseconds
