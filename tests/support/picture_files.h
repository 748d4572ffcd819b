// Test support: PNG (libpng), JPEG (libjpeg) and TGA files made at test time from RGBA pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voxatest {

struct Rgba {
    uint8_t r, g, b, a;
};

// A w x h picture; pixel (x, y from the top) is at [y * w + x].
struct Pixels {
    int w = 0, h = 0;
    std::vector<Rgba> at;
    Pixels(int width, int height, Rgba fill = {0, 0, 0, 255}) : w(width), h(height), at(size_t(width) * height, fill) {}
    Rgba& operator()(int x, int y) { return at[size_t(y) * w + x]; }
};

// The file's bytes. alpha false writes an RGB PNG; palette a palettised one (at most 256 colours).
std::vector<uint8_t> PngBytes(const Pixels& p, bool alpha, bool palette = false);
std::vector<uint8_t> JpegBytes(const Pixels& p, int quality);
// Uncompressed (or run-length encoded) TGA, 24 or 32 bits, rows stored from the bottom.
std::vector<uint8_t> TgaBytes(const Pixels& p, int bits, bool rle = false);

// A copy of a PNG whose compressed image data is scrambled, its chunk layout kept.
std::vector<uint8_t> ScrambledPng(std::vector<uint8_t> png);

void WriteBytesTo(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace voxatest
