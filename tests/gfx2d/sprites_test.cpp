// Sprites, the texture store, blending and primitives under real GL: placement and rounding,
// the colour key, stretching and zooming, rotation, grabbing, collision, billboards, refused
// ids, the arithmetic of each blending mode (and of a PNG's alpha), pixels, lines, rectangles,
// Gouraud polygons and the viewport.
#include <functional>

#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "support/picture_files.h"
#include "window/window.h"

using namespace gltest;

namespace {

constexpr uint32_t kKey = 0x8000FF;
const uint32_t kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0);

// A 10 x 10 sprite: red, with a green top-left pixel and the key colour at the bottom-right.
double LoadMarkedSprite(double id) {
    static std::string path = MakeBitmap("marked.bmp", 10, 10, [](int x, int y) {
        return x == 0 && y == 0 ? kGreen : x == 9 && y == 9 ? kKey : kRed;
    });
    return LoadSprite(DynString(path.c_str()), id);
}

using Sprites = GL;

TEST_F(Sprites, DrawSpriteRoundsUpAndHidesTheKeyColour) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    DrawSprite(1, 10.2, 5.7); // top-left at (11, 6)
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{11, 6, 21, 16}));
    EXPECT_EQ(Back(11, 6), kGreen);
    EXPECT_EQ(Back(19, 15), kRed);
    EXPECT_EQ(Back(20, 15), 0u); // the key pixel stays background
}

TEST_F(Sprites, StretchZoomAndRotationPlaceTheSprite) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    const struct {
        const char* what;
        std::function<void()> draw;
        std::vector<int> box; // {0, 0, 0, 0} when nothing is drawn
        int greenX, greenY;   // where the green corner lands, or -1
    } cases[] = {
        {"stretch", [] { StretchSprite(1, 100, 100, 30, 20); }, {100, 100, 130, 120}, -1, -1},
        {"zoom 2 about the centre", [] { ZoomSprite(1, 200, 200, 2, 2); }, {195, 195, 215, 215}, -1, -1},
        {"zoom -1: the sign is ignored", [] { ZoomSprite(1, 50, 60, -1, 1); }, {50, 60, 60, 70}, 50, 60},
        {"negative width turns the winding: culled", [] { StretchSprite(1, 100, 100, -30, 20); }, {640, 480, 0, 0}, -1, -1},
        {"90 counter-clockwise", [] { RotoSprite(1, 100, 100, 90); }, {100, 100, 110, 110}, 100, 109},
        {"-270 equals 90", [] { RotoZoomSprite(1, 100, 100, -270, 1); }, {100, 100, 110, 110}, 100, 109},
        {"zoom 0: natural size", [] { RotoZoomSprite(1, 100, 100, 0, 0); }, {100, 100, 110, 110}, 100, 100},
        {"roto-zoom 2 about the centre", [] { RotoZoomSprite(1, 100, 100, 0, 2); }, {95, 95, 115, 115}, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InkBox(Drawn(c.draw)), c.box) << c.what;
        EXPECT_TRUE(c.greenX < 0 || Back(c.greenX, c.greenY) == kGreen) << c.what;
    }
}

TEST_F(Sprites, GrabSpriteCopiesTheFrameDrawnSoFar) {
    DrawRect(0, 0, 39, 19, Rgb(0, 0, 255));
    DrawRect(0, 0, 3, 3, Rgb(255, 255, 0));
    GrabSprite(7, 0, 0, 40, 20);
    double w, h;
    GetSpriteSize(7, w, h);
    EXPECT_EQ(w * 100 + h, 4020);
    EXPECT_EQ(InkBox(Drawn([] { DrawSprite(7, 300, 200); })), (std::vector<int>{300, 200, 340, 220}));
    EXPECT_EQ(Back(303, 203), Rgb(255, 255, 0));
    EXPECT_EQ(Back(304, 204), Rgb(0, 0, 255));
    // A grab of no width or height empties the id: nothing to draw, nothing to collide with
    // (the alpha mask fetched before is dropped), and the image keeps the side grabbed.
    const double sizes[][4] = {{0, 0, 0, 0}, {0.9, 40, 0, 40}, {12, 0, 12, 0}, {-5, -3, 0, 0}};
    for (const auto& s : sizes) {
        ASSERT_EQ(LoadMarkedSprite(9), 1.0);
        ASSERT_EQ(SpriteCollision(9, 0, 0, 9, 0, 0), 1.0);
        DrawRect(0, 0, 60, 60, Rgb(0, 0, 255));
        GrabSprite(9, 0, 0, s[0], s[1]);
        EXPECT_EQ(gRenderer2D.textures[9].mipmappedName, 0u); // the old sprite's mipmapped twin goes too
        GetSpriteSize(9, w, h);
        EXPECT_EQ(w * 100 + h, s[2] * 100 + s[3]) << s[0] << " x " << s[1];
        EXPECT_EQ(InkBox(Drawn([] { DrawSprite(9, 100, 100); }))[2], 0) << s[0] << " x " << s[1];
        EXPECT_EQ(SpriteCollision(9, 0, 0, 9, 0, 0), 0.0);
    }
}

TEST_F(Sprites, CollisionIsPixelExact) {
    static std::string solid = MakeBitmap("solid.bmp", 10, 10, [](int, int) { return Rgb(9, 9, 9); });
    // Top half transparent, and only the left column of the bottom half opaque: not symmetric.
    static std::string half = MakeBitmap("half.bmp", 10, 10, [](int x, int y) { return y < 5 || x > 0 ? kKey : kRed; });
    ASSERT_EQ(LoadSprite(DynString(solid.c_str()), 20), 1.0);
    ASSERT_EQ(LoadSprite(DynString(half.c_str()), 21), 1.0);
    const double cases[][4] = {
        {20, 5, 5, 1}, {20, 10, 0, 0}, {20, 0, 10, 0}, {20, 9, 9, 1}, // touching edges only; one pixel of overlap
        {60000, 0, 0, 0}, {70000, 0, 0, 0},                           // an empty id; a refused id
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpriteCollision(20, 0, 0, c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
    // Sprite 21 at (0, 0): its opaque pixels are column 0, rows 5..9.
    const double against[][3] = {{0, -5, 0}, {0, 5, 1}, {1, 0, 0}, {0, 9, 1}, {0, 10, 0}};
    for (const auto& c : against) EXPECT_EQ(SpriteCollision(21, 0, 0, 20, c[0], c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(SpriteCollision(20, 0, 0, 21, 0, 0), 1.0);
}

TEST_F(Sprites, MissingFilesAndRefusedIdsChangeNothing) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    EXPECT_EQ(LoadSprite(DynString("/no/such/sprite.bmp"), 1), 0.0);
    DrawSprite(1, 0, 0); // the old sprite is still there
    EXPECT_EQ(Back(0, 0), kGreen);
    glClear(GL_COLOR_BUFFER_BIT);
    static std::string path = MakeBitmap("any.bmp", 4, 4, [](int, int) { return Rgb(1, 2, 3); });
    for (double id : {65536.0, -1.0, std::nan("")}) EXPECT_EQ(LoadSprite(DynString(path.c_str()), id), 0.0) << id;
    for (double id : {-1.0, 65536.0, 1e12, -1e12}) {
        DrawSprite(id, 0, 0);
        StretchSprite(id, 0, 0, 10, 10);
        RotoZoomSprite(id, 0, 0, 10, 2);
        GrabSprite(id, 0, 0, 10, 10);
        double w = 5, h = 5;
        GetSpriteSize(id, w, h);
        EXPECT_EQ(w + h, 0);
    }
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Sprites, BillboardStandsOnItsPointFacingTheCamera) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    // The 2D projection with an identity modelview: the camera's right is x, its up is GL's y.
    DrawSpriteBillboard(1, 100, -200, 0, 2); // (10 div 4) * 2 = 4 each side, (10 div 2) * 2 = 10 high
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{96, 190, 104, 200}));
    // The binding it found is restored (what a 3D object drawn next is textured with).
    BindTextures(-1, -1, 0);
    DrawSpriteBillboard(1, 300, -200, 0, 1);
    EXPECT_EQ(gRenderer2D.textures.binding.id, -1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glEnable(GL_TEXTURE_2D);
}

using Primitives = GL;

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
    // Sprite 50: texels (200, 100, 40); sprite 52, a PNG: colour (200, 100, 50), alpha rising 17
    // per column from 0 to 255.
    const std::string grey = MakeBitmap("grey.bmp", 8, 8, [](int, int) { return Rgb(200, 100, 40); });
    voxatest::Pixels gradient(16, 4);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 4; ++y) gradient(x, y) = {200, 100, 50, uint8_t(17 * x)};
    const std::string png = TempPath("gradient.png");
    voxatest::WriteBytesTo(png, voxatest::PngBytes(gradient, true));
    ASSERT_EQ(LoadSprite(DynString(grey.c_str()), 50) + LoadSprite(DynString(png.c_str()), 52), 2.0);
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
        // Translucent mode blends by the texel's alpha; the alpha test drops alpha up to 0.15.
        {"alpha 34 / 255 is dropped", -1, [] { DrawSprite(52, 120, 0); }, 122, 0, 40, 100},
        {"alpha 51 / 255 blends", -1, [] {}, 123, 40, 52, 90},
        {"alpha 136 / 255 blends", -1, [] {}, 128, 107, 72, 73},
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
