// The error log and the error-report values.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "base/openfile.h"
#include "voxa/testing.h"

ErrorReport gErrors;

namespace {
std::string gLogPath = std::string("/tmp/") + "ErrorLog.txt";
}

const char* ErrorLogPath() { return gLogPath.c_str(); }

void SetErrorLogPathForTesting(const char* path) { gLogPath = path ? path : ""; }

void WriteErrorLog(const char* text) {
    // Every entry opens and closes the log anew, so the log is complete whenever the process
    // ends. The path is fixed and exact, so no lookup without regard to case is needed; the
    // open never waits (a FIFO planted at the path loses the entry instead of hanging).
    FILE* f = OpenNoWait(gLogPath.c_str(), "ab");
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
