// Test support: reading an error log back, and a private log path for tests that make the
// runtime write log lines (tests of several executables run side by side).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace voxatest {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log's entries, each without its "\r\n". A final piece without "\r\n" is returned as an
// entry of its own prefixed with "<unterminated>", so a missing line end fails the comparison.
inline std::vector<std::string> ReadLogLines(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t pos = 0;
    for (;;) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) break;
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    if (pos < bytes.size()) lines.push_back("<unterminated>" + bytes.substr(pos));
    return lines;
}

// One program's entries in the log "/tmp/ErrorLog.txt", whose path every program on the machine
// shares (each deletes it at its start, then writes its own lines): from the "Current Dir" entry
// followed by the program's directory line dirLine up to the next "Current Dir" entry. Other
// programs' entries before and after are left out; empty when the program's entries are gone
// (another program deleted the log after them).
inline std::vector<std::string> OwnLogLines(const std::vector<std::string>& lines, const std::string& dirLine) {
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != "Current Dir" || lines[i + 1] != dirLine) continue;
        size_t end = i + 2;
        while (end < lines.size() && lines[end] != "Current Dir") ++end;
        return std::vector<std::string>(lines.begin() + i, lines.begin() + end);
    }
    return {};
}

// A log path that no other test process uses; the file is removed.
inline std::string PrivateLogPath(const std::string& tag) {
    std::string path = "/tmp/voxa_test_" + tag + "_" + std::to_string(getpid()) + ".log";
    std::remove(path.c_str());
    return path;
}

} // namespace voxatest
