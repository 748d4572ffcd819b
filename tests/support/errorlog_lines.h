// Test support: reading an error log back, and a private log path per test process.
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

// The log's entries without their "\r\n"; a final piece without one comes back as "<unterminated>...".
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

// The log of one ended run, or nothing when another program shared it. Every program deletes the
// shared log at its start and appends its lines: the file holds one run alone only when it starts
// with that run's "Current Dir" entry and line dirLine and no other "Current Dir" entry follows.
inline std::optional<std::vector<std::string>> LogOfOneRun(const std::string& path, const std::string& dirLine) {
    const std::vector<std::string> lines = ReadLogLines(path);
    const bool alone = lines.size() >= 2 && lines[0] == "Current Dir" && lines[1] == dirLine &&
                       std::count(lines.begin() + 1, lines.end(), "Current Dir") == 0;
    return alone ? std::optional(lines) : std::nullopt;
}

// A log path no other test process uses, its file removed.
inline std::string PrivateLogPath(const std::string& tag) {
    const std::string path = "/tmp/voxa_test_" + tag + "_" + std::to_string(getpid()) + ".log";
    std::remove(path.c_str());
    return path;
}

} // namespace voxatest
