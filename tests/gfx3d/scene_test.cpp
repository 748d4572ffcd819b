// The 3D engine without a window: scene state, the transform stack, frame selection, the view
// cone and every query. No GL context exists here (the 2D renderer is not ready), so these
// cases also prove that every 3D command runs safely without one.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx3d/render.h"
#include "shapes.h"
#include "voxa/gfx3d.h"
#include "voxa/runtime.h"
#include "window/window.h"

using namespace scene3d;

namespace {

void ExpectMaps(Vec3 from, Vec3 to) {
    const Vec3 a = TransformPoint(TransformStackMatrix(gRenderer3D), from);
    EXPECT_NEAR(a.x, to.x, 1e-5);
    EXPECT_NEAR(a.y, to.y, 1e-5);
    EXPECT_NEAR(a.z, to.z, 1e-5);
}

class HeadlessScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Window().ready, 0);
        Window().SetScreenSize(640, 480);
        Enter3DMode(1, 2000, 45);
        SetCamera(0, 0, 10, 0, 0, 0);
    }
};

TEST_F(HeadlessScene, TransformsApplyInOrderAndStayInsideTheirTables) {
    RotateObject(90, 0, 0, 1);
    RotateObject(90, 1, 0, 0);
    ExpectMaps(V(1, 0, 0), V(0, 0, 1));
    MoveObject(1, 2, 3); // drops the rotations
    RotateObject(90, 0, 1, 0);
    ScaleObject(2, 2, 2);
    ExpectMaps(V(1, 0, 0), V(3, 2, 3));
    // A vertex is scaled, rotated, translated, then passes through the levels below (whose
    // scale 2 MoveObject kept).
    MoveObject(10, 0, 0);
    PushTransform();
    RotateObject(90, 0, 0, 1);
    ExpectMaps(V(1, 0, 0), V(10, 2, 0));
    PopTransform();
    ExpectMaps(V(1, 0, 0), V(12, 0, 0));
    // 17 rotations keep the first 16; 20 pushes stop at level 15 and pops at 0; a pushed level
    // starts empty.
    for (int i = 0; i < 17; ++i) RotateObject(float(i + 1), 0, 1, 0);
    EXPECT_EQ(gRenderer3D.levels[0].rotationCount, 16);
    for (int i = 0; i < 20; ++i) PushTransform();
    EXPECT_EQ(gRenderer3D.currentLevel, 15);
    MoveObject(1, 1, 1);
    for (int i = 0; i < 20; ++i) PopTransform();
    EXPECT_EQ(gRenderer3D.currentLevel, 0);
    SetCamera(0, 0, 10, 0, 0, 0);
    PushTransform();
    ExpectMaps(V(1, 0, 0), V(1, 0, 0));
    SetCamera(0, 0, 10, 0, 0, 0); // back to level 0
    EXPECT_EQ(gRenderer3D.currentLevel, 0);
}

TEST_F(HeadlessScene, ModeCommandsKeepTheirStateWithoutGl) {
    const double cull[][2] = {{0.3, 1}, {-7, -1}, {std::nan(""), -1}, {0, 0}};
    for (const auto& c : cull) {
        SetCullMode(c[0]);
        EXPECT_EQ(gRenderer3D.cullMode, c[1]) << c[0];
    }
    SetSpotLight(11, 0xFFFFFF, 0, 10, 0, 0, -1, 0, 180); // id mod 8: light 3
    EXPECT_EQ(gRenderer3D.enabledLights, 1 << 3);
    SetSpotLight(3, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.enabledLights, 0);
    // An id below the int range is negative too: a lighting mode, not GL light 0.
    SetSpotLight(-1e300, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(gRenderer3D.lightingMode, LightingMode::toon);
    EXPECT_EQ(gRenderer3D.enabledLights, 0);
    SetSpotLight(-2, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_NEAR(gRenderer3D.cullConeTan, std::tan(50 / 57.29578), 1e-5); // 5 degrees beyond the view
    SetTextureOffset(0.5, 0);
    Enter3DMode(1, 2000, 120); // resets the offset; the cone stops short of 90 degrees
    EXPECT_FLOAT_EQ(gRenderer3D.textureOffset[0], 0.0f);
    EXPECT_NEAR(gRenderer3D.cullConeTan, std::tan(89 / 57.29578), 1e-3);
    // Everything else that would touch GL does nothing, and does not crash.
    shapes::MakeCube(40);
    SetSpotLight(-3, 0x0000FF, 1, 2, 3, 0, 0, 0, 1);
    SetTexture(3, -1);
    DrawObject(40, 0);
    DrawObjectAnim(40, 0, 1, 0.5, 1);
    DrawSprite3D(1, 0, 0, 0, 1);
    PrintText3D(DynString("x"), 0, 0, 0, 0);
    SetFog(0, 0, 0, 0);
    SetCameraLight(0, 0xFFFFFF);
    ClearDepthBuffer();
    DrawDot3D(0, 0, 0, 4, 0xFF);
    DrawLine3D(0, 0, 0, 1, 1, 1, 4, 0xFF);
    DrawAxes(0, 0, 0);
    EndShadowPass();
    EXPECT_EQ(gRenderer3D.objects[40].staticBuffer + gRenderer3D.objects[40].streamBuffer, 0u);
}

TEST_F(HeadlessScene, ProjectionWithoutAWindow) {
    double sx = -1, sy = -1, sz = -1, x, y, z, sx2, sy2, sz2;
    ASSERT_TRUE(ProjectPoint(0, 0, 0, sx, sy, sz));
    EXPECT_NEAR(sx, 320, 1e-3);
    EXPECT_NEAR(sy, 240, 1e-3);
    EXPECT_GT(sz, 0);
    EXPECT_LT(sz, 1);
    // Which way the screen axes run is checked under GL against the pixels drawn. Unproject flips
    // y with the screen height minus 1: one row apart.
    ASSERT_TRUE(ProjectPoint(1, 1, 0, sx, sy, sz));
    ASSERT_TRUE(UnprojectPoint(sx, sy, sz, x, y, z));
    ASSERT_TRUE(ProjectPoint(x, y, z, sx2, sy2, sz2));
    EXPECT_NEAR(sx2, sx, 1e-2);
    EXPECT_NEAR(sy2, sy + 1, 1e-2);
    // A point in the camera's plane has w 0: nothing written.
    sx = 7;
    EXPECT_FALSE(ProjectPoint(5, 0, 10, sx, sy, sz));
    EXPECT_EQ(sx, 7);
}

TEST(FrameSelection, InterpolatedPosesAndHostileFrames) {
    const struct {
        int count;
        double from, to, t;
        bool interpolate;
        int a, b;
        float w; // the weight of frame a
    } cases[] = {
        {5, 0, 4, 0.5, true, 2, 3, 1},    {5, 0, 4, 0.6, true, 2, 3, 0.6f}, {5, 4, 0, 0.6, true, 2, 1, 0.6f},
        {5, 0, 4, 0.25, true, 1, 2, 1},   {5, 0, 4, 1.25, true, 1, 2, 1},   {5, 0, 4, 1, true, 4, 4, 1},
        {3, -1, 0, 0, false, 0, 0, 1},    {5, 1e300, 0, 0, false, 4, 4, 1}, {5, 0, 1e10, 0.5, true, 4, 4, 1},
    };
    for (const auto& c : cases) {
        const FramePair f = ResolveFrames(c.count, c.from, c.to, c.t, c.interpolate);
        EXPECT_EQ(f.a, c.a) << c.from << " " << c.to << " " << c.t;
        if (c.interpolate) {
            EXPECT_EQ(f.b, c.b) << c.from << " " << c.to << " " << c.t;
            EXPECT_NEAR(f.w, c.w, 1e-6) << c.from << " " << c.to << " " << c.t;
        }
    }
    const FramePair f = ResolveFrames(3, 1e300, -1e300, std::nan(""), true);
    EXPECT_TRUE(f.a >= 0 && f.a <= 2 && f.b >= 0 && f.b <= 2 && std::isfinite(f.w));
}

TEST_F(HeadlessScene, ViewConeKeepsEverySphereThatReachesIntoTheView) {
    EXPECT_FLOAT_EQ(ApproxSqrt(4), 2);
    EXPECT_FLOAT_EQ(ApproxSqrt(16), 4);
    EXPECT_NEAR(ApproxSqrt(2), std::sqrt(2.0f), 0.1f);
    // The view spans 5.5 to each side at depth 10 and 1.24 up at depth 3.
    const struct {
        float x, y, z, r;
        bool visible;
    } cases[] = {
        {0, 0, 0, 1, true},      {3, 0, 0, 1, true},
        {40, 0, 0, 1, false},    {40, 0, 0, 40, true},
        {0, 0, 20, 5, false},    {0, 0, 12, 5, true},      // behind; behind but holding the camera
        {0, 0, 40, 25, false},   {24, 0, 0, 20, true},     // behind, reaching toward the eye; reaching x = 4
        {30, 0, 11, 29.5, true}, {0, 9.9f, 9.9f, 9.5, true}, // centre behind the eye; 0.1 in front
        {30, 0, 0, 5, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsVisible(gRenderer3D, V(c.x, c.y, c.z), c.r), c.visible) << c.x << " " << c.y << " " << c.z << " " << c.r;
}

// ---- Queries

class Queries : public HeadlessScene {
protected:
    void SetUp() override {
        HeadlessScene::SetUp();
        shapes::MakeCube(50); // closed cube -1..1
        shapes::MakeQuad(51); // square in z = 0, -1..1
    }
};

// Spheres, boxes and rays against the cube (slot 50) and the square (51) as the transform
// stack places them. A box is width wide along x and z and height tall along y.
TEST_F(Queries, SpheresBoxesAndRaysAgainstPlacedObjects) {
    enum Kind { sphere, box, ray };
    const double r2 = std::sqrt(2.0);
    const struct {
        const char* what;
        Kind kind;
        int id;
        shapes::P3 move;
        double angle;
        shapes::P3 axis;
        double q[6]; // sphere: radius, x, y, z; box: x, y, z, width, height; ray: x, y, z, dx, dy, dz
        double want;
    } cases[] = {
        {"sphere touching the plane only", sphere, 51, {}, 0, {}, {1, 0, 0, 1}, 0},
        {"sphere cutting it", sphere, 51, {}, 0, {}, {1.01, 0, 0, 1}, 1},
        {"touching the first vertex counts", sphere, 51, {}, 0, {}, {0.5, -1, -1, 0.5}, 1},
        {"sphere near an edge", sphere, 51, {}, 0, {}, {0.5, 1.3, 0, 0.1}, 1},
        {"sphere short of an edge", sphere, 51, {}, 0, {}, {0.2, 1.3, 0, 0.1}, 0},
        {"sphere, square moved onto it", sphere, 51, {5, 0, 0}, 0, {}, {0.5, 5, 0, 0.1}, 1},
        {"sphere holding a corner of the cube", sphere, 50, {}, 0, {}, {0.9, 1.5, 1.5, 1.5}, 1},
        {"sphere short of that corner", sphere, 50, {}, 0, {}, {0.8, 1.5, 1.5, 1.5}, 0},
        {"negative radius round the first vertex", sphere, 50, {}, 0, {}, {-3, 0.5, -0.5, -0.5}, 0},
        {"positive radius there", sphere, 50, {}, 0, {}, {3, 0.5, -0.5, -0.5}, 1},
        {"square turned 45 about y: missed", box, 51, {}, 45, {0, 1, 0}, {0.6, 0, 0.6, 0.1, 0.1}, 0},
        {"square turned 45 about y: met", box, 51, {}, 45, {0, 1, 0}, {0.6, 0, -0.6, 0.1, 0.1}, 1},
        {"face x = 1 holds (1, 0.95, 0)", box, 50, {}, 0, {}, {1.4, 1.4, 0, 1, 1}, 1},
        {"round the whole cube", box, 50, {}, 0, {}, {0, 0, 0, 3, 3}, 1},
        {"tall box reaching down to the top face", box, 50, {}, 0, {}, {0, 1.5, 0, 0.5, 1.2}, 1},
        {"tall box above the front face", box, 50, {}, 0, {}, {0, 0, 1.5, 0.5, 1.2}, 0},
        {"45 about y: corner (r2, 1, 0)", box, 50, {}, 45, {0, 1, 0}, {r2 + 0.2, 1.2, 0, 0.5, 0.5}, 1},
        {"45 about y: beyond it", box, 50, {}, 45, {0, 1, 0}, {r2 + 0.3, 1.2, 0, 0.5, 0.5}, 0},
        {"box at an undefined place", box, 50, {}, 0, {}, {std::nan(""), 0, 0, 1, 1}, 0},
        {"ray from inside: the wall in front", ray, 50, {}, 0, {}, {0, 0, 0, 1, 0, 0}, 1},
        {"ray from outside", ray, 50, {}, 0, {}, {0, 0, 5, 0, 0, -1}, 4},
        {"ray of length 2 as length 1", ray, 50, {}, 0, {}, {0, 0, 5, 0, 0, -2}, 4},
        {"ray hit behind the origin", ray, 51, {}, 0, {}, {0.2, 0.1, -3, 0, 0, -1}, -3},
        {"ray missing", ray, 51, {}, 0, {}, {3, 0, -3, 0, 0, 1}, 0},
        {"ray, square moved", ray, 51, {0, 0, -2}, 0, {}, {0.5, 0, 5, 0, 0, -1}, 7},
        {"ray, square turned edge on", ray, 51, {0, 0, -2}, 90, {0, 1, 0}, {0.5, 0, 5, 0, 0, -1}, 0},
        {"ray, square turned to face it", ray, 51, {0, 0, -2}, 90, {0, 1, 0}, {5, 0.1, -2.1, -1, 0, 0}, 5},
    };
    for (const auto& c : cases) {
        MoveObject(c.move.x, c.move.y, c.move.z);
        if (c.angle != 0) RotateObject(c.angle, c.axis.x, c.axis.y, c.axis.z);
        const double* q = c.q;
        const double got = c.kind == sphere ? CollideSphere(c.id, 0, q[0], q[1], q[2], q[3])
                           : c.kind == box  ? CollideBox(c.id, 0, q[0], q[1], q[2], q[3], q[4])
                                            : CollideRay(c.id, 0, q[0], q[1], q[2], q[3], q[4], q[5]);
        EXPECT_NEAR(got, c.want, 0.02) << c.what;
    }
}

TEST_F(Queries, RefusedSlotsAndFrames) {
    auto hits = [](double id, double frame) {
        return CollideSphere(id, frame, 5, 0, 0, 0) + CollideBox(id, frame, 0, 0, 0, 5, 5) +
               CollideRay(id, frame, 0, 0, 0, 1, 0, 0);
    };
    for (double frame : {1.0, 2.0, -1.0, -1.5, 1e300, std::nan("")}) EXPECT_EQ(hits(50, frame), 0) << frame;
    for (double id : {-1.0, 4096.0, 1e12, std::nan(""), 60.0 /* empty */}) {
        EXPECT_EQ(hits(id, 0), 0) << id;
        DrawObject(id, 0);
        DrawObjectAnim(id, 0, 3, 0.5, 1);
    }
    EXPECT_NEAR(hits(50, 0.9), 3, 0.02); // frame 0.9 is frame 0: all three meet the cube
}

} // namespace
