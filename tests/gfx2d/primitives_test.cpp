// Blending modes and primitives under real GL: the arithmetic of each mode, pixels, lines,
// rectangles, Gouraud polygons and the viewport.
#include <functional>

#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "window/window.h"

using namespace gltest;

namespace {

using Primitives = GL;

double LoadGreySprite() {
    static std::string path = MakeBitmap("grey.bmp", 8, 8, [](int, int) { return Rgb(200, 100, 40); });
    return LoadSprite(DynString(path.c_str()), 50);
}

void Poly(double texture, const std::vector<std::array<double, 5>>& vertices) {
    StartPoly(texture);
    for (const auto& v : vertices) PolyVector(v[0], v[1], v[2], v[3], v[4]);
    EndPoly();
}

TEST_F(Primitives, PixelsLinesRectanglesAndTheViewportHitTheirPixels) {
    const struct {
        const char* what;
        std::function<void()> draw;
        std::vector<int> box;
        uint32_t colour; // at the box's top-left corner
    } cases[] = {
        {"pixel", [] { SetPixel(0, 0, 0xFF); }, {0, 0, 1, 1}, Rgb(255, 0, 0)},
        {"line, both ends", [] { DrawLine(540, 100, 634, 100, 0xFF00); }, {540, 100, 635, 101}, Rgb(0, 255, 0)},
        {"vertical line", [] { DrawLine(10, 10, 10, 30, 0xFF00); }, {10, 10, 11, 31}, Rgb(0, 255, 0)},
        {"rectangle given backwards", [] { DrawRect(9, 9, 0, 0, 0x30201); }, {0, 0, 10, 10}, Rgb(1, 2, 3)},
        {"viewport moves the origin and clips", [] {
             SetViewport(100, 50, 200, 100);
             DrawRect(0, 0, 4, 4, 0xFFFFFF);
             DrawRect(300, 0, 304, 4, 0xFFFFFF);
             SetViewport(0, 0, 0, 0);
         }, {100, 50, 105, 55}, Rgb(255, 255, 255)},
        {"Setup2D of the whole screen keeps the offset", [] {
             Window().Setup2D(10, 20, 0, 100);
             DrawRect(0, 0, 4, 4, 0xFFFFFF);
             Window().Setup2D(0, 0, 0, 0);
         }, {10, 20, 15, 25}, Rgb(255, 255, 255)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InkBox(Drawn(c.draw)), c.box) << c.what;
        EXPECT_EQ(Back(c.box[0], c.box[1]), c.colour) << c.what;
    }
}

TEST_F(Primitives, EachModeBlendsWithItsArithmetic) {
    ASSERT_EQ(LoadGreySprite(), 1.0); // texels (200, 100, 40)
    DrawRect(0, 0, 199, 19, Rgb(0, 40, 100));
    const struct {
        const char* what;
        double mode;
        std::function<void()> draw;
        int x, r, g, b; // the pixel (x, 2) after the draw
    } cases[] = {
        {"the key colour is invisible only when translucent", -1, [] { DrawRect(0, 0, 9, 9, 0x8000FF); }, 5, 0, 40, 100},
        {"opaque key colour", 0, [] { DrawRect(10, 0, 19, 9, 0x8000FF); }, 15, 255, 0, 128},
        {"texel * 0.5 weighted by alpha 0.5, plus half of what is below", -0.5, [] { DrawSprite(50, 20, 0); }, 22,
         50, 45, 60},
        {"-2: strength 1, opaque texels fully", -2, [] { DrawSprite(50, 40, 0); }, 42, 200, 100, 40},
        {"-2: primitives fully", -2, [] { DrawRect(50, 0, 55, 9, Rgb(100, 0, 0)); }, 52, 100, 0, 0},
        {"additive 0.25: a quarter of each texel added", 0.25, [] { DrawSprite(50, 60, 0); }, 62, 50, 65, 110},
        {"a primitive's colour is scaled by the strength", 0.5, [] { DrawRect(70, 0, 79, 9, Rgb(200, 0, 0)); }, 72,
         100, 40, 100},
        {"opaque after a primitive: the binding comes back", 0, [] {
             DrawRect(100, 100, 110, 110, Rgb(0, 0, 255));
             DrawSprite(50, 80, 0);
         }, 82, 200, 100, 40},
    };
    for (const auto& c : cases) {
        SetAlphaMode(c.mode);
        c.draw();
        const uint32_t got = Back(c.x, 2);
        EXPECT_NEAR(Red(got), c.r, 1.5) << c.what;
        EXPECT_NEAR(Green(got), c.g, 1.5) << c.what;
        EXPECT_NEAR(Blue(got), c.b, 1.5) << c.what;
    }
}

TEST_F(Primitives, PolygonsAreGouraudFansAndCulledWhenClockwise) {
    // Counter-clockwise on screen: down the left side, then right.
    Poly(-1, {{100, 100, 0, 0, 0xFF}, {100, 200, 0, 0, 0xFF}, {200, 200, 0, 0, 0xFF0000}, {200, 100, 0, 0, 0xFF0000}});
    const uint32_t middle = Back(150, 150);
    EXPECT_GT(Red(Back(102, 150)), 240);
    EXPECT_GT(Blue(Back(198, 150)), 240);
    EXPECT_NEAR(Red(middle), 128, 6);
    EXPECT_NEAR(Blue(middle), 128, 6);
    EXPECT_EQ(Back(99, 150), 0u);
    EXPECT_EQ(Back(201, 150), 0u);
    glClear(GL_COLOR_BUFFER_BIT);
    EndPoly(); // the vertex list stays: the same polygon again
    EXPECT_EQ(Back(150, 150), middle);
    const auto clockwise = [] { Poly(-1, {{100, 100, 0, 0, 0xFF}, {200, 100, 0, 0, 0xFF}, {200, 200, 0, 0, 0xFF}}); };
    EXPECT_EQ(InkBox(Drawn(clockwise))[2], 0); // culled
    // The image's top-left quarter onto a 64 x 64 square.
    static std::string path = MakeBitmap("quadrants.bmp", 16, 16, [](int x, int y) {
        return x < 8 ? (y < 8 ? Rgb(255, 0, 0) : Rgb(0, 255, 0)) : Rgb(0, 0, 255);
    });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 51), 1.0);
    Poly(51, {{0, 0, 0, 0, 0xFFFFFF}, {0, 64, 0, 8, 0xFFFFFF}, {64, 64, 8, 8, 0xFFFFFF}, {64, 0, 8, 0, 0xFFFFFF}});
    EXPECT_EQ(Back(32, 32), Rgb(255, 0, 0));
    EXPECT_EQ(Back(5, 58), Rgb(255, 0, 0));
    // Many vertices: the array grows and the fan still draws.
    std::vector<std::array<double, 5>> circle;
    for (int i = 0; i < 600; ++i)
        circle.push_back({400 + 50 * std::cos(2 * M_PI * i / 600), 300 - 50 * std::sin(2 * M_PI * i / 600), 0, 0, 0xFFFF});
    Poly(-1, circle);
    EXPECT_EQ(Back(400, 300), Rgb(255, 255, 0));
    EXPECT_EQ(Back(400, 240), 0u);
    Poly(70000, {{500, 10, 0, 0, 0xFF}, {500, 50, 0, 0, 0xFF}, {540, 50, 0, 0, 0xFF}}); // refused texture id
    EXPECT_EQ(Back(510, 45), 0u);
}

} // namespace
