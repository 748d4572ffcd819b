// The drawing mode (opaque, translucent, additive), untextured primitives, the Gouraud polygon
// built vertex by vertex, and the viewport command.
//
// Primitives shift the projection by (0.375, 0.375) so integer coordinates hit pixel centres;
// points and lines also sit one row lower (y + 1) than rectangles, because GL's y axis runs
// upward from the pixel's lower edge.
#include <algorithm>
#include <vector>

#include "base/state.h"
#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "window/state.h"
#include "window/window.h"

namespace {

struct Rgb {
    int red, green, blue;
    bool keyed;  // the transparent colour RGB(255, 0, 128)
};

Rgb Split(double colour) {
    const int32_t c = TruncToInt(colour);
    return Rgb{c & 255, (c >> 8) & 255, (c >> 16) & 255, c == int32_t(kSpriteColourKey)};
}

// Sets up the common frame of a primitive and undoes it on destruction: no alpha test, the
// colour scaled by the mode's strength, untextured, projection shifted to the pixel centres.
class PrimitiveFrame {
public:
    explicit PrimitiveFrame(double colour) : saved_(gRenderer2D.textures.binding) {
        const float s = gRenderer2D.colourScale;
        const Rgb c = Split(colour);
        BeginFlatColour(uint8_t(c.red * s), uint8_t(c.green * s), uint8_t(c.blue * s),
                        c.keyed ? 0 : uint8_t(255 * s));
        BindTextures(-1, -1, 0);
        ShiftToPixelCentres();
    }
    ~PrimitiveFrame() {
        const float s = gRenderer2D.colourScale;
        UnshiftPixelCentres();
        SetDrawColour(s, s, s, s);
        BindTextures(saved_.id, saved_.secondId, saved_.mipmapped);
        SetAlphaTest(true);
    }
    PrimitiveFrame(const PrimitiveFrame&) = delete;
    PrimitiveFrame& operator=(const PrimitiveFrame&) = delete;

private:
    TextureBinding saved_;
};

} // namespace

void SetAlphaMode(double modeArg) {
    const float mode = float(modeArg);
    const float strength = mode < 0 ? -mode : mode > 0 ? mode : 1.0f;
    const float s = std::min(strength, 1.0f);
    gRenderer2D.colourScale = s;
    if (!Window().ready) return;
    SetBlending(mode < 0 ? Blending::translucent : mode > 0 ? Blending::additive : Blending::off);
    SetDrawColour(s, s, s, s);
}

void SetPixel(double x, double y, double colour) {
    if (!Window().ready) return;
    PrimitiveFrame frame(colour);
    const double point[2] = {double(TruncToInt(x)), -(double(TruncToInt(y)) + 1)};
    DrawFlatVertices(Primitive::points, point, 1);
}

void DrawLine(double x1, double y1, double x2, double y2, double colour) {
    if (!Window().ready) return;
    PrimitiveFrame frame(colour);
    const double ax = TruncToInt(x1), ay = -(double(TruncToInt(y1)) + 1);
    const double bx = TruncToInt(x2), by = -(double(TruncToInt(y2)) + 1);
    const double line[4] = {ax, ay, bx, by};
    DrawFlatVertices(Primitive::lines, line, 2);
    DrawFlatVertices(Primitive::points, line + 2, 1);
}

void DrawRect(double x1Arg, double y1Arg, double x2Arg, double y2Arg, double colour) {
    if (!Window().ready) return;
    PrimitiveFrame frame(colour);
    double x1 = TruncToInt(x1Arg), y1 = TruncToInt(y1Arg);
    double x2 = TruncToInt(x2Arg), y2 = TruncToInt(y2Arg);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x2 += 1;
    y2 += 1;
    const double quad[8] = {x1, -y2, x2, -y2, x2, -y1, x1, -y1};
    DrawFlatVertices(Primitive::quads, quad, 4);
}

void StartPoly(double textureId) {
    const int32_t id = TruncToInt(textureId);
    gRenderer2D.polygon.refused = id >= kTextureIds;
    gRenderer2D.polygon.textureId = id < 0 ? -1 : id;
    gRenderer2D.polygon.EnsureRoom(9);
    gRenderer2D.polygon.count = 0;
}

void PolyVector(double x, double y, double tx, double ty, double colour) {
    Polygon& poly = gRenderer2D.polygon;
    poly.EnsureRoom(poly.count + 1);
    const float s = gRenderer2D.colourScale;
    const Rgb c = Split(colour);
    float u = 0, v = 0;
    if (poly.textureId >= 0 && !poly.refused) {
        const TextureEntry& e = gRenderer2D.textures[poly.textureId];
        if (e.textureWidth > 0 && e.textureHeight > 0) {
            u = float(tx / e.textureWidth);
            v = float((e.imageHeight - ty) / e.textureHeight);
        }
    }
    float* vertex = &poly.vertices[poly.count * 8];
    const float values[8] = {float(x), float(-y), u, v, c.red / 255.0f * s, c.green / 255.0f * s,
                             c.blue / 255.0f * s, c.keyed ? 0.0f : 1.0f};
    std::copy(values, values + 8, vertex);
    ++poly.count;
}

void EndPoly() {
    const Polygon& poly = gRenderer2D.polygon;
    if (!Window().ready || poly.refused || poly.count == 0) return;
    BindTextures(poly.textureId, -1, 0);
    DrawPolygonFan(poly.vertices.data(), poly.count, poly.textureId >= 0, gRenderer2D.colourScale);
}

void SetViewport(double x, double y, double w, double h) {
    if (gBase.hooks.endShadowPass != nullptr) gBase.hooks.endShadowPass(); // the 3D engine lies above 2D
    Window().Setup2D(TruncToInt(x), TruncToInt(y), TruncToInt(w), TruncToInt(h));
}
