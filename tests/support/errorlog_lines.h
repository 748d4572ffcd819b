// Test support: reading an error log back, and a private log path for tests that make the
// runtime write log lines (tests of several executables run side by side).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
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
    const std::string bytes = ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t pos = 0;
    for (size_t end; (end = bytes.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        lines.push_back(bytes.substr(pos, end - pos));
    }
    if (pos < bytes.size()) lines.push_back("<unterminated>" + bytes.substr(pos));
    return lines;
}

// The log of one run of a program that has ended, when it can be judged. The log's path
// "/tmp/ErrorLog.txt" is shared by every program on the machine: each deletes the file at its
// start and appends its lines. So the file holds one run alone only when it starts with that
// run's "Current Dir" entry and directory line dirLine and no other program's "Current Dir"
// entry follows; otherwise (another program started during or after the run) nothing.
inline std::optional<std::vector<std::string>> LogOfOneRun(const std::string& path, const std::string& dirLine) {
    const std::vector<std::string> lines = ReadLogLines(path);
    const bool alone = lines.size() >= 2 && lines[0] == "Current Dir" && lines[1] == dirLine &&
                       std::count(lines.begin() + 1, lines.end(), "Current Dir") == 0;
    return alone ? std::optional(lines) : std::nullopt;
}

// A log path that no other test process uses; the file is removed.
inline std::string PrivateLogPath(const std::string& tag) {
    const std::string path = "/tmp/voxa_test_" + tag + "_" + std::to_string(getpid()) + ".log";
    std::remove(path.c_str());
    return path;
}

} // namespace voxatest
