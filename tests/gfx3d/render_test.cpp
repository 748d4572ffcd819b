// Object rendering under real GL (Xvfb, llvmpipe), checked by reading pixels back: placement
// against ProjectPoint, transform order, culling, fog, the view cone, frame interpolation,
// texture offsets, stencil shadows, toon outlines, bump mapping and the debug markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "gfx2d/gl_fixture.h"
#include "gfx3d/render.h"
#include "shapes.h"
#include "voxa/gfx3d.h"
#include "voxa/window.h"
#include "window/state.h"

namespace {

using gltest::Back;
using gltest::BackFrame;
using gltest::Blue;
using gltest::Green;
using gltest::InkBox;
using gltest::Red;

int Sum(uint32_t c) { return Red(c) + Green(c) + Blue(c); }
void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT); }

class Render3D : public gltest::GL {
protected:
    void SetUp() override {
        GL::SetUp();
        gSettings.debugMode = 0;
        glClearColor(0, 0, 0, 1);
        Clear();
        Enter3DMode(1, 100, 45);
        SetCamera(0, 0, 10, 0, 0, 0);
    }
    void TearDown() override {
        for (int i = 0; i < 8; ++i) SetSpotLight(i, 0, 0, 0, 0, 0, 0, 0, 0);
        SetSpotLight(-2, 0, 0, 0, 0, 0, 0, 0, 0);
        SetFog(-1, 0, 0, 0);
        gSettings.debugMode = 0;
        Enter2DMode();
    }
    // Screen position of a world point under the current camera.
    static std::pair<int, int> Screen(double x, double y, double z) {
        double sx = -1, sy = -1, sz = -1;
        EXPECT_TRUE(ProjectPoint(x, y, z, sx, sy, sz));
        return {int(std::lround(sx)), int(std::lround(sy))};
    }
    static uint32_t At(const std::vector<uint32_t>& f, std::pair<int, int> p) { return f[size_t(p.second) * 640 + p.first]; }
    // Expects the ink that draw leaves on a cleared frame to be centred on world point (x, y, z).
    static void ExpectInkAround(const std::function<void()>& draw, double x, double y, double z, double tolerance) {
        Clear();
        draw();
        const std::vector<int> box = InkBox(BackFrame());
        const auto p = Screen(x, y, z);
        EXPECT_NEAR((box[0] + box[2]) / 2.0, p.first, tolerance) << x << " " << y << " " << z;
        EXPECT_NEAR((box[1] + box[3]) / 2.0, p.second, tolerance) << x << " " << y << " " << z;
    }
    // Clears, draws frame 0 of object id and reads the pixel at p.
    static uint32_t DrawnAt(double id, std::pair<int, int> p) {
        Clear();
        DrawObject(id, 0);
        return Back(p.first, p.second);
    }
    static double LoadTexture(int id, const std::function<uint32_t(int, int)>& colour) {
        // 64 texels wide: the cube drawn is smaller on screen, so its texture is minified.
        const std::string path = gltest::MakeBitmap("tex" + std::to_string(id) + ".bmp", 64, 64, colour);
        return LoadSprite(DynString(path.c_str()), id);
    }
};

TEST_F(Render3D, LitTexturedCubeAppearsWhereProjectPointSays) {
    shapes::MakeCube(100, 0.5);
    ASSERT_EQ(LoadTexture(7, [](int, int) { return gltest::Rgb(0, 200, 0); }), 1);
    SetCullMode(1);
    MoveObject(2, 1, 0);
    const auto p = Screen(2, 1, 0);
    // A red light leaves the green texture nearly black (the light takes part); variant 1 is the
    // mipmapped twin, with every level; id 7 + 2^32 lies beyond the store, not id 7: untextured.
    const struct {
        double light, texture, variant;
        int redLow, redHigh, greenLow, greenHigh;
    } cases[] = {{0x0000FF, 7, 0, 0, 255, 0, 49},
                 {0xFFFFFF, 7, 0, 0, 9, 121, 255},
                 {0xFFFFFF, 7, 1, 0, 9, 121, 255},
                 {0xFFFFFF, 7 + 4294967296.0, 0, 201, 255, 0, 255}};
    for (const auto& c : cases) {
        SetSpotLight(0, c.light, 0, 0, 0, 0, 0, -1, 180); // along -z
        SetTextureVariant(c.variant);
        SetTexture(c.texture, -1);
        SetTextureVariant(0);
        const uint32_t got = DrawnAt(100, p);
        EXPECT_TRUE(Red(got) >= c.redLow && Red(got) <= c.redHigh && Green(got) >= c.greenLow && Green(got) <= c.greenHigh)
            << std::hex << got;
    }
    ExpectInkAround([] { DrawObject(100, 0); }, 2, 1, 0, 3);
}

TEST_F(Render3D, TransformOrderOnScreen) {
    shapes::MakeCube(101, 0.3, 0xFFFFFF, {2, 0, 0});
    SetCamera(6, 4, 6, 0, 0, 0);
    SetCullMode(0);
    RotateObject(90, 0, 0, 1);
    RotateObject(90, 1, 0, 0);
    ExpectInkAround([] { DrawObject(101, 0); }, 0, 0, 2, 4); // (2, 0, 0) turned about z, then about x
    MoveObject(0, 0, 0); // drops the rotations
    ExpectInkAround([] { DrawObject(101, 0); }, 2, 0, 0, 4);
}

// Normals that EndObject computes point to the side from which the triangles run clockwise:
// that is the side SetCullMode(1) shows, and a light in front of it lights it. A quad wound the
// other way round faces the other side: under SetCullMode(-1) it is drawn, but lit from behind.
TEST_F(Render3D, CullModesShowTheSideObjectsFaceAndLightItFromThere) {
    shapes::MakeQuad(102);             // clockwise toward the camera at +z
    shapes::MakeQuad(103, 1, 0, true); // counter-clockwise toward the camera
    // One pixel inside each of the strip's two triangles, and the centre.
    const std::pair<int, int> probes[] = {Screen(-0.6, -0.6, 0), Screen(0.6, 0.6, 0), Screen(0, 0, 0)};
    const struct {
        int id;
        double cull, lightDz;
        int low, high; // bounds of each probe's sum of red, green and blue
    } cases[] = {
        {102, 1, -1, 690, 765}, {102, 1, 1, 1, 240},  {102, 0, -1, 690, 765}, {102, -1, -1, 0, 0},
        {103, -1, -1, 1, 240},  {103, -1, 1, 690, 765}, {103, 0, 1, 690, 765}, {103, 1, 1, 0, 0},
    };
    for (const auto& c : cases) {
        Clear();
        SetCullMode(c.cull);
        SetSpotLight(0, 0xFFFFFF, 0, 0, 0, 0, 0, c.lightDz, 180); // directional along (0, 0, lightDz)
        DrawObject(c.id, 0);
        for (const auto& p : probes) {
            EXPECT_GE(Sum(Back(p.first, p.second)), c.low) << c.id << " cull " << c.cull << " light " << c.lightDz;
            EXPECT_LE(Sum(Back(p.first, p.second)), c.high) << c.id << " cull " << c.cull << " light " << c.lightDz;
        }
    }
}

TEST_F(Render3D, FogDarkensWithDistance) {
    shapes::MakeQuad(104, 0.5);
    SetCullMode(0);
    EXPECT_EQ(DrawnAt(104, {320, 240}), 0xFFFFFFu);
    // Any mode but 0 is exponential, beyond the int range too: density 0.1 at distance 10. Linear
    // fog from 5 to 50 at distances 10 and 35.
    const double cases[][5] = {{1e300, 0.1, 0, 0, 255 * std::exp(-1.0)}, {0, 5, 50, 0, 255 * 40 / 45.0},
                               {0, 5, 50, -25, 255 * 15 / 45.0}};
    for (const auto& c : cases) {
        SetFog(0, c[0], c[1], c[2]);
        MoveObject(0, 0, c[3]);
        EXPECT_NEAR(Red(DrawnAt(104, {320, 240})), c[4], 6) << c[0] << " " << c[3];
    }
}

TEST_F(Render3D, ObjectsOutsideTheConeAreSkippedBeforeAnyVertexWork) {
    shapes::MakeCube(105, 0.5);
    SetTextureOffset(0.25, 0); // a draw would stream the vertices
    MoveObject(60, 0, 0);      // far beside the view
    DrawObject(105, 0);
    EXPECT_EQ(gRenderer3D.objects[105].streamBuffer, 0u);
    // Stretched (and mirrored) 40 times along x, a cube centred far beside the view reaches into
    // it: its sphere grows by the size of the largest factor, whatever its sign.
    SetCullMode(0);
    MoveObject(20, 0, 0);
    ScaleObject(-40, 1, 1);
    DrawObject(105, 0);
    EXPECT_NE(InkBox(BackFrame())[2], 0);
    EXPECT_NE(gRenderer3D.objects[105].streamBuffer, 0u); // the draw streamed
    // A model built far from its origin, brought into the middle of the view by a turn or a
    // scale: the cone sees it where it is drawn, not at its origin's translation.
    shapes::MakeCube(109, 0.5, 0xFFFFFF, {20, 0, 0});
    ExpectInkAround([] { MoveObject(20, 0, 0), RotateObject(180, 0, 0, 1), DrawObject(109, 0); }, 0, 0, 0, 3);
    ExpectInkAround([] { MoveObject(0, 0, 0), ScaleObject(0.1, 0.1, 0.1), DrawObject(109, 0); }, 2, 0, 0, 3);
}

// Which frames and weight a draw takes is checked without GL (FrameSelection); here that the
// chosen frames and the weight reach the vertices drawn, and that a negative frame draws frame 0.
TEST_F(Render3D, FramesAndInterpolation) {
    shapes::MakeTwoFrameQuad(106, 107, -3, 3);
    SetCullMode(0);
    const struct {
        double from, to, t, x; // t < 0: DrawObject(from)
    } cases[] = {{-1, 0, -1, -3}, {1, 0, -1, 3}, {0, 1, 0.25, -1.5}, {1, 0, 0.25, 1.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << c.to << " " << c.t);
        ExpectInkAround([&] { c.t < 0 ? DrawObject(106, c.from) : DrawObjectAnim(106, c.from, c.to, c.t, 1); }, c.x, 0, 0, 2);
    }
    // Frames beyond the model, refused slots and an emptied slot draw nothing.
    Clear();
    for (double f : {2.0, 1e300}) DrawObject(106, f);
    for (double id : {4096.0, -1.0, 107.0}) DrawObject(id, 0);
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Render3D, TextureOffsetShiftsWithoutAccumulating) {
    // Left half red, right half blue: an offset of half the width swaps them, however often drawn.
    ASSERT_EQ(LoadTexture(8, [](int x, int) { return x < 32 ? gltest::Rgb(255, 0, 0) : gltest::Rgb(0, 0, 255); }), 1);
    shapes::MakeQuad(108, 2);
    SetCullMode(0);
    SetTexture(8, -1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_GT(Red(DrawnAt(108, {i == 0 ? 280 : 360, 240})), 200) << i;
        EXPECT_GT(Blue(Back(i == 0 ? 360 : 280, 240)), 200) << i;
        SetTextureOffset(0.5, 0);
    }
}

// A cube above a floor casts the same shadow whatever culling the program left in force (never
// set, 0 with either front face, 1, -1) and when its transform mirrors it; the shadow pass
// writes only the stencil until 2D mode darkens the shadow, and puts that culling back.
TEST_F(Render3D, ShadowsMatchTheGeometryUnderEveryCullMode) {
    shapes::MakeFloor(112, 8);
    shapes::MakeCube(113, 1, 0xFFFFFF, {0, 1.5, 0});
    const struct {
        const char* what;
        std::vector<double> modes;
        double mirror;
    } cases[] = {{"cull mode 1", {1}, 1},  {"never set", {}, 1},          {"0 after 1", {1, 0}, 1},
                 {"0", {0}, 1},            {"-1", {-1}, 1},               {"1, mirrored by its scale", {1}, -1},
                 {"-1, mirrored", {-1}, -1}};
    std::vector<uint32_t> reference;
    for (const auto& c : cases) {
        Clear();
        Enter3DMode(1, 100, 45);
        SetCamera(0, 12, 14, 1, 0, 0);
        SetSpotLight(0, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 170); // point light up and to the left
        DrawObject(112, 0); // lit with culling off, as Enter3DMode leaves it
        DrawObject(113, 0);
        const auto shadowed = Screen(2.5, 0, 0), open = Screen(-4, 0, 3);
        const std::vector<uint32_t> lit = BackFrame();
        ASSERT_GT(Sum(At(lit, shadowed)), 150);
        for (double m : c.modes) SetCullMode(m);
        GLint front = 0, frontAfter = 0, culled = 0;
        glGetIntegerv(GL_FRONT_FACE, &front);
        const GLboolean culling = glIsEnabled(GL_CULL_FACE);
        SetSpotLight(-3, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 1);
        MoveObject(0, 0, 0);
        ScaleObject(c.mirror, 1, 1);
        DrawObject(113, 0);
        glGetIntegerv(GL_FRONT_FACE, &frontAfter);
        glGetIntegerv(GL_CULL_FACE_MODE, &culled);
        EXPECT_EQ(frontAfter, front) << c.what;
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE), culling) << c.what;
        EXPECT_EQ(culled, GL_BACK) << c.what;
        EXPECT_TRUE(BackFrame() == lit) << c.what;
        Enter2DMode();
        const std::vector<uint32_t> frame = BackFrame();
        EXPECT_LT(Sum(At(frame, shadowed)), Sum(At(lit, shadowed)) * 3 / 4) << c.what;
        EXPECT_EQ(At(frame, open), At(lit, open)) << c.what;
        if (reference.empty()) reference = frame;
        // Mirrored, the volume is built from other vertices: a pixel on its rim may go either way.
        size_t differ = 0;
        for (size_t i = 0; i < frame.size(); ++i) differ += frame[i] != reference[i];
        EXPECT_LE(differ, c.mirror < 0 ? 200u : 0u) << c.what;
    }
}

TEST_F(Render3D, EveryCloserEndsTheShadowPassAndPutsDepthAndStencilBack) {
    shapes::MakeCube(112, 1);
    const std::function<void()> closers[] = {[] { SetViewport(0, 0, 0, 0); }, [] { Enter3DMode(1, 100, 45); },
                                             [] { EndShadowPass(); }, [] { ShowScreen(); }, [] { Enter2DMode(); }};
    for (const auto& close : closers) {
        Enter3DMode(1, 100, 45);
        SetSpotLight(-3, 0xFFFFFF, 0, 10, 0, 0, 0, 0, 1);
        DrawObject(112, 0); // leaves the volume passes' stencil operation behind
        ASSERT_EQ(gRenderer3D.shadowPassActive, 1);
        close();
        EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
        // Depth and stencil as a later draw expects them: the pass's own settings are undone.
        GLint depthFunc = 0, stencilPass = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        glGetIntegerv(GL_STENCIL_PASS_DEPTH_PASS, &stencilPass);
        EXPECT_TRUE(depthFunc == GL_LESS && stencilPass == GL_KEEP && !glIsEnabled(GL_STENCIL_TEST));
    }
    // Colour writes are back on: a 2D rectangle lands.
    DrawRect(0, 0, 3, 3, 0x00FF00);
    EXPECT_EQ(Back(1, 1), 0x00FF00u);
}

TEST_F(Render3D, ToonOutlineOnlyWithCulling) {
    shapes::MakeCube(112, 1);
    auto inkWidth = [&](double cull, double toon) {
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        Clear();
        Enter3DMode(1, 100, 45);
        SetCamera(0, 3, 10, 0, 0, 0);
        SetSpotLight(-2, 0xFFFFFF, 5, 5, 10, 0, 0, 0, toon); // a cutoff of 0 switches the mode off
        SetCullMode(cull);
        RotateObject(30, 0, 1, 0);
        DrawObject(112, 0);
        SetSpotLight(-2, 0, 0, 0, 0, 0, 0, 0, 0);
        glClearColor(0, 0, 0, 1);
        // Pixels that are not the grey background.
        int l = 640, r = -1, dark = 0;
        const std::vector<uint32_t> f = BackFrame();
        for (size_t i = 0; i < f.size(); ++i) {
            if (f[i] == gltest::Rgb(127, 127, 127) || f[i] == gltest::Rgb(128, 128, 128)) continue;
            l = std::min(l, int(i % 640)), r = std::max(r, int(i % 640));
            dark += f[i] == 0;
        }
        return std::make_pair(r - l, dark);
    };
    const auto withOutline = inkWidth(1, 1), without = inkWidth(0, 1), off = inkWidth(1, 0);
    EXPECT_GT(withOutline.first, without.first);
    EXPECT_GT(withOutline.second, 100);
    EXPECT_EQ(without.second + off.second, 0);
}

TEST_F(Render3D, BumpModeLightsByTheNormalMap) {
    const std::string flat = gltest::MakeBitmap("flat.bmp", 16, 16, [](int, int) { return gltest::Rgb(90, 90, 90); });
    ASSERT_EQ(LoadBumpTexture(DynString(flat.c_str()), 9), 1);
    ASSERT_EQ(LoadTexture(10, [](int, int) { return gltest::Rgb(255, 0, 0); }), 1);
    shapes::MakeQuad(113, 2);
    SetCullMode(0);
    auto draw = [&](double lightZ) {
        Clear();
        SetSpotLight(-1, 0xFFFFFF, 0, 0, lightZ, 0, 0, 0, 1);
        SetTexture(10, 9); // the colour on unit 1, the normal map on unit 0
        DrawObject(113, 0);
        SetSpotLight(-1, 0, 0, 0, 0, 0, 0, 0, 0);
        return Back(320, 240);
    };
    const uint32_t front = draw(5), behind = draw(-5);
    EXPECT_GT(Red(front), 200); // light along the flat map's normal: full brightness
    EXPECT_LT(Green(front) + Blue(front), 30);
    EXPECT_LT(Sum(behind), 60); // light behind the surface: dark
}

TEST_F(Render3D, MarkersAndQueryDebugDrawing) {
    DrawDot3D(0, 0, 0, 9, 0x0000FF);
    EXPECT_EQ(Back(320, 240), 0x0000FFu);
    DrawLine3D(-2, 1, 0, 2, 1, 0, 3, 0x00FF00);
    const auto p = Screen(0, 1, 0);
    EXPECT_EQ(Back(p.first, p.second), 0x00FF00u);
    Clear();
    DrawAxes(0, 0, 0); // 20 units: the x arrow leaves the screen to the right
    const auto onX = Screen(1, 0, 0);
    int red = 0;
    for (int dy = -1; dy <= 1; ++dy) red = std::max(red, Red(Back(onX.first, onX.second + dy)));
    EXPECT_GT(red, 200);
    // In debug mode a query draws what it tested: a miss or a hit of a ray green, a box hit red.
    shapes::MakeQuad(114);
    gSettings.debugMode = 1;
    const struct {
        std::function<double()> query;
        double result;
        uint32_t colour;
    } cases[] = {{[] { return CollideSphere(114, 0, 0.5, 3, 0, 0); }, 0, 0x00FF00u},
                 {[] { return CollideRay(114, 0, 0, 3, 1, 0, -3, -1); }, 3.1623, 0x00FF00u},
                 {[] { return CollideBox(114, 0, 0, 0, 0, 1, 1); }, 1, 0x0000FFu}};
    for (const auto& c : cases) {
        Clear();
        EXPECT_NEAR(c.query(), c.result, 0.01);
        const std::vector<uint32_t> f = BackFrame();
        EXPECT_NE(std::count(f.begin(), f.end(), c.colour), 0) << c.colour;
    }
}

} // namespace
