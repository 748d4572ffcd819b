// Sprites: store textures drawn as screen-aligned quads (plain, stretched, zoomed, rotated),
// grabbed from the screen, tested for pixel-exact collision, and standing in 3D as billboards.
//
// Quads run bottom-left, bottom-right, top-right, top-left: counter-clockwise in GL's y-up
// system, so they survive the back-face culling of the 2D state. The image occupies the
// texture's lower-left corner, u = imageWidth / textureWidth, v = imageHeight / textureHeight.
#include <algorithm>
#include <cmath>

#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "window/window.h"

namespace {

// The sprite's entry after binding it for drawing; null when the id is refused.
const TextureEntry* BindSprite(double idArg, int& id) {
    if (!Window().ready || !IdFrom(idArg, kTextureIds, id)) return nullptr;
    BindTextures(id, -1, 0);
    return &gRenderer2D.textures[id];
}

void ImageExtent(const TextureEntry& e, double& u, double& v) {
    u = e.textureWidth > 0 ? double(e.imageWidth) / e.textureWidth : 0;
    v = e.textureHeight > 0 ? double(e.imageHeight) / e.textureHeight : 0;
}

// One quad from (left, bottom) to (right, top) in GL coordinates carrying the whole image.
void ImageQuad(const TextureEntry& e, double left, double bottom, double right, double top) {
    double u, v;
    ImageExtent(e, u, v);
    DrawImageQuad(u, v, left, bottom, right, top);
}

// A quad of half sizes (hw, hh) turned by angle degrees about the centre of the sprite's
// natural-size box placed at (x, y).
void RotatedQuad(const TextureEntry& e, double x, double y, double angle, double hw, double hh) {
    double u, v;
    ImageExtent(e, u, v);
    DrawTurnedImageQuad(u, v, e.imageWidth / 2 + x, -y - e.imageHeight / 2, angle, hw, hh);
}

int GrabTextureSize(int side) {
    int size = 16;
    do {
        size *= 2;
    } while (size < side);
    return size;
}

} // namespace

void DrawSprite(double idArg, double x, double y) {
    int id;
    const TextureEntry* e = BindSprite(idArg, id);
    if (e == nullptr) return;
    const double X = CeilToInt(x), Y = -double(CeilToInt(y));
    ImageQuad(*e, X, Y - e->imageHeight, X + e->imageWidth, Y);
}

void StretchSprite(double idArg, double x, double y, double w, double h) {
    int id;
    const TextureEntry* e = BindSprite(idArg, id);
    if (e == nullptr) return;
    const double X = CeilToInt(x), Y = -double(CeilToInt(y));
    const double W = CeilToInt(w), H = CeilToInt(h);
    ImageQuad(*e, X, Y - H, X + W, Y);
}

void ZoomSprite(double idArg, double x, double y, double zoomX, double zoomY) {
    int id;
    if (!IdFrom(idArg, kTextureIds, id)) return;
    const TextureEntry& e = gRenderer2D.textures[id];
    const double W = e.imageWidth, H = e.imageHeight;
    const double w = std::fabs(zoomX * W), h = std::fabs(zoomY * H);
    StretchSprite(id, x - (w - W) * 0.5, y - (h - H) * 0.5, w, h);
}

void RotoSprite(double idArg, double x, double y, double angle) {
    int id;
    const TextureEntry* e = BindSprite(idArg, id);
    if (e == nullptr) return;
    RotatedQuad(*e, x, y, angle, e->imageWidth / 2.0, e->imageHeight / 2.0);
}

void RotoZoomSprite(double idArg, double x, double y, double angle, double zoom) {
    int id;
    const TextureEntry* e = BindSprite(idArg, id);
    if (e == nullptr) return;
    // Negative angles are brought into 0..360 (fmod keeps huge ones from looping for long).
    if (angle < 0) {
        angle = std::fmod(angle, 360.0);
        if (angle < 0) angle += 360;
    }
    const int w = TruncToInt(e->imageWidth * zoom), h = TruncToInt(e->imageHeight * zoom);
    const double hw = (w < 1 ? e->imageWidth : w) / 2.0;
    const double hh = (h < 1 ? e->imageHeight : h) / 2.0;
    const float s = gRenderer2D.colourScale;
    SetDrawColour(s, s, s, s);
    RotatedQuad(*e, x, y, angle, hw, hh);
}

void GrabSprite(double idArg, double xArg, double yArg, double wArg, double hArg) {
    int id;
    if (!Window().ready || !IdFrom(idArg, kTextureIds, id)) return;
    const int x = TruncToInt(xArg), y = TruncToInt(yArg);
    // A size of 0 (or below, taken as 0) still empties the id and leaves a 32 x 32 texture with
    // an image of no pixels; only a size GL cannot hold is refused.
    const int w = std::max(0, TruncToInt(wArg)), h = std::max(0, TruncToInt(hArg));
    const int maxSize = MaxTextureSize();
    if (w > maxSize || h > maxSize) return;
    const int tw = GrabTextureSize(w), th = GrabTextureSize(h);
    TextureStore& store = gRenderer2D.textures;
    store.Release(id);
    TextureEntry& e = store[id];
    e.plainName = MakeCopyTarget(tw, th);
    if (w > 0 && h > 0) CopyFrameToTexture(x, Window().screenHeight - y - h, w, h);
    e.textureWidth = tw;
    e.textureHeight = th;
    e.imageWidth = w;
    e.imageHeight = h;
}

double SpriteCollision(double id1Arg, double x1Arg, double y1Arg, double id2Arg, double x2Arg, double y2Arg) {
    int id1, id2;
    if (!IdFrom(id1Arg, kTextureIds, id1) || !IdFrom(id2Arg, kTextureIds, id2)) return 0;
    TextureStore& store = gRenderer2D.textures;
    const int64_t x1 = TruncToInt(x1Arg), y1 = TruncToInt(y1Arg);
    const int64_t x2 = TruncToInt(x2Arg), y2 = TruncToInt(y2Arg);
    const int64_t w1 = store[id1].imageWidth, h1 = store[id1].imageHeight;
    const int64_t w2 = store[id2].imageWidth, h2 = store[id2].imageHeight;
    int64_t left = std::max(x1, x2), right = std::min(x1 + w1, x2 + w2);
    if (left > right) return 0;
    int64_t top = std::max(y1, y2), bottom = std::min(y1 + h1, y2 + h2);
    if (top > bottom) return 0;
    const AlphaMask* m1 = store.GetAlphaMask(id1);
    const AlphaMask* m2 = store.GetAlphaMask(id2);
    if (m1 == nullptr || m2 == nullptr || left >= right) return 0;
    // Only screen pixels that fall inside both masks can collide; clipping to them bounds the
    // loop by the textures GL holds, whatever sizes a header claimed.
    right = std::min({right, x1 + m1->width, x2 + m2->width});
    top = std::max({top, y1 + h1 - m1->height, y2 + h2 - m2->height});
    for (int64_t x = left; x < right; ++x) {
        for (int64_t y = top; y < bottom; ++y) {
            const uint8_t a1 = m1->At(x - x1, h1 - 1 - (y - y1));
            const uint8_t a2 = m2->At(x - x2, h2 - 1 - (y - y2));
            if (a1 != 0 && a2 > 254) return 1;
        }
    }
    return 0;
}

void GetSpriteSize(double idArg, double& w, double& h) {
    int id;
    if (!IdFrom(idArg, kTextureIds, id)) {
        w = h = 0;
        return;
    }
    w = gRenderer2D.textures[id].imageWidth;
    h = gRenderer2D.textures[id].imageHeight;
}

void DrawSpriteBillboard(double idArg, double x, double y, double z, double scale) {
    int id;
    if (!Window().ready || !IdFrom(idArg, kTextureIds, id)) return;
    TextureStore& store = gRenderer2D.textures;
    const TextureEntry& e = store[id];
    double m[16];
    ReadModelview(m);
    const double R[3] = {m[0], m[4], m[8]}, U[3] = {m[1], m[5], m[9]};
    const double hw = (e.imageWidth / 4) * scale, hh = (e.imageHeight / 2) * scale;
    const double P[3] = {x, y, z};
    double corners[4][3]; // lower-left, lower-right, upper-right, upper-left
    for (int i = 0; i < 3; ++i) {
        corners[0][i] = P[i] - R[i] * hw;
        corners[1][i] = P[i] + R[i] * hw;
        corners[2][i] = corners[1][i] + U[i] * hh;
        corners[3][i] = corners[0][i] + U[i] * hh;
    }
    double u, v;
    ImageExtent(e, u, v);
    const TextureBinding saved = store.binding;
    BindTextures(id, -1, 0);
    DrawImageQuad3D(u, v, corners);
    BindTextures(saved.id, saved.secondId, saved.mipmapped);
}
