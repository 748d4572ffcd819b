// BMP decoding and writing in memory: header checks, region decode, edge fill, normal maps,
// the mipmap filter and the 24-bit writer.
//
// A bitmap is outside data. Every size read from a header is checked against the bytes the
// file really holds before anything is read, and the only allocation sized by the header is
// the texture image, whose sides are capped by GL's texture size limit.
#include "gfx2d/bmp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/openfile.h"
#include "files/lookup.h"
#include "gfx2d/renderer.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }

int32_t AbsSide(uint32_t raw) {
    int64_t v = int32_t(raw);
    return int32_t(std::min<int64_t>(v < 0 ? -v : v, int64_t(kMaxBmpSide) + 1));
}

// Where the pixel rows and the palette are. The palette follows the info header, whose size
// the header gives (40 for the classic form, more for the later ones).
struct BmpLayout {
    uint64_t stride = 0;        // bytes per file row, a multiple of 4
    const uint8_t* palette = nullptr;
    uint32_t paletteEntries = 0;
};

BmpLayout Layout(const uint8_t* file, const BmpHeader& h) {
    BmpLayout layout;
    uint32_t bytesPerPixel = h.bitCount / 8u;
    layout.stride = (uint64_t(bytesPerPixel) * uint64_t(h.width) + 3) & ~uint64_t(3);
    // Summed in 64 bits: a huge header size must not wrap round to the start of the file.
    uint64_t paletteStart = uint64_t(kFileHeaderBytes) + h.infoSize;
    if (h.infoSize < kInfoHeaderBytes || paletteStart > h.pixelOffset) {
        paletteStart = kFileHeaderBytes + kInfoHeaderBytes;
    }
    layout.palette = file + paletteStart;
    layout.paletteEntries = uint32_t((h.pixelOffset - paletteStart) / 4);
    return layout;
}

// The colour a pixel must equal to be made transparent; colours have 24 bits, so no pixel
// equals kNoKey.
constexpr uint32_t kNoKey = 0xFFFFFFFFu;
uint32_t KeyOf(const BmpLoadOptions& options) { return options.applyKey ? options.colourKey : kNoKey; }

// The texel of a colour (red in the low byte): transparent black when it is the key colour.
uint32_t KeyedTexel(uint32_t colour, uint32_t key) {
    return colour == key ? 0 : colour | 0xFF000000u; // bytes red, green, blue, alpha in memory
}

// The colour of the blue, green, red bytes at p.
uint32_t ColourAt(const uint8_t* p) { return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16; }

void PutTexel(uint8_t* texel, uint32_t value) { std::memcpy(texel, &value, 4); }

// Decodes `count` pixels of one file row into texels, with no test a pixel beyond the key.
// Texels are 32-bit words whose bytes in memory are red, green, blue, alpha (the reader is for
// little-endian machines, as the file format is).
void DecodeRow(const uint8_t* __restrict pixels, int bytesPerPixel, size_t count,
               const uint32_t* __restrict paletteTexels, uint32_t key, uint8_t* __restrict texels) {
    if (bytesPerPixel == 1) {
        for (size_t i = 0; i < count; ++i) PutTexel(texels + i * 4, paletteTexels[pixels[i]]);
    } else if (bytesPerPixel == 4) {
        for (size_t i = 0; i < count; ++i) PutTexel(texels + i * 4, KeyedTexel(ColourAt(pixels + i * 4), key));
    } else {
        // A 4-byte read at each pixel holds its blue, green and red bytes low to high and one
        // byte more; reversed, the top three bytes are the colour. The last pixel of a row may
        // end the file, so it is read byte by byte.
        for (size_t i = 0; i + 1 < count; ++i) {
            uint32_t word;
            std::memcpy(&word, pixels + i * 3, 4);
            PutTexel(texels + i * 4, KeyedTexel(__builtin_bswap32(word) >> 8, key));
        }
        PutTexel(texels + (count - 1) * 4, KeyedTexel(ColourAt(pixels + (count - 1) * 3), key));
    }
}

uint8_t* Texel(TextureImage& image, int x, int row) {
    return &image.rgba[(size_t(row) * size_t(image.width) + size_t(x)) * 4];
}

} // namespace

int TextureSizeFor(int side) {
    int size = 1;
    do {
        size *= 2;
    } while (size < side && size < (1 << 30));
    return size;
}

bool ParseBmpHeader(const uint8_t* data, size_t size, uint64_t fileSize, BmpHeader& header) {
    if (size < kFileHeaderBytes + kInfoHeaderBytes) return false;
    if (data[0] != 'B' || data[1] != 'M') return false;
    header.pixelOffset = U32(data + 10);
    header.infoSize = U32(data + 14);
    header.width = AbsSide(U32(data + 18));
    header.height = AbsSide(U32(data + 22));
    header.bitCount = U16(data + 28);
    if (header.pixelOffset < kFileHeaderBytes + kInfoHeaderBytes) return false;
    if (header.pixelOffset > fileSize) return false;
    return header.width <= kMaxBmpSide && header.height <= kMaxBmpSide;
}

bool StartRegion(TextureImage& out, const BmpLoadOptions& options, int imageWidth, int imageHeight, int maxSize,
                 bool cleared) {
    const bool whole = options.width == 0 || options.height == 0;
    const int w = std::min(whole ? imageWidth : options.width, maxSize);
    const int hgt = std::min(whole ? imageHeight : options.height, maxSize);
    if (w < 1 || hgt < 1) return false;
    out.regionWidth = w;
    out.regionHeight = hgt;
    out.width = TextureSizeFor(w);
    out.height = TextureSizeFor(hgt);
    const size_t bytes = size_t(out.width) * size_t(out.height) * 4;
    if (cleared) {
        out.rgba.assign(bytes, 0);
    } else {
        out.rgba.resize(bytes);
    }
    return true;
}

bool DecodeBmp(const uint8_t* file, size_t size, const BmpLoadOptions& options, int maxSize,
               TextureImage& out) {
    BmpHeader h;
    if (!ParseBmpHeader(file, size, size, h)) return false;
    if (h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32) return false;
    BmpLayout layout = Layout(file, h);
    if (h.pixelOffset + layout.stride * uint64_t(h.height) > size) return false;

    // Every texel is written below, so the buffer is not cleared first.
    if (!StartRegion(out, options, h.width, h.height, maxSize, false)) return false;
    const int w = out.regionWidth, hgt = out.regionHeight;

    // The texel each palette index gives (keyed or beyond the palette: transparent), so that an
    // 8-bit row is one table lookup a pixel.
    uint32_t paletteTexels[256] = {};
    if (h.bitCount == 8) {
        for (uint32_t i = 0; i < 256 && i < layout.paletteEntries; ++i) {
            paletteTexels[i] = KeyedTexel(ColourAt(layout.palette + size_t(i) * 4), KeyOf(options));
        }
    }
    // The columns of the region that lie inside the picture; the others stay transparent.
    const int c0 = int(std::clamp<int64_t>(-int64_t(options.srcX), 0, w));
    const int c1 = int(std::clamp<int64_t>(int64_t(h.width) - options.srcX, c0, w));
    const int bytesPerPixel = h.bitCount / 8;
    const uint8_t* pixels = file + h.pixelOffset;
    const size_t textureRowBytes = size_t(out.width) * 4;
    for (int row = 0; row < out.height; ++row) {
        uint8_t* texels = out.rgba.data() + size_t(row) * textureRowBytes;
        const int r = hgt - 1 - row; // the region row that lands in this texture row
        const int64_t imageRow = int64_t(options.srcY) + r;
        if (r < 0 || imageRow < 0 || imageRow >= h.height || c0 == c1) {
            std::memset(texels, 0, textureRowBytes);
            continue;
        }
        std::memset(texels, 0, size_t(c0) * 4);
        std::memset(texels + size_t(c1) * 4, 0, textureRowBytes - size_t(c1) * 4);
        const uint8_t* fileRow = pixels + uint64_t(h.height - 1 - imageRow) * layout.stride +
                                 (int64_t(options.srcX) + c0) * bytesPerPixel;
        DecodeRow(fileRow, bytesPerPixel, size_t(c1 - c0), paletteTexels, KeyOf(options), texels + size_t(c0) * 4);
    }
    FinishRegion(out, options, h.width, h.height);
    return true;
}

void FinishRegion(TextureImage& out, const BmpLoadOptions& options, int imageWidth, int imageHeight) {
    const int w = out.regionWidth, hgt = out.regionHeight;
    if (options.colourKey != 0) {
        // Texels beyond the picture (a layer tile at the right or bottom edge) stay black: they
        // are not part of the image, and a layer draws them without the alpha test.
        const int64_t c0 = std::max<int64_t>(0, -int64_t(options.srcX));
        const int64_t c1 = std::min<int64_t>(w, int64_t(imageWidth) - options.srcX);
        const int64_t r0 = std::max<int64_t>(0, -int64_t(options.srcY));
        const int64_t r1 = std::min<int64_t>(hgt, int64_t(imageHeight) - options.srcY);
        if (c0 < c1 && r0 < r1) FillEdgeColours(out, int(c0), int(hgt - r1), int(c1), int(hgt - r0));
    }
    if (options.normalMap) ConvertToNormalMap(out);
}

namespace {

// Gives the transparent texel (x, y) the average colour of its opaque neighbours that lie
// strictly inside the w x h region, if it has any.
void FillFromNeighbours(TextureImage& image, int x, int y) {
    const int w = image.regionWidth, h = image.regionHeight;
    int sum[3] = {0, 0, 0};
    int counted = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 1 || ny < 1 || nx > w - 2 || ny > h - 2) continue;
            const uint8_t* n = Texel(image, nx, ny);
            if (n[3] == 0) continue;
            for (int i = 0; i < 3; ++i) sum[i] += n[i];
            ++counted;
        }
    }
    if (counted == 0) return;
    // Opaque texels are never changed, so filling in place reads the same neighbours a
    // separate pass would. nearbyint rounds halves to even.
    uint8_t* t = Texel(image, x, y);
    for (int i = 0; i < 3; ++i) t[i] = uint8_t(std::nearbyint(double(sum[i]) / counted));
}

} // namespace

void FillEdgeColours(TextureImage& image, int x0, int y0, int x1, int y1) {
    const int xa = std::max(x0, 0), xb = std::min(x1, image.regionWidth);
    for (int y = std::max(y0, 0); y < std::min(y1, image.regionHeight); ++y) {
        const uint8_t* row = Texel(image, 0, y);
        // Most rows of a picture hold no transparent texel; a pass the compiler vectorizes finds
        // them, and only the others are walked texel by texel.
        uint8_t leastAlpha = 255;
        for (int x = xa; x < xb; ++x) leastAlpha = std::min(leastAlpha, row[size_t(x) * 4 + 3]);
        if (leastAlpha != 0) continue;
        for (int x = xa; x < xb; ++x) {
            if (row[size_t(x) * 4 + 3] == 0) FillFromNeighbours(image, x, y);
        }
    }
}

void ConvertToNormalMap(TextureImage& image) {
    const int w = image.width, h = image.height;
    TexelBytes out(image.rgba);
    auto height = [&](int x, int y) {
        x = (x % w + w) % w;
        y = (y % h + h) % h;
        return float(Texel(image, x, y)[2]) / 255.0f;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float gx = (height(x - 1, y + 1) + 2 * height(x - 1, y) + height(x - 1, y - 1)) -
                       (height(x + 1, y + 1) + 2 * height(x + 1, y) + height(x + 1, y - 1));
            float gy = (height(x - 1, y + 1) + 2 * height(x, y + 1) + height(x + 1, y + 1)) -
                       (height(x - 1, y - 1) + 2 * height(x, y - 1) + height(x + 1, y - 1));
            float k = 1.0f / std::sqrt(gx * gx + gy * gy + 1.0f);
            uint8_t* t = &out[(size_t(y) * size_t(w) + size_t(x)) * 4];
            t[0] = uint8_t(int((gx * k + 1) * 0.5f * 255));
            t[1] = uint8_t(int((gy * k + 1) * 0.5f * 255));
            t[2] = uint8_t(int((k + 1) * 0.5f * 255));
        }
    }
    image.rgba.swap(out);
}

namespace {

// Integer division of a filter sum s by its weights d, as a multiplication by m = ceil(2^16 / d)
// and a shift: for every sum here (at most 255 * d), s * m / 2^16 exceeds s / d by less than
// 1 / d, while s / d lies at least 1 / d below the next integer, so both have the same floor.
constexpr uint32_t kByNine = 7282;  // ceil(2^16 / 9)
constexpr uint32_t kBySix = 10923;  // ceil(2^16 / 6)

// One row of the next level: texel x weighs texel 2x of `low` 4 and its right neighbour 2, and
// texel 2x of `high` 2 and its right neighbour 1 (high null: a level one texel high; right
// false: a level one texel wide).
void FilterRow(const uint8_t* __restrict low, const uint8_t* __restrict high, uint8_t* __restrict out,
               size_t count, bool right) {
    // Sums fit 16 bits (at most 255 * 9), and keeping them there lets the compiler work on
    // eight of them per vector and take the high half of a 16-bit product for the shift.
    if (high != nullptr && right) {
        for (size_t x = 0; x < count; ++x) {
            for (int c = 0; c < 4; ++c) {
                const uint16_t sum = uint16_t(4 * low[8 * x + c] + 2 * low[8 * x + 4 + c] + 2 * high[8 * x + c] +
                                              high[8 * x + 4 + c]);
                out[4 * x + c] = uint8_t(uint32_t(sum) * kByNine >> 16);
            }
        }
    } else if (right) {
        for (size_t x = 0; x < count; ++x) {
            for (int c = 0; c < 4; ++c) {
                const uint16_t sum = uint16_t(4 * low[8 * x + c] + 2 * low[8 * x + 4 + c]);
                out[4 * x + c] = uint8_t(uint32_t(sum) * kBySix >> 16);
            }
        }
    } else {
        // One texel wide: each "row" is a single texel, and `high` is the one above.
        for (int c = 0; c < 4; ++c) out[c] = uint8_t((4u * low[c] + 2u * high[c]) * kBySix >> 16);
    }
}

} // namespace

bool NextMipLevel(uint8_t* rgba, int& width, int& height) {
    if (width <= 1 && height <= 1) return false;
    const int w = width, h = height;
    const int nw = std::max(w / 2, 1), nh = std::max(h / 2, 1);
    // Texel (x, y) of the new level weighs texel (2x, 2y) of the old one 4, its right and upper
    // neighbours 2 and the diagonal one 1, leaving out those beyond the level's edge. Since
    // 2x + 1 < w for every x of the new level once w >= 2 (and likewise upward), a whole level
    // has the same neighbours: all four, or two along a line one texel high or wide.
    //
    // The new level is written over the old one in place. From row 1 on, new row y ends before
    // old row 2y starts; new row 0 shares its start with old row 0, so it is made in pieces in
    // a small buffer, each piece copied back after the old texels under it have been read.
    const size_t rowBytes = size_t(w) * 4, newWidth = size_t(nw), newRowBytes = newWidth * 4;
    const bool right = w >= 2;
    const uint8_t* above = h >= 2 ? rgba + rowBytes : nullptr; // old row 1
    constexpr size_t kPiece = 256;
    uint8_t piece[kPiece * 4];
    for (size_t x = 0; x < newWidth; x += kPiece) {
        const size_t count = std::min(kPiece, newWidth - x);
        FilterRow(rgba + x * 8, above ? above + x * 8 : nullptr, piece, count, right);
        std::memcpy(rgba + x * 4, piece, count * 4);
    }
    for (size_t y = 1; y < size_t(nh); ++y) {
        const uint8_t* low = rgba + y * 2 * rowBytes;
        FilterRow(low, above ? low + rowBytes : nullptr, rgba + y * newRowBytes, newWidth, right);
    }
    width = nw;
    height = nh;
    return true;
}

int WriteBmp24(const char* path, const uint8_t* pixels, int width, int height, int stride, bool flip) {
    if (path == nullptr || width < 0 || height < 0 || (pixels == nullptr && width > 0 && height > 0)) {
        return 0;
    }
    QuietPipeWrites quiet; // the path may name a FIFO whose reader quits
    FILE* f = OpenFileNoCase(path, "wb");
    if (f == nullptr) return 0;
    const uint32_t rowBytes = (3u * uint32_t(width) + 3u) & ~3u;
    uint8_t header[54] = {};
    header[0] = 'B', header[1] = 'M';
    PutU32(header + 2, rowBytes * uint32_t(height) + 54);
    PutU32(header + 10, 54);
    PutU32(header + 14, 40);
    PutU32(header + 18, uint32_t(width));
    PutU32(header + 22, uint32_t(height));
    PutU16(header + 26, 1);
    PutU16(header + 28, 24);
    PutU32(header + 38, 10000);
    PutU32(header + 42, 10000);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int i = 0; ok && i < height; ++i) {
        int source = flip ? height - 1 - i : i;
        std::memcpy(row.data(), pixels + size_t(source) * size_t(stride) * 3, size_t(width) * 3);
        ok = std::fwrite(row.data(), 1, rowBytes, f) == rowBytes;
    }
    if (std::fclose(f) != 0) ok = false;
    return ok ? 1 : 0;
}
