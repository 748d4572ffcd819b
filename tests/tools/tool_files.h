// Files for the tool tests: a private scratch directory per test, whole-file reads and writes.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

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
inline std::string ReadFile(const std::string& path) {  // "" when missing
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline bool Exists(const std::string& path) {  // lstat: a dangling link exists too
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}
