// Object rendering under real GL (Xvfb, llvmpipe), checked by reading pixels back: placement
// against ProjectPoint, transform order, culling, fog, the view cone, frame interpolation,
// texture offsets, stencil shadows, toon outlines, bump mapping and the debug markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gfx2d/gl_fixture.h"
#include "gfx3d/render.h"
#include "shapes.h"
#include "voxa/gfx3d.h"
#include "voxa/window.h"
#include "window/state.h"

namespace {

using gltest::Back;
using gltest::BackFrame;
using gltest::InkBox;

int Red(uint32_t c) { return int(c & 0xFF); }
int Green(uint32_t c) { return int((c >> 8) & 0xFF); }
int Blue(uint32_t c) { return int((c >> 16) & 0xFF); }
int Sum(uint32_t c) { return Red(c) + Green(c) + Blue(c); }

class Render3D : public gltest::GL {
protected:
    void SetUp() override {
        GL::SetUp();
        gSettings.debugMode = 0;
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
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
    static std::pair<double, double> InkCentre() {
        const std::vector<int> box = InkBox(BackFrame());
        return {(box[0] + box[2]) / 2.0, (box[1] + box[3]) / 2.0};
    }
    static double LoadColourTexture(int id, uint32_t colour) {
        const std::string path = gltest::MakeBitmap("tex" + std::to_string(id) + ".bmp", 16, 16,
                                                    [&](int, int) { return colour; });
        return LoadSprite(DynString(path.c_str()), id);
    }
};

TEST_F(Render3D, LitTexturedCubeAppearsWhereProjectPointSays) {
    shapes::MakeCube(100, 0.5);
    ASSERT_EQ(LoadColourTexture(7, gltest::Rgb(0, 200, 0)), 1);
    SetCullMode(1);
    SetSpotLight(0, 0xFFFFFF, 0, 0, 0, 0, 0, -1, 180); // white light along -z
    MoveObject(2, 1, 0);
    SetTexture(7 + 4294967296.0, -1); // beyond the store, not id 7 or 0: untextured
    EXPECT_EQ(gRenderer2D.textures.binding.id, -1);
    SetTexture(7, -1);
    DrawObject(100, 0);
    const auto [sx, sy] = Screen(2, 1, 0);
    const auto [cx, cy] = InkCentre();
    EXPECT_NEAR(cx, sx, 3);
    EXPECT_NEAR(cy, sy, 3);
    const uint32_t lit = Back(sx, sy);
    EXPECT_GT(Green(lit), 120);
    EXPECT_LT(Red(lit), 10);
    EXPECT_EQ(Back(640 - sx, 480 - sy), 0u);

    // A red light leaves a green texture nearly black: the light takes part.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetSpotLight(0, 0x0000FF, 0, 0, 0, 0, 0, -1, 180);
    DrawObject(100, 0);
    EXPECT_LT(Green(Back(sx, sy)), 50);
}

TEST_F(Render3D, TransformOrderOnScreen) {
    shapes::MakeCube(101, 0.3, 0xFFFFFF, {2, 0, 0});
    SetCamera(6, 4, 6, 0, 0, 0);
    SetCullMode(0);
    RotateObject(90, 0, 0, 1);
    RotateObject(90, 1, 0, 0);
    DrawObject(101, 0);
    auto [cx, cy] = InkCentre();
    auto expected = Screen(0, 0, 2); // (2, 0, 0) turned about z, then about x
    EXPECT_NEAR(cx, expected.first, 4);
    EXPECT_NEAR(cy, expected.second, 4);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetCamera(6, 4, 6, 0, 0, 0);
    RotateObject(90, 0, 1, 0);
    MoveObject(0, 0, 0); // drops the rotation
    DrawObject(101, 0);
    std::tie(cx, cy) = InkCentre();
    expected = Screen(2, 0, 0);
    EXPECT_NEAR(cx, expected.first, 4);
    EXPECT_NEAR(cy, expected.second, 4);
}

TEST_F(Render3D, CullModesHideTheRightFaces) {
    shapes::MakeQuad(102);              // clockwise toward the camera
    shapes::MakeQuad(103, 1, 0, true);  // counter-clockwise toward the camera
    const struct {
        int id;
        double mode;
        bool shown;
    } cases[] = {{102, 1, true}, {102, -1, false}, {102, 0, true}, {103, 1, false}, {103, -1, true}, {103, 0, true}};
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SetCullMode(c.mode);
        DrawObject(c.id, 0);
        EXPECT_EQ(Back(320, 240) != 0, c.shown) << c.id << " mode " << c.mode;
    }
}

TEST_F(Render3D, LinearFogDarkensWithDistance) {
    shapes::MakeQuad(104, 0.5);
    SetCullMode(0);
    DrawObject(104, 0);
    EXPECT_EQ(Back(320, 240), 0xFFFFFFu);
    SetFog(0, 1e300, 0.1, 0); // any mode but 0 is exponential, beyond the int range too
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_EXP);
    SetFog(0, 0, 5, 50);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawObject(104, 0);
    const int near = Red(Back(320, 240));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    MoveObject(0, 0, -25);
    DrawObject(104, 0);
    const int far = Red(Back(320, 240));
    EXPECT_NEAR(near, 255 * 40 / 45, 6); // distance 10 of 5..50
    EXPECT_NEAR(far, 255 * 15 / 45, 6);  // distance 35
}

TEST_F(Render3D, ObjectsOutsideTheConeAreSkippedBeforeAnyVertexWork) {
    ASSERT_NE(gWindow.gl.genBuffers, nullptr);
    shapes::MakeCube(105, 0.5);
    SetTextureOffset(0.25, 0); // a draw would stream the vertices
    MoveObject(0, 0, 20);      // behind the camera
    DrawObject(105, 0);
    MoveObject(60, 0, 0);      // far beside the view
    DrawObject(105, 0);
    EXPECT_EQ(gRenderer3D.objects[105].streamBuffer, 0u);
    MoveObject(0, 0, 0);
    DrawObject(105, 0);
    EXPECT_NE(gRenderer3D.objects[105].streamBuffer, 0u);
    // Stretched (and mirrored) 40 times along x, a cube centred far beside the view reaches into
    // it: its sphere grows by the size of the largest factor, whatever its sign.
    shapes::MakeCube(114, 0.5);
    MoveObject(20, 0, 0);
    ScaleObject(-40, 1, 1);
    DrawObject(114, 0);
    EXPECT_NE(gRenderer3D.objects[114].streamBuffer, 0u);
}

TEST_F(Render3D, FramesAndInterpolation) {
    shapes::MakeTwoFrameQuad(106, 107, -3, 3);
    SetCullMode(0);
    auto centreOf = [&](auto draw) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw();
        return InkCentre().first;
    };
    const auto left = Screen(-3, 0, 0), right = Screen(3, 0, 0);
    EXPECT_NEAR(centreOf([] { DrawObject(106, 0); }), left.first, 2);
    EXPECT_NEAR(centreOf([] { DrawObject(106, -1); }), left.first, 2);
    EXPECT_NEAR(centreOf([] { DrawObject(106, 1); }), right.first, 2);
    EXPECT_NEAR(centreOf([] { DrawObjectAnim(106, 0, 1, 0.5, 1); }), 320, 2);
    EXPECT_NEAR(centreOf([] { DrawObjectAnim(106, 0, 1, 0.25, 1); }), Screen(-1.5, 0, 0).first, 2);
    EXPECT_NEAR(centreOf([] { DrawObjectAnim(106, 0, 1, 1.25, 1); }), Screen(-1.5, 0, 0).first, 2);
    EXPECT_NEAR(centreOf([] { DrawObjectAnim(106, 1, 0, 0.25, 1); }), Screen(1.5, 0, 0).first, 2);
    // Frames beyond the model draw nothing.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawObject(106, 2);
    DrawObject(106, 1e300);
    DrawObject(4096, 0);
    DrawObject(-1, 0);
    DrawObject(107, 0); // emptied slot
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Render3D, TextureOffsetShiftsWithoutAccumulating) {
    // Left half red, right half blue.
    const std::string path = gltest::MakeBitmap("halves.bmp", 16, 16, [](int x, int) {
        return x < 8 ? gltest::Rgb(255, 0, 0) : gltest::Rgb(0, 0, 255);
    });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 8), 1);
    shapes::MakeQuad(108, 2);
    SetCullMode(0);
    SetTexture(8, -1);
    DrawObject(108, 0);
    const uint32_t leftPlain = Back(320 - 40, 240), rightPlain = Back(320 + 40, 240);
    EXPECT_GT(Red(leftPlain), 200);
    EXPECT_GT(Blue(rightPlain), 200);
    SetTextureOffset(0.5, 0);
    for (int i = 0; i < 3; ++i) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawObject(108, 0);
        EXPECT_GT(Blue(Back(320 - 40, 240)), 200) << i;
        EXPECT_GT(Red(Back(320 + 40, 240)), 200) << i;
    }
}

TEST_F(Render3D, ShadowPassDarkensOnlyTheShadow) {
    shapes::MakeFloor(110, 8);
    shapes::MakeCube(111, 1, 0xFFFFFF, {0, 1, 0});
    auto scene = [] {
        SetCullMode(1);
        MoveObject(0, 0, 0);
        DrawObject(110, 0);
        MoveObject(0, 0, 0);
        DrawObject(111, 0);
    };
    SetCamera(0, 12, 14, 1, 0, 0);
    SetSpotLight(0, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 170); // point light up and to the left
    scene();
    const auto shadowed = Screen(2, 0, 0), open = Screen(4, 0, 4), other = Screen(-5, 0, 3);
    const std::vector<uint32_t> lit = BackFrame();
    auto at = [](const std::vector<uint32_t>& f, std::pair<int, int> p) { return f[size_t(p.second) * 640 + p.first]; };
    ASSERT_GT(Sum(at(lit, shadowed)), 150);

    SetSpotLight(-3, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 1);
    EXPECT_EQ(gRenderer3D.shadowPassActive, 1);
    scene();
    EXPECT_EQ(BackFrame(), lit); // the pass only writes the stencil buffer
    Enter2DMode();
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    const std::vector<uint32_t> after = BackFrame();
    EXPECT_LT(Sum(at(after, shadowed)), Sum(at(lit, shadowed)) * 3 / 4);
    EXPECT_EQ(at(after, open), at(lit, open));
    EXPECT_EQ(at(after, other), at(lit, other));
    EXPECT_NE(at(after, open), 0u);

    // The 2D state is in force: 2D drawing lands at its pixel, depth and stencil tests are off.
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    DrawRect(10, 10, 12, 12, 0x00FF00);
    EXPECT_EQ(Back(11, 11), 0x00FF00u);
    EXPECT_EQ(Back(14, 11), at(after, {14, 11}));
}

// A cube above a floor casts the same shadow whatever culling the program left in force (never
// set, 0 with either front face, 1, -1) and when its transform mirrors it; the shadow draw puts
// that culling back.
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
    auto at = [](const std::vector<uint32_t>& f, std::pair<int, int> p) { return f[size_t(p.second) * 640 + p.first]; };
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        Enter3DMode(1, 100, 45);
        SetCamera(0, 12, 14, 1, 0, 0);
        SetSpotLight(0, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 170);
        DrawObject(112, 0); // lit with culling off, as Enter3DMode leaves it
        DrawObject(113, 0);
        const auto shadowed = Screen(2.5, 0, 0), open = Screen(-4, 0, 3);
        const std::vector<uint32_t> lit = BackFrame();
        for (double m : c.modes) SetCullMode(m);
        GLint front = 0, culled = 0;
        glGetIntegerv(GL_FRONT_FACE, &front);
        const GLboolean culling = glIsEnabled(GL_CULL_FACE);
        const int mode = gRenderer3D.cullMode;

        SetSpotLight(-3, 0xFFFFFF, -3, 6, 0, 0, 0, 0, 1);
        MoveObject(0, 0, 0);
        ScaleObject(c.mirror, 1, 1);
        DrawObject(113, 0);
        GLint frontAfter = 0;
        glGetIntegerv(GL_FRONT_FACE, &frontAfter);
        glGetIntegerv(GL_CULL_FACE_MODE, &culled);
        EXPECT_EQ(frontAfter, front) << c.what;
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE), culling) << c.what;
        EXPECT_EQ(culled, GL_BACK) << c.what;
        EXPECT_EQ(gRenderer3D.cullMode, mode) << c.what;
        Enter2DMode();

        const std::vector<uint32_t> frame = BackFrame();
        EXPECT_LT(Sum(at(frame, shadowed)), Sum(at(lit, shadowed)) * 3 / 4) << c.what;
        EXPECT_EQ(at(frame, open), at(lit, open)) << c.what;
        if (reference.empty()) reference = frame;
        // Mirrored, the volume is built from other vertices: a pixel on its rim may go either way.
        size_t differ = 0;
        for (size_t i = 0; i < frame.size(); ++i) differ += frame[i] != reference[i];
        EXPECT_LE(differ, c.mirror < 0 ? 200u : 0u) << c.what;
    }
}

TEST_F(Render3D, ShowScreenAndViewportCloseTheShadowPass) {
    SetSpotLight(-3, 0xFFFFFF, 0, 10, 0, 0, 0, 0, 1);
    ASSERT_EQ(gRenderer3D.shadowPassActive, 1);
    SetViewport(0, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    Enter3DMode(1, 100, 45);
    SetSpotLight(-3, 0xFFFFFF, 0, 10, 0, 0, 0, 0, 1);
    Enter3DMode(1, 100, 45);
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    SetSpotLight(-3, 0xFFFFFF, 0, 10, 0, 0, 0, 0, 1);
    EndShadowPass();
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    Enter3DMode(1, 100, 45);
    SetSpotLight(-3, 0xFFFFFF, 0, 10, 0, 0, 0, 0, 1);
    ShowScreen();
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    // Colour writes are back on: a 2D rectangle lands.
    DrawRect(0, 0, 3, 3, 0x00FF00);
    EXPECT_EQ(Back(1, 1), 0x00FF00u);
}

TEST_F(Render3D, ToonOutlineOnlyWithCulling) {
    shapes::MakeCube(112, 1);
    auto inkWidth = [&](double cull) {
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Enter3DMode(1, 100, 45);
        SetCamera(0, 3, 10, 0, 0, 0);
        SetSpotLight(-2, 0xFFFFFF, 5, 5, 10, 0, 0, 0, 1);
        SetCullMode(cull);
        RotateObject(30, 0, 1, 0);
        DrawObject(112, 0);
        SetSpotLight(-2, 0, 0, 0, 0, 0, 0, 0, 0);
        // Pixels that are not the grey background.
        int l = 640, r = -1, dark = 0;
        const std::vector<uint32_t> f = BackFrame();
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                const uint32_t c = f[size_t(y) * 640 + x];
                if (c == gltest::Rgb(127, 127, 127) || c == gltest::Rgb(128, 128, 128)) continue;
                l = std::min(l, x), r = std::max(r, x);
                dark += c == 0;
            }
        }
        glClearColor(0, 0, 0, 1);
        return std::make_pair(r - l, dark);
    };
    const auto withOutline = inkWidth(1), without = inkWidth(0);
    EXPECT_GT(withOutline.first, without.first);
    EXPECT_GT(withOutline.second, 100);
    EXPECT_EQ(without.second, 0);
    EXPECT_NE(gRenderer3D.objects[112].rampTexture, 0u);
}

TEST_F(Render3D, BumpModeLightsByTheNormalMap) {
    const std::string flat = gltest::MakeBitmap("flat.bmp", 16, 16, [](int, int) { return gltest::Rgb(90, 90, 90); });
    ASSERT_EQ(LoadBumpTexture(DynString(flat.c_str()), 9), 1);
    ASSERT_EQ(LoadColourTexture(10, gltest::Rgb(255, 255, 255)), 1);
    shapes::MakeQuad(113, 2);
    SetCullMode(0);
    auto draw = [&](double lightZ) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SetSpotLight(-1, 0xFFFFFF, 0, 0, lightZ, 0, 0, 0, 1);
        SetTexture(10, 9);
        DrawObject(113, 0);
        SetSpotLight(-1, 0, 0, 0, 0, 0, 0, 0, 0);
        return Back(320, 240);
    };
    const uint32_t front = draw(5), behind = draw(-5);
    EXPECT_GT(Sum(front), 600);  // light along the flat map's normal: full brightness
    EXPECT_LT(Sum(behind), 60);  // light behind the surface: dark
    EXPECT_NE(gRenderer3D.objects[113].frames[0].items[1].tangent, 0);
}

TEST_F(Render3D, MarkersAndQueryDebugDrawing) {
    DrawDot3D(0, 0, 0, 9, 0x0000FF);
    EXPECT_EQ(Back(320, 240), 0x0000FFu);
    DrawLine3D(-2, 1, 0, 2, 1, 0, 3, 0x00FF00);
    const auto p = Screen(0, 1, 0);
    EXPECT_EQ(Back(p.first, p.second), 0x00FF00u);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawAxes(0, 0, 0); // 20 units: the x arrow leaves the screen to the right
    const auto onX = Screen(1, 0, 0);
    int red = 0;
    for (int dy = -1; dy <= 1; ++dy) red = std::max(red, Red(Back(onX.first, onX.second + dy)));
    EXPECT_GT(red, 200);

    shapes::MakeQuad(114);
    gSettings.debugMode = 1;
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(CollideSphere(114, 0, 0.5, 3, 0, 0), 0); // a miss: green
    std::vector<uint32_t> f = BackFrame();
    EXPECT_NE(std::count(f.begin(), f.end(), 0x00FF00u), 0);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_NE(CollideRay(114, 0, 0, 3, 1, 0, -3, -1), 0); // a hit in front: a green line
    f = BackFrame();
    EXPECT_NE(std::count(f.begin(), f.end(), 0x00FF00u), 0);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(CollideBox(114, 0, 0, 0, 0, 1, 1), 1); // a hit: red edges
    f = BackFrame();
    EXPECT_NE(std::count(f.begin(), f.end(), 0x0000FFu), 0);
}

} // namespace

// Normals that EndObject computes point to the side from which the triangles run clockwise:
// that is the side SetCullMode(1) shows, and a light in front of it lights it. A quad wound the
// other way round faces the other side: under SetCullMode(-1) it is drawn, but lit from behind.
// Both triangles of the strip face the same way.
TEST_F(Render3D, ObjectsBuiltInCodeAreLitOnTheSideTheyFace) {
    shapes::MakeQuad(112, 1);             // clockwise toward the camera at +z
    shapes::MakeQuad(113, 1, 0, true);    // counter-clockwise toward the camera
    SetTexture(-1, -1);
    // One pixel inside each of the strip's two triangles, and the centre.
    const std::pair<int, int> probes[] = {Screen(-0.6, -0.6, 0), Screen(0.6, 0.6, 0), Screen(0, 0, 0)};
    auto brightness = [&](int id, double cull, double lightDz) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SetCullMode(cull);
        SetSpotLight(0, 0xFFFFFF, 0, 0, 0, 0, 0, lightDz, 180); // directional light along (0, 0, lightDz)
        MoveObject(0, 0, 0);
        DrawObject(id, 0);
        std::vector<int> sums;
        for (const auto& p : probes) sums.push_back(Sum(Back(p.first, p.second)));
        return sums;
    };
    for (int s : brightness(112, 1, -1)) EXPECT_GT(s, 3 * 230);          // lit from the camera's side
    for (int s : brightness(112, 1, 1)) EXPECT_LT(s, 3 * 80);            // light behind it: ambient only
    for (int s : brightness(113, -1, -1)) EXPECT_LT(s, 3 * 80);          // shown, but it faces away
    for (int s : brightness(113, -1, 1)) EXPECT_GT(s, 3 * 230);          // its lit side is -z
    EXPECT_EQ(brightness(112, -1, -1), std::vector<int>(3, 0));          // culled from this side
}
