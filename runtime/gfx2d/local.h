// Helpers shared by the files of the 2D renderer: reading bitmap files into memory and the GL
// texture uploads they need. Command arguments become ids and positions through
// basics/arguments.h.
#pragma once

#include <cstdint>
#include <vector>

#include "basics/arguments.h"
#include "gfx2d/renderer.h"

struct PictureFile;

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
