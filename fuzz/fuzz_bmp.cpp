// Fuzzes the BMP reader: the header parse and the decode of the whole image and of a region,
// with the colour key, the edge colour fill and the normal-map conversion.
#include <cstdint>
#include <cstring>

#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpHeader header;
    if (!ParseBmpHeader(data, size, size, header)) return 0;

    // The whole image with the default options, capped like a small texture limit so a
    // header claiming a huge side costs no more than the cap.
    BmpLoadOptions whole;
    TextureImage image;
    if (DecodeBmp(data, size, whole, 256, image)) {
        FillEdgeColours(image);
        int w = image.width, h = image.height;
        while (NextMipLevel(image.rgba.data(), w, h)) {}
    }

    // A region picked from the header bytes, with the normal map and no key.
    BmpLoadOptions region;
    region.srcX = int(header.width / 3);
    region.srcY = int(header.height / 4);
    region.width = int(header.width / 2) + 1;
    region.height = int(header.height / 2) + 1;
    region.applyKey = false;
    region.normalMap = true;
    TextureImage part;
    if (DecodeBmp(data, size, region, 128, part)) FillEdgeColours(part);
    return 0;
}
