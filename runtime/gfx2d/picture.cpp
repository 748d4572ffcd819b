// Picture files beside BMP: recognising PNG, JPEG and TGA by their first bytes, checking their
// headers, decoding them with SDL_image and cutting regions of them into texture images.
//
// A picture is outside data. SDL_image allocates the whole image before it decodes a byte of
// it, and reads on past the end of the data it was given. So the header is parsed here first:
// the sides and the pixel count must lie within fixed limits; the file must be long enough to
// hold that many pixels at its format's best compression (deflate shrinks at most 1032:1, a
// JPEG needs about a bit per 8 x 8 block); a PNG's chunks and a TGA's run-length packets must
// all lie inside the file. A small or cut file cannot make a large picture or a long decode.
// Only SDL_image's PNG, JPEG and TGA decoders are ever called, never its guessing loader.
#include "gfx2d/picture.h"

#include <SDL.h>
#include <SDL_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "files/lookup.h"
#include "gfx2d/local.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint64_t kDeflateBestRatio = 1032;
constexpr uint64_t kJpegPixelsPerByte = 4096;
constexpr size_t kTgaHeaderBytes = 18;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

bool SidesAllowed(uint64_t w, uint64_t h) {
    return w >= 1 && h >= 1 && w <= uint64_t(kMaxPictureSide) && h <= uint64_t(kMaxPictureSide) &&
           w * h <= uint64_t(kMaxPicturePixels);
}

// IHDR: width, height, bit depth, colour type, compression, filter, interlace.
bool PngSize(const uint8_t* d, size_t size, uint32_t& w, uint32_t& h) {
    if (size < 33 || Be32(d + 8) != 13 || std::memcmp(d + 12, "IHDR", 4) != 0) return false;
    w = Be32(d + 16);
    h = Be32(d + 20);
    const uint32_t depth = d[24], type = d[25];
    uint32_t channels = 0;
    bool depthOk = depth == 8 || depth == 16;
    switch (type) {
    case 0: channels = 1, depthOk = depthOk || depth == 1 || depth == 2 || depth == 4; break;
    case 2: channels = 3; break;
    case 3: channels = 1, depthOk = depth <= 8 && (depth & (depth - 1)) == 0 && depth != 0; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return false;
    }
    if (!depthOk || d[26] != 0 || d[27] != 0 || d[28] > 1 || !SidesAllowed(w, h)) return false;
    // Every chunk must lie inside the file up to the closing IEND: SDL_image does not stop at
    // the end of its data, and libpng would run through a chunk whose length is a lie.
    uint64_t compressed = 0;
    for (size_t p = 8;; ) {
        if (size - p < 12) return false;
        const uint32_t length = Be32(d + p);
        if (length > size - p - 12) return false;
        if (std::memcmp(d + p + 4, "IEND", 4) == 0) break;
        if (std::memcmp(d + p + 4, "IDAT", 4) == 0) compressed += length;
        p += 12 + size_t(length);
    }
    // The filtered rows that the compressed data must expand to.
    const uint64_t raw = uint64_t(h) * ((uint64_t(w) * channels * depth + 7) / 8 + 1);
    return raw <= compressed * kDeflateBestRatio;
}

// Walks the segments up to the first start-of-frame; the scan may not come before it.
bool JpegSize(const uint8_t* d, size_t size, uint32_t& w, uint32_t& h) {
    size_t p = 2;
    while (p + 4 <= size) {
        if (d[p] != 0xFF) return false;
        const uint8_t marker = d[p + 1];
        if (marker == 0xFF) {  // fill byte
            ++p;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
            p += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false;
        const size_t length = Be16(d + p + 2);
        if (length < 2 || p + 2 + length > size) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 8) return false;
            h = Be16(d + p + 5);
            w = Be16(d + p + 7);
            return SidesAllowed(w, h) && uint64_t(w) * h <= uint64_t(size) * kJpegPixelsPerByte;
        }
        p += 2 + length;
    }
    return false;
}

// The TGA kinds SDL_image decodes: colour-mapped 8 bits, true colour 15/16/24/32 bits and grey
// 8 bits, each plain or run-length encoded, rows from the bottom or the top, never from the right
// or interleaved.
bool TgaSize(const uint8_t* d, size_t size, uint32_t& w, uint32_t& h) {
    if (size < kTgaHeaderBytes) return false;
    const uint32_t idLength = d[0], mapType = d[1], type = d[2];
    const uint32_t mapLength = Le16(d + 5), mapBits = d[7], bits = d[16], descriptor = d[17];
    w = Le16(d + 12);
    h = Le16(d + 14);
    if (mapType > 1 || (descriptor & 0xD0) != 0 || (descriptor & 15) > 8) return false;
    const bool mapBitsOk = mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32;
    if (mapType == 1 && !mapBitsOk) return false;
    switch (type & ~8u) {
    case 1:
        if (mapType != 1 || bits != 8 || mapLength == 0 || mapLength > 256) return false;
        break;
    case 2:
        if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
        break;
    case 3:
        if (bits != 8) return false;
        break;
    default: return false;
    }
    if (!SidesAllowed(w, h)) return false;
    const uint64_t mapBytes = mapType == 1 ? uint64_t(mapLength) * ((mapBits + 7) / 8) : 0;
    const uint64_t start = kTgaHeaderBytes + idLength + mapBytes;
    if (start > size) return false;
    const uint64_t bytesPerPixel = (bits + 7) / 8, pixels = uint64_t(w) * h;
    if ((type & 8) == 0) return size - start >= pixels * bytesPerPixel;
    // Run-length packets: a header byte, then one pixel repeated or up to 128 pixels as they are.
    // The packets must cover every pixel inside the file (SDL_image would fill a cut stream).
    uint64_t p = start;
    for (uint64_t covered = 0; covered < pixels;) {
        if (p >= size) return false;
        const uint64_t packet = d[p], n = (packet & 127) + 1;
        p += 1 + ((packet & 128) ? bytesPerPixel : n * bytesPerPixel);
        covered += n;
    }
    return p <= size;
}

// Copies an SDL surface of any format into RGBA bytes: with the surface's own alpha switched
// off, SDL's blit copies the alpha channel instead of blending with it, leaves colour-keyed
// pixels transparent and makes every other pixel of an alpha-less surface opaque.
bool CopyToRgba(SDL_Surface* source, DecodedPicture& out) {
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
    const Uint32 masks[4] = {0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu};
#else
    const Uint32 masks[4] = {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u};
#endif
    SDL_Surface* target = SDL_CreateRGBSurfaceFrom(out.rgba.data(), out.width, out.height, 32, out.width * 4,
                                                   masks[0], masks[1], masks[2], masks[3]);
    if (target == nullptr) return false;
    SDL_SetAlpha(source, 0, SDL_ALPHA_OPAQUE);
    const bool ok = SDL_BlitSurface(source, nullptr, target, nullptr) == 0;
    SDL_FreeSurface(target);
    return ok;
}

} // namespace

PictureFormat SniffPicture(const uint8_t* data, size_t size) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PictureFormat::bmp;
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return PictureFormat::png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PictureFormat::jpeg;
    uint32_t w = 0, h = 0;
    return TgaSize(data, size, w, h) ? PictureFormat::tga : PictureFormat::none;
}

bool PictureHeader(const uint8_t* data, size_t size, PictureFormat& format, int& width, int& height) {
    format = SniffPicture(data, size);
    uint32_t w = 0, h = 0;
    bool ok = false;
    switch (format) {
    case PictureFormat::png: ok = PngSize(data, size, w, h); break;
    case PictureFormat::jpeg: ok = JpegSize(data, size, w, h); break;
    case PictureFormat::tga: ok = TgaSize(data, size, w, h); break;
    default: break;
    }
    width = ok ? int(w) : 0;
    height = ok ? int(h) : 0;
    return ok;
}

bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture& out) {
    PictureFormat format;
    int w = 0, h = 0;
    if (size > kMaxBmpFileBytes || !PictureHeader(data, size, format, w, h)) return false;
    SDL_RWops* in = SDL_RWFromConstMem(data, int(size));
    if (in == nullptr) return false;
    SDL_Surface* surface = format == PictureFormat::png    ? IMG_LoadPNG_RW(in)
                           : format == PictureFormat::jpeg ? IMG_LoadJPG_RW(in)
                                                           : IMG_LoadTGA_RW(in);
    SDL_RWclose(in);
    if (surface == nullptr) return false;
    bool ok = surface->w == w && surface->h == h;
    if (ok) {
        out.width = w;
        out.height = h;
        out.hasAlpha = surface->format->Amask != 0 || (surface->flags & SDL_SRCCOLORKEY) != 0;
        // A 32-bit TGA whose descriptor counts no alpha bits holds no alpha in its fourth byte.
        if (format == PictureFormat::tga && data[16] == 32 && (data[17] & 15) == 0) out.hasAlpha = false;
        try {
            out.rgba.assign(size_t(w) * size_t(h) * 4, 0);
            ok = CopyToRgba(surface, out);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (ok && !out.hasAlpha) {
            for (size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
        }
    }
    SDL_FreeSurface(surface);
    return ok;
}

bool ReadBmpFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* f = OpenFileNoCase(path, "rb");
    if (f == nullptr) return false;
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              uint64_t(st.st_size) <= kMaxBmpFileBytes;
    if (ok) {
        bytes.resize(size_t(st.st_size));
        ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    std::fclose(f);
    return ok;
}

bool PictureFromBytes(std::vector<uint8_t> bytes, PictureFile& picture) {
    picture = PictureFile{};
    picture.bmp = SniffPicture(bytes.data(), bytes.size()) == PictureFormat::bmp;
    if (picture.bmp) {
        picture.bytes = std::move(bytes);
        return true;
    }
    return DecodePicture(bytes.data(), bytes.size(), picture.decoded);
}

bool ReadPictureFile(const char* path, PictureFile& picture) {
    std::vector<uint8_t> bytes;
    picture = PictureFile{};
    return ReadBmpFile(path, bytes) && PictureFromBytes(std::move(bytes), picture);
}

void PictureFileSize(FILE* file, int& width, int& height) {
    width = height = 0;
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxBmpFileBytes) return;
    std::vector<uint8_t> bytes(size_t(st.st_size));
    std::rewind(file);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) return;
    PictureFormat format;
    PictureHeader(bytes.data(), bytes.size(), format, width, height);
}

bool DecodePictureRegion(const PictureFile& picture, const BmpLoadOptions& options, int maxSize,
                         TextureImage& out) {
    if (picture.bmp) return DecodeBmp(picture.bytes.data(), picture.bytes.size(), options, maxSize, out);
    const DecodedPicture& p = picture.decoded;
    if (p.width < 1 || p.height < 1 || !StartRegion(out, options, p.width, p.height, maxSize)) return false;
    const int w = out.regionWidth, hgt = out.regionHeight;
    const bool key = options.applyKey && !p.hasAlpha;
    // Columns of the region that lie inside the picture; the rest stays transparent.
    const int64_t c0 = std::max<int64_t>(0, -int64_t(options.srcX));
    const int64_t c1 = std::min<int64_t>(w, int64_t(p.width) - options.srcX);
    for (int r = 0; r < hgt; ++r) {
        const int64_t imageRow = int64_t(options.srcY) + r;
        if (imageRow < 0 || imageRow >= p.height) continue;
        const uint8_t* row = &p.rgba[size_t(imageRow) * size_t(p.width) * 4];
        uint8_t* texels = &out.rgba[size_t(hgt - 1 - r) * size_t(out.width) * 4];
        for (int64_t c = c0; c < c1; ++c) {
            const uint8_t* s = row + size_t(options.srcX + c) * 4;
            if (s[3] == 0) continue;
            if (key && (uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16) == options.colourKey) continue;
            std::memcpy(texels + size_t(c) * 4, s, 4);
        }
    }
    FinishRegion(out, options, p.width, p.height);
    return true;
}
