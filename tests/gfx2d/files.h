// Files of the gfx2d tests: private temporary paths, ImageMagick (the Debian one, by full path)
// as a reader and writer independent of the runtime, and the texels of a decoded image.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx2d/bmp.h"
#include "support/scratch_files.h"

namespace gltest {

inline std::string TempPath(const std::string& name) {
    return "/tmp/voxa_gfx2d_test_" + std::to_string(getpid()) + "_" + name;
}

// Runs ImageMagick with args and returns what it wrote on standard output.
inline std::vector<uint8_t> Magick(const std::string& args) {
    std::string out;
    EXPECT_EQ(RunCommand("/usr/bin/convert " + args + " 2>/dev/null", &out), 0) << args;
    return std::vector<uint8_t>(out.begin(), out.end());
}

// Texel (x, y counted from the image's top) of a decoded region: {red, green, blue, alpha}.
inline std::vector<int> TexelFromTop(const TextureImage& img, int x, int y) {
    const uint8_t* t = &img.rgba[(size_t(img.regionHeight - 1 - y) * img.width + x) * 4];
    return {t[0], t[1], t[2], t[3]};
}

} // namespace gltest
