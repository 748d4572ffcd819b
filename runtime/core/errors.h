// The bottom of the runtime: application settings, the error-report values, the error log and
// the one way out of the program. Every layer may include this header.
#pragma once

#include <cstdint>

#include "basics/dynstring.h"

// Application settings, written by the program before RuntimeStart and read by it.
struct AppSettings {
    int32_t screenWidth = 0;     // window width in pixels
    int32_t screenHeight = 0;    // window height in pixels
    int32_t fullscreen = 0;      // nonzero: switch to full screen after the window opens
    int32_t framesPerSecond = 0; // frame-rate limit handed to the window
    int32_t debugMode = 0;       // nonzero: EndProgram writes the end-of-line report; 3D debug markers
    int32_t grabInput = 0;       // nonzero: keyboard and mouse are grabbed by the window
    DynString commandLine;       // the program's arguments, joined (set by the program's setup)
    DynString caption;           // window title, copied from RuntimeStart's argument
    int32_t currentFont = 0;     // font used by text output; RuntimeStart sets 0
};

// Why and where the program ends; written to the log by EndProgram in debug mode.
struct ErrorReport {
    double errorCode = 0;     // 0 normal end, 3 file not loadable, 7/8/9 array errors
    double errorLine = 0;     // currentLine when the code was recorded
    double currentLine = 0;   // source position reported through SetLinePosition
    double currentModule = 0;
};

extern AppSettings gSettings;  // lives from static initialisation to process exit
extern ErrorReport gErrors;

// The error log, "/tmp/ErrorLog.txt": one entry per line, each ended by "\r\n".
void WriteErrorLog(const char* text);        // appends one entry; null is written as "null"; failures are silent
const char* ErrorLogPath();                  // the log's path
void SetErrorLogPathForTesting(const char* path); // tests that run side by side keep their own log

void SetErrorCode(double code);              // errorCode = code, errorLine = currentLine
void SetLinePosition(double module, double line); // currentModule, currentLine
[[noreturn]] void EndProgram();              // the one shutdown path; ends the process with status 0
bool ProgramEnding();                        // true once EndProgram has begun
