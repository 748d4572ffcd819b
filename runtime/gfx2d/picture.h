// Picture files of every format the loaders take: BMP through the runtime's own reader
// (bmp.cpp), PNG, JPEG and TGA decoded by SDL_image. The format is told by the file's first
// bytes, never by its name; a region of any picture becomes a texture image the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"

enum class PictureFormat { none, bmp, png, jpeg, tga };

// Largest side and pixel count a PNG, JPEG or TGA header may claim; beyond, the file is refused
// before SDL_image or the runtime allocates anything for it.
constexpr int32_t kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;

// The format by the first bytes: "BM"; the PNG signature; FF D8 FF; a TGA header that passes
// PictureHeader's checks (TGA has no signature). none for anything else.
PictureFormat SniffPicture(const uint8_t* data, size_t size);

// Format and size of a PNG, JPEG or TGA file held whole in data. False for BMP and unknown
// data, a malformed header, a side beyond kMaxPictureSide, more than kMaxPicturePixels, or a
// size the file is too short to hold even at its format's best compression.
bool PictureHeader(const uint8_t* data, size_t size, PictureFormat& format, int& width, int& height);

// A PNG, JPEG or TGA decoded to RGBA, rows from the top.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;      // an alpha channel or a transparent palette entry; no colour key then
    std::vector<uint8_t> rgba;  // width * height * 4 bytes
};

// Decodes a PNG, JPEG or TGA held whole in data with SDL_image, once PictureHeader accepted
// it. False on any failure (BMP included: the runtime reads those itself).
bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture& out);

// A picture file in memory, ready to be cut into textures: a BMP's bytes as they are, any other
// format decoded once.
struct PictureFile {
    bool bmp = false;
    std::vector<uint8_t> bytes;   // the BMP file
    DecodedPicture decoded;       // the other formats
};

// A picture from a file's bytes, taken over: kept for a BMP, decoded for the other formats.
// False when they are no picture the runtime takes.
bool PictureFromBytes(std::vector<uint8_t> bytes, PictureFile& picture);

// Reads a whole regular file (at most kMaxBmpFileBytes) through OpenFileNoCase and decodes it
// when it is not a BMP. False when it cannot be read or is no picture the runtime takes.
bool ReadPictureFile(const char* path, PictureFile& picture);

// Width and height of the PNG, JPEG or TGA in an open file (read from its start); 0 x 0 when it
// is none of them or its header is refused.
void PictureFileSize(FILE* file, int& width, int& height);

// A region as DecodeBmp makes it, from either kind of file. For decoded pictures: fully
// transparent pixels become (0, 0, 0, 0), other pixels keep their alpha, and the colour key
// applies only to pictures without alpha; edge fill and normal map as for BMP.
bool DecodePictureRegion(const PictureFile& picture, const BmpLoadOptions& options, int maxSize,
                         TextureImage& out);
