// The bottom of the runtime: the error-report values, the error log and the one way out of the
// program. It includes nothing else of the runtime, so every layer may include it.
#pragma once

#include <cstdint>

// Why and where the program ends; written to the log by EndProgram in debug mode.
struct ErrorReport {
    double errorCode = 0;     // 0 normal end, 3 file not loadable, 7/8/9 array errors
    double errorLine = 0;     // currentLine when the code was recorded
    double currentLine = 0;   // source position reported through SetLinePosition
    double currentModule = 0;
};

extern ErrorReport gErrors;    // lives from static initialisation to process exit

// The error log, "/tmp/ErrorLog.txt": one entry per line, each ended by "\r\n".
void WriteErrorLog(const char* text);        // appends one entry; null is written as "null"; failures are silent
const char* ErrorLogPath();                  // the log's path
void SetErrorLogPathForTesting(const char* path); // tests that run side by side keep their own log

void SetErrorCode(double code);              // errorCode = code, errorLine = currentLine
void SetLinePosition(double module, double line); // currentModule, currentLine
[[noreturn]] void EndProgram();              // the one shutdown path (defined by start-up, core/); ends the process with status 0
