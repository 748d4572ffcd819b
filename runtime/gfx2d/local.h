// Helpers shared by the files of the 2D renderer: turning command arguments (doubles) into ids
// and pixel positions without undefined conversions, and reading bitmap files into memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "gfx2d/renderer.h"

struct PictureFile;

// trunc(value) as an int, saturated to the int range; NaN gives 0.
inline int32_t TruncToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return int32_t(value);
}
inline int32_t CeilToInt(double value) { return TruncToInt(std::ceil(value)); }

// A texture id from a command argument: false for NaN and for anything outside 0..65535.
inline bool TextureIdFrom(double value, int& id) {
    if (!(value > -1.0 && value < double(kTextureIds))) return false;
    id = int(value);
    return true;
}

// A layer number from an argument of a renderer operation: false outside 0..15.
inline bool ValidLayer(int layer) { return layer >= 0 && layer < kLayers; }

// Reads a whole regular file of at most kMaxBmpFileBytes into bytes; false otherwise.
bool ReadBmpFile(const char* path, std::vector<uint8_t>& bytes);
// Decodes a region of a picture already in memory and uploads it (and its mipmapped twin when
// mipmappedName is not null). 1 on success, 0 on any failure; no texture is made on failure.
int UploadBmpRegion(const PictureFile& file, const BmpLoadOptions& options,
                    uint32_t* plainName, uint32_t* mipmappedName);
int MaxTextureSize();  // GL_MAX_TEXTURE_SIZE
// Binds the texture and gives the size of its level 0 as GL holds it (0 when it has none).
void HeldTextureSize(uint32_t name, int& width, int& height);
// Pixel-store settings for uploads: alignment 1, no row length, no skips.
void SetUnpackDefaults();
// A new RGBA texture of the size without pixels (linear, repeating), left bound: the target of
// a copy from the frame.
uint32_t MakeCopyTarget(int width, int height);
