// Fuzzes the picture path beside BMP: recognition by the first bytes, the header checks that
// run before anything is allocated, SDL_image's PNG, JPEG and TGA decoders behind them, and the
// cut of a whole picture and of a region with the colour key, edge fill and normal map.
#include <cstdint>

#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PictureFormat format;
    int w = 0, h = 0;
    if (!PictureHeader(data, size, format, w, h)) return 0;
    // A large picture that passes the checks costs decoding time, not coverage.
    if (int64_t(w) * h > (int64_t(1) << 20)) return 0;
    PictureFile picture;
    if (!DecodePicture(data, size, picture.decoded)) return 0;
    if (picture.decoded.width != w || picture.decoded.height != h ||
        picture.decoded.rgba.size() != size_t(w) * size_t(h) * 4)
        __builtin_trap();

    BmpLoadOptions whole;
    TextureImage image;
    if (DecodePictureRegion(picture, whole, 256, image)) {
        int tw = image.width, th = image.height;
        while (NextMipLevel(image.rgba.data(), tw, th)) {}
    }
    BmpLoadOptions region;
    region.srcX = w / 3 - 2;
    region.srcY = h / 4 - 1;
    region.width = w / 2 + 1;
    region.height = h / 2 + 1;
    region.colourKey = 0;
    region.normalMap = true;
    TextureImage part;
    DecodePictureRegion(picture, region, 128, part);
    return 0;
}
