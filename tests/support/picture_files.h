// Test support: picture files made at test time. PNG through libpng, JPEG through libjpeg and
// TGA byte by byte, from RGBA pixels given row by row from the top.
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

// The file's bytes. alpha false writes an RGB PNG; palette writes an 8-bit palettised PNG with
// a transparency entry per colour (at most 256 distinct colours).
std::vector<uint8_t> PngBytes(const Pixels& p, bool alpha, bool palette = false);
std::vector<uint8_t> JpegBytes(const Pixels& p, int quality);
// Uncompressed (or run-length encoded) TGA, 24 or 32 bits, rows stored from the bottom.
std::vector<uint8_t> TgaBytes(const Pixels& p, int bits, bool rle = false);

// A copy of a PNG whose compressed image data is scrambled, its chunk layout kept.
std::vector<uint8_t> ScrambledPng(std::vector<uint8_t> png);

void WriteBytesTo(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace voxatest
