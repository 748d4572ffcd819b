// Reading the screen back: screenshots and the pixel query read the copy of the frame last
// shown that the window keeps (window/pacing.cpp); sprite dumps read the sprite's texture.
#include <algorithm>
#include <vector>

#include "gfx2d/bmp.h"
#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "window/window.h"

double SaveScreenshot(const DynString& file) {
    WindowContext& window = Window();
    const uint8_t* rgb = window.ShownFrame();
    if (rgb == nullptr) return 1;
    const size_t count = size_t(window.screenWidth) * size_t(window.screenHeight);
    std::vector<uint8_t> bgr(count * 3);
    for (size_t i = 0; i < count; ++i) {
        bgr[i * 3] = rgb[i * 3 + 2];
        bgr[i * 3 + 1] = rgb[i * 3 + 1];
        bgr[i * 3 + 2] = rgb[i * 3];
    }
    WriteBmp24(file.CStr(), bgr.data(), window.screenWidth, window.screenHeight, window.screenWidth, false);
    return 1;
}

double SaveSprite(double idArg, const DynString& file) {
    int id;
    if (!Window().ready || !IdFrom(idArg, kTextureIds, id)) return 0;
    const TextureEntry& e = gRenderer2D.textures[id];
    if (e.plainName == 0) return 0;
    // Sized by the texture GL holds, which a damaged header may have claimed larger.
    int tw = 0, th = 0;
    HeldTextureSize(e.plainName, tw, th);
    const TextureBinding& b = gRenderer2D.textures.binding;
    if (tw <= 0 || th <= 0) {
        BindTextures(b.id, b.secondId, b.mipmapped);
        return 0;
    }
    std::vector<uint8_t> pixels(size_t(tw) * size_t(th) * 3);
    ReadTextureBgr(pixels.data());
    BindTextures(b.id, b.secondId, b.mipmapped);
    return WriteBmp24(file.CStr(), pixels.data(), std::min<int>(e.imageWidth, tw),
                      std::min<int>(e.imageHeight, th), tw, false);
}

double GetPixel(double xArg, double yArg) {
    WindowContext& window = Window();
    const int x = TruncToInt(xArg), y = TruncToInt(yArg);
    if (x < 0 || y < 0 || x >= window.screenWidth || y >= window.screenHeight) return 0;
    const uint8_t* rgb = window.ShownFrame();
    if (rgb == nullptr) return 0;
    const uint8_t* p = rgb + (size_t(window.screenHeight - 1 - y) * size_t(window.screenWidth) + size_t(x)) * 3;
    return p[0] + p[1] * 256.0 + p[2] * 65536.0;
}
