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
    uint32_t paletteStart = kFileHeaderBytes + h.infoSize;
    if (h.infoSize < kInfoHeaderBytes || paletteStart > h.pixelOffset) {
        paletteStart = kFileHeaderBytes + kInfoHeaderBytes;
    }
    layout.palette = file + paletteStart;
    layout.paletteEntries = (h.pixelOffset - paletteStart) / 4;
    return layout;
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

bool StartRegion(TextureImage& out, const BmpLoadOptions& options, int imageWidth, int imageHeight, int maxSize) {
    const bool whole = options.width == 0 || options.height == 0;
    const int w = std::min(whole ? imageWidth : options.width, maxSize);
    const int hgt = std::min(whole ? imageHeight : options.height, maxSize);
    if (w < 1 || hgt < 1) return false;
    out.regionWidth = w;
    out.regionHeight = hgt;
    out.width = TextureSizeFor(w);
    out.height = TextureSizeFor(hgt);
    out.rgba.assign(size_t(out.width) * size_t(out.height) * 4, 0);
    return true;
}

bool DecodeBmp(const uint8_t* file, size_t size, const BmpLoadOptions& options, int maxSize,
               TextureImage& out) {
    BmpHeader h;
    if (!ParseBmpHeader(file, size, size, h)) return false;
    if (h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32) return false;
    BmpLayout layout = Layout(file, h);
    if (h.pixelOffset + layout.stride * uint64_t(h.height) > size) return false;

    if (!StartRegion(out, options, h.width, h.height, maxSize)) return false;
    const int w = out.regionWidth, hgt = out.regionHeight;

    const int bytesPerPixel = h.bitCount / 8;
    const uint8_t* pixels = file + h.pixelOffset;
    for (int r = 0; r < hgt; ++r) {
        int64_t imageRow = int64_t(options.srcY) + r;
        if (imageRow < 0 || imageRow >= h.height) continue;
        const uint8_t* fileRow = pixels + uint64_t(h.height - 1 - imageRow) * layout.stride;
        for (int c = 0; c < w; ++c) {
            int64_t x = int64_t(options.srcX) + c;
            if (x < 0 || x >= h.width) continue;
            const uint8_t* bgr = fileRow + x * bytesPerPixel;
            if (bytesPerPixel == 1) {
                if (*bgr >= layout.paletteEntries) continue;
                bgr = layout.palette + size_t(*bgr) * 4;
            }
            uint8_t* t = Texel(out, c, hgt - 1 - r);
            uint32_t colour = uint32_t(bgr[2]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[0]) << 16;
            if (options.applyKey && colour == options.colourKey) continue; // stays (0, 0, 0, 0)
            t[0] = bgr[2], t[1] = bgr[1], t[2] = bgr[0], t[3] = 255;
        }
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

void FillEdgeColours(TextureImage& image, int x0, int y0, int x1, int y1) {
    const int w = image.regionWidth, h = image.regionHeight;
    for (int y = std::max(y0, 0); y < std::min(y1, h); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, w); ++x) {
            uint8_t* t = Texel(image, x, y);
            if (t[3] != 0) continue;
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
            if (counted == 0) continue;
            // Opaque texels are never changed, so filling in place reads the same neighbours
            // a separate pass would. nearbyint rounds halves to even.
            for (int i = 0; i < 3; ++i) t[i] = uint8_t(std::nearbyint(double(sum[i]) / counted));
        }
    }
}

void ConvertToNormalMap(TextureImage& image) {
    const int w = image.width, h = image.height;
    std::vector<uint8_t> out(image.rgba);
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

bool NextMipLevel(uint8_t* rgba, int& width, int& height) {
    if (width <= 1 && height <= 1) return false;
    const int nw = std::max(width / 2, 1), nh = std::max(height / 2, 1);
    // Texel (x, y) of the new level weighs texel (2x, 2y) of the old one 4, its right and upper
    // neighbours 2 and the diagonal one 1, leaving out those beyond the level's edge. The new
    // level is written over the old one in place: every texel written lies at or before the
    // first old texel that is still to be read.
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            const int sx = 2 * x, sy = 2 * y;
            const bool right = sx + 1 < width, up = sy + 1 < height;
            int sum[4] = {0, 0, 0, 0};
            int weights = 0;
            auto add = [&](int px, int py, int weight) {
                const uint8_t* t = rgba + (size_t(py) * size_t(width) + size_t(px)) * 4;
                for (int i = 0; i < 4; ++i) sum[i] += t[i] * weight;
                weights += weight;
            };
            add(sx, sy, 4);
            if (right) add(sx + 1, sy, 2);
            if (up) add(sx, sy + 1, 2);
            if (right && up) add(sx + 1, sy + 1, 1);
            uint8_t* dst = rgba + (size_t(y) * size_t(nw) + size_t(x)) * 4;
            for (int i = 0; i < 4; ++i) dst[i] = uint8_t(sum[i] / weights);
        }
    }
    width = nw;
    height = nh;
    return true;
}

int WriteBmp24(const char* path, const uint8_t* pixels, int width, int height, int stride, bool flip) {
    if (path == nullptr || width < 0 || height < 0 || (pixels == nullptr && width > 0 && height > 0)) {
        return 0;
    }
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
