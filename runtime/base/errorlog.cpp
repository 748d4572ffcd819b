// The error log and the error-report values.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "base/openfile.h"
#include "base/state.h"
#include "voxa/testing.h"

ErrorReport gErrors;

const char* ErrorLogPath() { return gBase.logPath; }

void SetErrorLogPathForTesting(const char* path) {
    std::snprintf(gBase.logPath, sizeof gBase.logPath, "%s", path ? path : "");
}

void WriteErrorLog(const char* text) {
    // Every entry opens and closes the log anew, so the log is complete whenever the process
    // ends. The path is fixed and exact, so no lookup without regard to case is needed; the
    // open never waits (a FIFO planted at the path loses the entry instead of hanging).
    QuietPipeWrites quiet; // a FIFO's reader may quit between the open and the write
    FILE* f = OpenNoWait(gBase.logPath, "ab");
    if (f == nullptr) return;
    const char* entry = text ? text : "null";
    std::fwrite(entry, 1, std::strlen(entry), f);
    std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}

void SetErrorCode(double code) {
    gErrors.errorCode = code;
    gErrors.errorLine = gErrors.currentLine;
}

void SetLinePosition(double module, double line) {
    gErrors.currentModule = module;
    gErrors.currentLine = line;
}
