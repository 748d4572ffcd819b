// Windows BMP files without GL: the header, decoding a region into an RGBA texture image
// (colour key, padding to powers of two, edge colour fill, normal map), the mipmap filter and
// the 24-bit writer. Everything here works on bytes in memory, so it can be tested alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

struct BmpLoadOptions;

// The fields of the 14-byte file header and the 40-byte info header that the reader uses.
struct BmpHeader {
    uint32_t pixelOffset = 0;  // bfOffBits: where the pixel rows start
    uint32_t infoSize = 0;     // biSize
    int32_t width = 0;         // |biWidth|
    int32_t height = 0;        // |biHeight|; rows are always taken as bottom-up
    uint16_t bitCount = 0;     // bits per pixel
};

// Largest width or height a header may claim; anything beyond is taken as damage.
constexpr int32_t kMaxBmpSide = 1 << 24;
// Largest bitmap file the reader loads into memory.
constexpr uint64_t kMaxBmpFileBytes = uint64_t(512) << 20;

// Parses the headers at the start of a file of fileSize bytes (data holds at least the first
// min(fileSize, 54) bytes). False without "BM", with an info header shorter than 40 bytes, a
// pixel offset beyond the file, or a side beyond kMaxBmpSide.
bool ParseBmpHeader(const uint8_t* data, size_t size, uint64_t fileSize, BmpHeader& header);

// Bytes whose vector leaves new elements uninitialised, for buffers that are written whole
// right after they are sized: clearing 2 MB of texture first would cost as much as decoding.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using TexelBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

// A decoded region padded to a texture: RGBA bytes, row 0 = the region's bottom row.
struct TextureImage {
    int width = 0;             // texture size: powers of two >= the region, at least 2
    int height = 0;
    int regionWidth = 0;       // the part that holds the region's pixels
    int regionHeight = 0;
    TexelBytes rgba;           // width * height * 4 bytes
};

int TextureSizeFor(int side);  // the smallest power of two >= side and >= 2

// Decodes a region of the whole file's bytes. Fails (false) on a bad header, a bit count other
// than 8, 24 or 32, pixel rows beyond the end of the file, or an empty region. Texels outside
// the image, and palette indices beyond the file's palette, stay transparent (0, 0, 0, 0).
bool DecodeBmp(const uint8_t* file, size_t size, const BmpLoadOptions& options, int maxSize,
               TextureImage& out);

// Sizes the texture image for a region of an image of imageWidth x imageHeight pixels (the
// whole image when the options' width or height is 0), cut to maxSize; all texels transparent
// when cleared, else left for the caller to write every one. False when the region is empty.
bool StartRegion(TextureImage& out, const BmpLoadOptions& options, int imageWidth, int imageHeight, int maxSize,
                 bool cleared = true);

// The steps that follow decoding a region of an image of imageWidth x imageHeight pixels: the
// edge colour fill over the texels that hold image pixels (when the colour key is not 0), then
// the normal-map conversion when asked for.
void FinishRegion(TextureImage& image, const BmpLoadOptions& options, int imageWidth, int imageHeight);

// Gives transparent texels inside the region the average colour of their opaque neighbours
// that lie strictly inside the region, so linear filtering does not bleed the key colour.
// Only texels in columns x0..x1-1 and rows y0..y1-1 (those that hold image pixels) are filled.
void FillEdgeColours(TextureImage& image, int x0, int y0, int x1, int y1);
inline void FillEdgeColours(TextureImage& image) {
    FillEdgeColours(image, 0, 0, image.regionWidth, image.regionHeight);
}
// Replaces the texels by a normal map of their blue channel (Sobel slopes, wrapping at edges).
void ConvertToNormalMap(TextureImage& image);
// Computes the next mip level in place: the level shrinks to half (each side at least 1).
// False when the level is already 1 x 1.
bool NextMipLevel(uint8_t* rgba, int& width, int& height);

// Writes a 24-bit BMP: pixels are blue, green, red bytes, rows bottom-up, stride pixels apart;
// flip writes the rows in the opposite order. 1 when written, 0 when the file cannot be made.
int WriteBmp24(const char* path, const uint8_t* pixels, int width, int height, int stride, bool flip);
