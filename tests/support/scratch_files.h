// Files and programs for tests: a private scratch directory per test, whole-file reads
// and writes, shell commands with their output.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/errorlog_lines.h"

// A fresh directory under /tmp, removed with its content when the object dies.
struct ScratchDir {
    std::string path = "/tmp/voxa_tools_" + std::to_string(getpid()) + "_XXXXXX";
    ScratchDir() {
        if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline void WriteFile(const std::string& path, const std::string& content) {
    if (!(std::ofstream(path, std::ios::binary | std::ios::trunc) << content)) throw std::runtime_error("cannot write " + path);
}
inline std::string ReadFile(const std::string& path) { return voxatest::ReadFileBytes(path); }  // "" when missing
inline bool Exists(const std::string& path) {  // lstat: a dangling link exists too
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Runs a shell command: its exit status (-1 when it did not exit), its standard output in *output.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        if (output) output->append(buffer, n);
    const int rc = pclose(pipe);
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}
