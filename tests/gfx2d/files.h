// Files of the gfx2d tests: private temporary paths, whole files read back, and ImageMagick (the
// Debian one, by full path) as a reader and writer independent of the runtime.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gltest {

inline std::string TempPath(const std::string& name) {
    return "/tmp/voxa_gfx2d_test_" + std::to_string(getpid()) + "_" + name;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Runs ImageMagick with args and returns what it wrote on standard output.
inline std::vector<uint8_t> Magick(const std::string& args) {
    const std::string out = TempPath("magick.out");
    const std::string cmd = "/usr/bin/convert " + args + " > " + out + " 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::vector<uint8_t> bytes = ReadAll(out);
    std::remove(out.c_str());
    return bytes;
}

} // namespace gltest
