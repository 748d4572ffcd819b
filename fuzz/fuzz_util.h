// Shared pieces of the fuzz targets: a private error log and a private scratch file, so several
// fuzzers can run side by side without touching each other's files or /tmp/ErrorLog.txt.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "base/errors.h"
#include "voxa/testing.h"

namespace fuzz {

// A path under /tmp unique to this process, e.g. "/tmp/voxa-fuzz-1234-ini.ini".
inline std::string ScratchPath(const char* tag) {
    return "/tmp/voxa-fuzz-" + std::to_string(getpid()) + "-" + tag;
}

// Sends the runtime's log lines to a per-process file instead of the shared log.
inline void PrivateErrorLog() {
    static const std::string path = ScratchPath("errorlog.txt");
    SetErrorLogPathForTesting(path.c_str());
}

// Replaces the scratch file's content with the input bytes; false when it cannot be written.
inline bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace fuzz
