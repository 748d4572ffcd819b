// Blending modes and primitives under real GL: the arithmetic of each mode, pixels, lines,
// rectangles, Gouraud polygons and the viewport.
#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "window/window.h"

using namespace gltest;

namespace {

using Primitives = GL;

int Red(uint32_t c) { return int(c & 255); }
int Green(uint32_t c) { return int((c >> 8) & 255); }
int Blue(uint32_t c) { return int((c >> 16) & 255); }

double LoadGreySprite() {
    static std::string path = MakeBitmap("grey.bmp", 8, 8, [](int, int) { return Rgb(200, 100, 40); });
    return LoadSprite(DynString(path.c_str()), 50);
}

TEST_F(Primitives, PixelsLinesAndRectanglesHitTheirPixels) {
    SetPixel(0, 0, 0xFF);
    EXPECT_EQ(Back(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{0, 0, 1, 1}));
    glClear(GL_COLOR_BUFFER_BIT);

    DrawLine(540, 100, 634, 100, Rgb(0, 255, 0));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{540, 100, 635, 101}));
    glClear(GL_COLOR_BUFFER_BIT);
    DrawLine(10, 10, 10, 30, Rgb(0, 255, 0));  // vertical, both ends
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{10, 10, 11, 31}));
    glClear(GL_COLOR_BUFFER_BIT);

    DrawRect(9, 9, 0, 0, Rgb(1, 2, 3));
    std::vector<uint32_t> reversed = BackFrame();
    EXPECT_EQ(InkBox(reversed), (std::vector<int>{0, 0, 10, 10}));
    glClear(GL_COLOR_BUFFER_BIT);
    DrawRect(0, 0, 9, 9, Rgb(1, 2, 3));
    EXPECT_EQ(BackFrame(), reversed);
    EXPECT_EQ(Back(9, 9), Rgb(1, 2, 3));
}

TEST_F(Primitives, TheKeyColourIsInvisibleOnlyWhenTranslucent) {
    DrawRect(0, 0, 19, 19, Rgb(0, 0, 200));
    SetAlphaMode(-1);
    DrawRect(0, 0, 9, 9, 0x8000FF);
    EXPECT_EQ(Back(5, 5), Rgb(0, 0, 200));
    SetAlphaMode(0);
    DrawRect(0, 0, 9, 9, 0x8000FF);
    EXPECT_EQ(Back(5, 5), Rgb(255, 0, 128));
}

TEST_F(Primitives, EachModeBlendsWithItsArithmetic) {
    ASSERT_EQ(LoadGreySprite(), 1.0);
    const uint32_t below = Rgb(0, 40, 100);
    // Translucent -0.5: texel * 0.5 weighted by alpha 0.5, plus half of what is below.
    DrawRect(0, 0, 99, 99, below);
    SetAlphaMode(-0.5);
    DrawSprite(50, 0, 0);
    uint32_t c = Back(2, 2);
    EXPECT_NEAR(Red(c), 200 * 0.25, 1.5);
    EXPECT_NEAR(Green(c), 100 * 0.25 + 40 * 0.5, 1.5);
    EXPECT_NEAR(Blue(c), 40 * 0.25 + 100 * 0.5, 1.5);
    // Translucent -2: strength 1, opaque texels fully.
    SetAlphaMode(-2);
    EXPECT_EQ(gRenderer2D.colourScale, 1.0f);
    DrawSprite(50, 20, 0);
    EXPECT_EQ(Back(22, 2), Rgb(200, 100, 40));
    // Additive 0.25: a quarter of each texel added.
    SetAlphaMode(0);
    DrawRect(40, 0, 49, 9, below);
    SetAlphaMode(0.25);
    DrawSprite(50, 40, 0);
    c = Back(42, 2);
    EXPECT_NEAR(Red(c), 50, 1.5);
    EXPECT_NEAR(Green(c), 40 + 25, 1.5);
    EXPECT_NEAR(Blue(c), 100 + 10, 1.5);
    // A primitive's colour is scaled by the strength, too.
    SetAlphaMode(0.5);
    DrawRect(60, 0, 69, 9, Rgb(200, 0, 0));
    EXPECT_NEAR(Red(Back(62, 2)), 100, 1.5);
    // Opaque: the texel replaces what is below.
    SetAlphaMode(0);
    DrawSprite(50, 80, 0);
    EXPECT_EQ(Back(82, 2), Rgb(200, 100, 40));
}

TEST_F(Primitives, ASpriteAfterAPrimitiveIsTexturedAgain) {
    ASSERT_EQ(LoadGreySprite(), 1.0);
    DrawSprite(50, 0, 0);
    DrawRect(100, 100, 110, 110, Rgb(0, 0, 255));
    DrawSprite(50, 20, 0);  // the binding was restored: grey texels, not a plain quad
    EXPECT_EQ(Back(22, 2), Rgb(200, 100, 40));
    EXPECT_EQ(gRenderer2D.textures.binding.id, 50);
}

TEST_F(Primitives, PolygonsAreGouraudFansAndCulledWhenClockwise) {
    // Counter-clockwise on screen: down the left side, then right.
    StartPoly(-1);
    PolyVector(100, 100, 0, 0, Rgb(255, 0, 0));
    PolyVector(100, 200, 0, 0, Rgb(255, 0, 0));
    PolyVector(200, 200, 0, 0, Rgb(0, 0, 255));
    PolyVector(200, 100, 0, 0, Rgb(0, 0, 255));
    EndPoly();
    uint32_t left = Back(102, 150), middle = Back(150, 150), right = Back(198, 150);
    EXPECT_GT(Red(left), 240);
    EXPECT_GT(Blue(right), 240);
    EXPECT_NEAR(Red(middle), 128, 6);
    EXPECT_NEAR(Blue(middle), 128, 6);
    EXPECT_EQ(Back(99, 150), 0u);
    EXPECT_EQ(Back(201, 150), 0u);
    glClear(GL_COLOR_BUFFER_BIT);
    EndPoly();  // the vertex list stays: the same polygon again
    EXPECT_EQ(Back(150, 150), middle);
    glClear(GL_COLOR_BUFFER_BIT);
    StartPoly(-1);  // clockwise: culled
    PolyVector(100, 100, 0, 0, Rgb(255, 0, 0));
    PolyVector(200, 100, 0, 0, Rgb(255, 0, 0));
    PolyVector(200, 200, 0, 0, Rgb(255, 0, 0));
    EndPoly();
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Primitives, TexturedPolygonMapsImagePixels) {
    static std::string path = MakeBitmap("quadrants.bmp", 16, 16, [](int x, int y) {
        return x < 8 ? (y < 8 ? Rgb(255, 0, 0) : Rgb(0, 255, 0)) : Rgb(0, 0, 255);
    });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 51), 1.0);
    StartPoly(51);  // the image's top-left quarter onto a 64 x 64 square
    PolyVector(0, 0, 0, 0, 0xFFFFFF);
    PolyVector(0, 64, 0, 8, 0xFFFFFF);
    PolyVector(64, 64, 8, 8, 0xFFFFFF);
    PolyVector(64, 0, 8, 0, 0xFFFFFF);
    EndPoly();
    EXPECT_EQ(Back(32, 32), Rgb(255, 0, 0));
    EXPECT_EQ(Back(5, 58), Rgb(255, 0, 0));
    // Many vertices: the array grows and the fan still draws.
    StartPoly(-1);
    const double pi = 3.14159265358979;
    for (int i = 0; i < 600; ++i) {
        PolyVector(400 + 50 * std::cos(2 * pi * i / 600), 300 - 50 * std::sin(2 * pi * i / 600), 0, 0, 0xFFFF);
    }
    EndPoly();
    EXPECT_EQ(Back(400, 300), Rgb(255, 255, 0));
    EXPECT_EQ(Back(400, 240), 0u);
    StartPoly(70000);  // refused texture id: nothing drawn
    PolyVector(500, 10, 0, 0, 0xFF);
    PolyVector(500, 50, 0, 0, 0xFF);
    PolyVector(540, 50, 0, 0, 0xFF);
    EndPoly();
    EXPECT_EQ(Back(510, 45), 0u);
}

TEST_F(Primitives, ViewportMovesTheOrigin) {
    SetViewport(100, 50, 200, 100);
    DrawRect(0, 0, 4, 4, Rgb(255, 255, 255));
    DrawRect(300, 0, 304, 4, Rgb(255, 255, 255));  // beyond the viewport: clipped
    SetViewport(0, 0, 0, 0);
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{100, 50, 105, 55}));
    // Setup2D keeps the offset when it takes the whole screen size.
    Window().Setup2D(10, 20, 0, 100);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(std::vector<int>(vp, vp + 4), (std::vector<int>{10, -20, 640, 480}));
    Window().Setup2D(0, 0, 0, 0);
}

} // namespace
