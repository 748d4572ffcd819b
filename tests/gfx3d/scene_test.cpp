// The 3D engine without a window: scene state, the transform stack, frame selection, the view
// cone and every query. No GL context exists here (the 2D renderer is not ready), so these
// cases also prove that every 3D command runs safely without one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx3d/render.h"
#include "shapes.h"
#include "voxa/gfx3d.h"
#include "voxa/runtime.h"
#include "window/window.h"

using namespace scene3d;

namespace {

Vec3 Apply(const Mat4& m, Vec3 p) { return TransformPoint(m, p); }

void ExpectNear(Vec3 a, Vec3 b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
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

TEST_F(HeadlessScene, RotationsApplyInTheOrderGivenAndMoveDropsThem) {
    RotateObject(90, 0, 0, 1);
    RotateObject(90, 1, 0, 0);
    ExpectNear(Apply(TransformStackMatrix(gRenderer3D), V(1, 0, 0)), V(0, 0, 1));

    MoveObject(1, 2, 3);
    RotateObject(90, 0, 1, 0);
    ScaleObject(2, 2, 2);
    EXPECT_EQ(gRenderer3D.levels[0].rotationCount, 0);
    ExpectNear(Apply(TransformStackMatrix(gRenderer3D), V(1, 0, 0)), V(3, 2, 3));

    // A vertex is scaled, rotated, translated, then passes through the levels below (whose
    // scale 2 MoveObject kept).
    MoveObject(10, 0, 0);
    PushTransform();
    RotateObject(90, 0, 0, 1);
    ExpectNear(Apply(TransformStackMatrix(gRenderer3D), V(1, 0, 0)), V(10, 2, 0));
    PopTransform();
    ExpectNear(Apply(TransformStackMatrix(gRenderer3D), V(1, 0, 0)), V(12, 0, 0));
}

TEST_F(HeadlessScene, StackAndRotationLimits) {
    for (int i = 0; i < 17; ++i) RotateObject(float(i + 1), 0, 1, 0);
    EXPECT_EQ(gRenderer3D.levels[0].rotationCount, 16);
    EXPECT_EQ(gRenderer3D.levels[0].rotations[15][0], 16.0f);

    for (int i = 0; i < 20; ++i) PushTransform();
    EXPECT_EQ(gRenderer3D.currentLevel, 15);
    MoveObject(1, 1, 1); // still inside the table
    for (int i = 0; i < 20; ++i) PopTransform();
    EXPECT_EQ(gRenderer3D.currentLevel, 0);
    PushTransform();
    EXPECT_EQ(gRenderer3D.levels[1].rotationCount, 0);
    EXPECT_EQ(gRenderer3D.levels[1].translation[0], 0.0f);
    EXPECT_EQ(gRenderer3D.levels[1].scale[2], 1.0f);
    SetCamera(0, 0, 10, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.currentLevel, 0);
}

TEST_F(HeadlessScene, ModeCommandsKeepTheirStateWithoutGl) {
    SetCullMode(0.3);
    EXPECT_EQ(gRenderer3D.cullMode, 1);
    SetCullMode(-7);
    EXPECT_EQ(gRenderer3D.cullMode, -1);
    SetCullMode(std::nan(""));
    EXPECT_EQ(gRenderer3D.cullMode, -1);
    SetCullMode(0);
    EXPECT_EQ(gRenderer3D.cullMode, 0);

    SetSpotLight(3, 0xFFFFFF, 0, 10, 0, 0, -1, 0, 45);
    SetSpotLight(11, 0xFFFFFF, 0, 10, 0, 0, -1, 0, 180);
    EXPECT_EQ(gRenderer3D.enabledLights, 1 << 3);
    SetSpotLight(3, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.enabledLights, 0);

    SetSpotLight(-3, 0x0000FF, 1, 2, 3, 0, 0, 0, 1);
    EXPECT_EQ(gRenderer3D.shadowPassActive, 1);
    EXPECT_EQ(gRenderer3D.lightingMode, LightingMode::shadow);
    EXPECT_FLOAT_EQ(gRenderer3D.modeLight[3], 1.0f);
    EXPECT_FLOAT_EQ(gRenderer3D.modeLight[2], 3.0f);
    Enter2DMode();
    EXPECT_EQ(gRenderer3D.shadowPassActive, 0);
    SetSpotLight(-2, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(gRenderer3D.lightingMode, LightingMode::toon);
    EXPECT_EQ(gRenderer3D.lightingModeOn, 1);
    SetSpotLight(-1, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.lightingMode, LightingMode::bump);
    EXPECT_EQ(gRenderer3D.lightingModeOn, 0);
    // An id below the int range is negative too: a lighting mode, not GL light 0.
    SetSpotLight(-1e300, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(gRenderer3D.lightingMode, LightingMode::toon);
    EXPECT_EQ(gRenderer3D.enabledLights, 0);
    SetSpotLight(-2, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0);

    SetTextureOffset(0.5, 0);
    EXPECT_FLOAT_EQ(gRenderer3D.textureOffset[0], 0.5f);
    Enter3DMode(1, 2000, 45);
    EXPECT_FLOAT_EQ(gRenderer3D.textureOffset[0], 0.0f);
    EXPECT_NEAR(gRenderer3D.cullConeTan, std::tan(50 / 57.29578), 1e-5);
    Enter3DMode(1, 2000, 120);
    EXPECT_NEAR(gRenderer3D.cullConeTan, std::tan(89 / 57.29578), 1e-3);

    // Everything else that would touch GL does nothing, and does not crash.
    shapes::MakeCube(40);
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
    EXPECT_EQ(gRenderer3D.objects[40].staticBuffer, 0u);
    EXPECT_EQ(gRenderer3D.objects[40].streamBuffer, 0u);
}

TEST_F(HeadlessScene, ProjectionWithoutAWindow) {
    double sx = -1, sy = -1, sz = -1;
    ASSERT_TRUE(ProjectPoint(0, 0, 0, sx, sy, sz));
    EXPECT_NEAR(sx, 320, 1e-3);
    EXPECT_NEAR(sy, 240, 1e-3);
    EXPECT_GT(sz, 0);
    EXPECT_LT(sz, 1);
    // A point up and right appears up and right.
    ASSERT_TRUE(ProjectPoint(1, 1, 0, sx, sy, sz));
    EXPECT_GT(sx, 320);
    EXPECT_LT(sy, 240);
    // Unproject flips y with the screen height minus 1: one row apart.
    double x, y, z;
    ASSERT_TRUE(ProjectPoint(1, 1, 0, sx, sy, sz));
    ASSERT_TRUE(UnprojectPoint(sx, sy, sz, x, y, z));
    double sx2, sy2, sz2;
    ASSERT_TRUE(ProjectPoint(x, y, z, sx2, sy2, sz2));
    EXPECT_NEAR(sx2, sx, 1e-2);
    EXPECT_NEAR(sy2, sy + 1, 1e-2);
    // A point in the camera's plane has w 0: nothing written.
    sx = 7;
    EXPECT_FALSE(ProjectPoint(5, 0, 10, sx, sy, sz));
    EXPECT_EQ(sx, 7);
}

TEST(FrameSelection, InterpolatedPoses) {
    FramePair f = ResolveFrames(5, 0, 4, 0.5, true);
    EXPECT_EQ(f.a, 2);
    EXPECT_EQ(f.b, 3);
    EXPECT_FLOAT_EQ(f.w, 1);
    f = ResolveFrames(5, 0, 4, 0.6, true);
    EXPECT_EQ(f.a, 2);
    EXPECT_EQ(f.b, 3);
    EXPECT_NEAR(f.w, 0.6, 1e-6);
    f = ResolveFrames(5, 4, 0, 0.6, true);
    EXPECT_EQ(f.a, 2);
    EXPECT_EQ(f.b, 1);
    EXPECT_NEAR(f.w, 0.6, 1e-6);
    const FramePair g = ResolveFrames(5, 0, 4, 1.25, true), h = ResolveFrames(5, 0, 4, 0.25, true);
    EXPECT_EQ(g.a, h.a);
    EXPECT_EQ(g.b, h.b);
    EXPECT_FLOAT_EQ(g.w, h.w);
    // t = 1 is the last frame; out-of-range and hostile values stay inside the frames.
    f = ResolveFrames(5, 0, 4, 1, true);
    EXPECT_EQ(f.a, 4);
    EXPECT_EQ(f.b, 4);
    f = ResolveFrames(3, -1, 0, 0, false);
    EXPECT_EQ(f.a, 0);
    // Frames beyond the int range end at the last frame: as stored, and as a pose of full weight.
    f = ResolveFrames(5, 1e300, 0, 0, false);
    EXPECT_EQ(f.a, 4);
    f = ResolveFrames(5, 0, 1e10, 0.5, true);
    EXPECT_EQ(f.a, 4);
    EXPECT_EQ(f.b, 4);
    EXPECT_FLOAT_EQ(f.w, 1);
    f = ResolveFrames(3, 1e300, -1e300, std::nan(""), true);
    EXPECT_GE(f.a, 0);
    EXPECT_LE(f.a, 2);
    EXPECT_GE(f.b, 0);
    EXPECT_LE(f.b, 2);
    EXPECT_TRUE(std::isfinite(f.w));
}

TEST(ViewCone, ApproximateRootAndCone) {
    EXPECT_FLOAT_EQ(ApproxSqrt(4), 2);
    EXPECT_FLOAT_EQ(ApproxSqrt(1), 1);
    EXPECT_FLOAT_EQ(ApproxSqrt(16), 4);
    EXPECT_NEAR(ApproxSqrt(2), std::sqrt(2.0f), 0.1f);

    Window().SetScreenSize(640, 480);
    Enter3DMode(1, 2000, 45);
    SetCamera(0, 0, 10, 0, 0, 0);
    EXPECT_TRUE(IsVisible(gRenderer3D, V(0, 0, 0), 1));
    EXPECT_TRUE(IsVisible(gRenderer3D, V(3, 0, 0), 1));
    EXPECT_FALSE(IsVisible(gRenderer3D, V(40, 0, 0), 1)); // far outside the cone
    EXPECT_TRUE(IsVisible(gRenderer3D, V(40, 0, 0), 40));
    EXPECT_FALSE(IsVisible(gRenderer3D, V(0, 0, 20), 5));  // behind the camera
    EXPECT_TRUE(IsVisible(gRenderer3D, V(0, 0, 12), 5));   // behind, but holds the camera
    EXPECT_FALSE(IsVisible(gRenderer3D, V(0, 0, 40), 25)); // behind, reaching toward the eye
    // Centres outside the cone whose spheres reach into the view, which spans 5.5 to each side
    // at depth 10 and 1.24 up at depth 3: the spheres reach x = 4 and x = 2.6 at depth 10, and
    // y = 0.85 at depth 3.
    EXPECT_TRUE(IsVisible(gRenderer3D, V(24, 0, 0), 20));
    EXPECT_TRUE(IsVisible(gRenderer3D, V(30, 0, 11), 29.5)); // centre behind the eye
    EXPECT_TRUE(IsVisible(gRenderer3D, V(0, 9.9, 9.9), 9.5)); // centre 0.1 in front
    EXPECT_FALSE(IsVisible(gRenderer3D, V(30, 0, 0), 5));
}

// ---- Queries

class Queries : public HeadlessScene {
protected:
    void SetUp() override {
        HeadlessScene::SetUp();
        shapes::MakeCube(50);     // closed cube -1..1
        shapes::MakeQuad(51);     // square in z = 0, -1..1
    }
};

TEST_F(Queries, SphereTouchingAndCutting) {
    EXPECT_EQ(CollideSphere(51, 0, 1, 0, 0, 1), 0);     // touches the plane only
    EXPECT_EQ(CollideSphere(51, 0, 1.01, 0, 0, 1), 1);
    EXPECT_EQ(CollideSphere(51, 0, 0.5, 1.3, 0, 0.1), 1); // near an edge
    EXPECT_EQ(CollideSphere(51, 0, 0.2, 1.3, 0, 0.1), 0);
    MoveObject(5, 0, 0);
    EXPECT_EQ(CollideSphere(51, 0, 0.5, 0, 0, 0.1), 0);
    EXPECT_EQ(CollideSphere(51, 0, 0.5, 5, 0, 0.1), 1);
}

TEST_F(Queries, BoxAgainstTriangles) {
    EXPECT_EQ(CollideBox(50, 0, 0, 0, 0, 1, 1), 0);     // wholly inside the closed cube: no face met
    EXPECT_EQ(CollideBox(50, 0, 2.4, 0, 0, 1, 1), 0);
    EXPECT_EQ(CollideBox(50, 0, 1.4, 0, 0, 1, 1), 1);
    EXPECT_EQ(CollideBox(51, 0, 0, 0, 0.6, 1, 1), 0);   // box above the square
    EXPECT_EQ(CollideBox(51, 0, 0, 0, 0.4, 1, 1), 1);
    // Turned by 45 degrees about y, the object's square reaches further along x.
    MoveObject(0, 0, 0);
    RotateObject(45, 0, 1, 0);
    EXPECT_EQ(CollideBox(51, 0, 0.6, 0, 0.6, 0.1, 0.1), 0);
    EXPECT_EQ(CollideBox(51, 0, 0.6, 0, -0.6, 0.1, 0.1), 1);
}

// Boxes near the faces, edges and corners of the closed cube -1..1 (slot 50), as the transform
// stack places it, turned so that its corners leave the grid below. Each hit holds the named
// point of the cube; each miss lies just beyond it.
TEST_F(Queries, BoxNearFacesEdgesAndCorners) {
    const double r2 = std::sqrt(2.0), c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    struct Case {
        const char* what;
        shapes::P3 move;
        double angle;
        shapes::P3 axis;
        shapes::P3 at;
        double width, height, hit;
    } cases[] = {
        {"face x = 1 holds (1, 0.95, 0)", {0, 0, 0}, 0, {0, 1, 0}, {1.4, 1.4, 0}, 1, 1, 1},
        {"corner (1, 1, 1)", {0, 0, 0}, 0, {0, 1, 0}, {1.2, 1.2, 1.2}, 0.5, 0.5, 1},
        {"round the whole cube", {0, 0, 0}, 0, {0, 1, 0}, {0, 0, 0}, 3, 3, 1},
        {"moved: corner (6, -1, 4)", {5, -2, 3}, 0, {0, 1, 0}, {6.2, -0.8, 4.2}, 0.5, 0.5, 1},
        {"45 about y: corner (r2, 1, 0)", {0, 0, 0}, 45, {0, 1, 0}, {r2 + 0.2, 1.2, 0}, 0.5, 0.5, 1},
        {"45 about y: beyond it", {0, 0, 0}, 45, {0, 1, 0}, {r2 + 0.3, 1.2, 0}, 0.5, 0.5, 0},
        {"45 about x: corner (1, r2, 0)", {0, 0, 0}, 45, {1, 0, 0}, {1.2, r2 + 0.2, 0}, 0.5, 0.5, 1},
        {"45 about x: beyond it", {0, 0, 0}, 45, {1, 0, 0}, {1.2, r2 + 0.3, 0}, 0.5, 0.5, 0},
        {"moved, 30 about z: corner", {3, 0, 0}, 30, {0, 0, 1}, {3 + c30 - s30, c30 + s30 + 0.2, 1.2}, 0.5, 0.5, 1},
        {"moved, 30 about z: beyond it", {3, 0, 0}, 30, {0, 0, 1}, {3 + c30 - s30, c30 + s30 + 0.3, 1.2}, 0.5, 0.5, 0},
    };
    for (const Case& c : cases) {
        MoveObject(c.move.x, c.move.y, c.move.z);
        if (c.angle != 0) RotateObject(c.angle, c.axis.x, c.axis.y, c.axis.z);
        EXPECT_EQ(CollideBox(50, 0, c.at.x, c.at.y, c.at.z, c.width, c.height), c.hit) << c.what;
    }
}

// Boxes and spheres on a grid round the cube against the exact answer, with the cube moved and
// turned by quarter turns (the same set of points, but the query's axes are carried). The grid
// keeps every box face at least 0.05 from a cube face; spheres within 0.02 of touching are left
// out, where single precision may go either way.
TEST_F(Queries, BoxesAndSpheresOnAGridAgainstTheExactAnswer) {
    struct Placement {
        shapes::P3 move;
        double turns[2][4];
    } placements[] = {{{0, 0, 0}, {}},
                      {{5, -2, 3}, {}},
                      {{5, -2, 3}, {{90, 0, 0, 1}}},
                      {{0, 0, 0}, {{90, 1, 0, 0}, {-90, 0, 1, 0}}}};
    const double halves[2][2] = {{0.25, 0.65}, {0.65, 0.25}}; // (width, height) / 2
    const double radii[2] = {0.45, 1.1};
    int spheresChecked = 0;
    for (const Placement& p : placements) {
        MoveObject(p.move.x, p.move.y, p.move.z);
        for (const auto& t : p.turns) {
            if (t[0] != 0) RotateObject(t[0], t[1], t[2], t[3]);
        }
        for (int i = -7; i <= 7; ++i) {
            for (int j = -7; j <= 7; ++j) {
                for (int k = -7; k <= 7; ++k) {
                    const double q[3] = {0.3 * i, 0.3 * j, 0.3 * k}; // relative to the cube's centre
                    const double x = p.move.x + q[0], y = p.move.y + q[1], z = p.move.z + q[2];
                    for (const auto& h : halves) {
                        const double half[3] = {h[0], h[1], h[0]};
                        bool overlaps = true, inside = true;
                        for (int a = 0; a < 3; ++a) {
                            overlaps = overlaps && std::fabs(q[a]) - half[a] <= 1;
                            inside = inside && std::fabs(q[a]) + half[a] < 1;
                        }
                        ASSERT_EQ(CollideBox(50, 0, x, y, z, 2 * h[0], 2 * h[1]), overlaps && !inside ? 1 : 0)
                            << "box at " << q[0] << " " << q[1] << " " << q[2] << " half " << h[0] << " " << h[1];
                    }
                    // Distance from the centre to the cube's surface.
                    double out = 0, in = 1;
                    for (double v : q) {
                        out += std::pow(std::max(std::fabs(v) - 1, 0.0), 2);
                        in = std::min(in, 1 - std::fabs(v));
                    }
                    const double toSurface = out > 0 ? std::sqrt(out) : in;
                    for (double r : radii) {
                        if (std::fabs(toSurface - r) < 0.02) continue;
                        ++spheresChecked;
                        ASSERT_EQ(CollideSphere(50, 0, r, x, y, z), toSurface < r ? 1 : 0)
                            << "sphere at " << q[0] << " " << q[1] << " " << q[2] << " radius " << r;
                    }
                }
            }
        }
    }
    EXPECT_GT(spheresChecked, 20000);
    // A negative radius is an empty sphere, even round the first vertex.
    MoveObject(0, 0, 0);
    EXPECT_EQ(CollideSphere(50, 0, -3, 0.5, -0.5, -0.5), 0);
    EXPECT_EQ(CollideSphere(50, 0, 3, 0.5, -0.5, -0.5), 1);
}

TEST_F(Queries, RayDistances) {
    EXPECT_NEAR(CollideRay(50, 0, 0, 0, 0, 1, 0, 0), 1, 0.02);     // from inside: the wall in front
    EXPECT_NEAR(CollideRay(50, 0, 0, 0, 5, 0, 0, -1), 4, 0.02);
    EXPECT_NEAR(CollideRay(50, 0, 0, 0, 5, 0, 0, -2), 4, 0.02);    // length 2 as length 1
    EXPECT_NEAR(CollideRay(51, 0, 0.2, 0.1, -3, 0, 0, -1), -3, 1e-4); // behind the origin
    EXPECT_EQ(CollideRay(51, 0, 3, 0, -3, 0, 0, 1), 0);              // misses
    MoveObject(0, 0, -2);
    EXPECT_NEAR(CollideRay(51, 0, 0.5, 0, 5, 0, 0, -1), 7, 1e-4);
    RotateObject(90, 0, 1, 0); // the square now stands in x = 0 around z = -2
    EXPECT_EQ(CollideRay(51, 0, 0.5, 0, 5, 0, 0, -1), 0);
    EXPECT_NEAR(CollideRay(51, 0, 5, 0.1, -2.1, -1, 0, 0), 5, 1e-4);
}

TEST_F(Queries, RefusedSlotsAndFrames) {
    for (double frame : {1.0, 2.0, -1.0, -0.5 - 1, 1e300, std::nan("")}) {
        EXPECT_EQ(CollideSphere(50, frame, 5, 0, 0, 0), 0) << frame;
        EXPECT_EQ(CollideBox(50, frame, 0, 0, 0, 5, 5), 0) << frame;
        EXPECT_EQ(CollideRay(50, frame, 0, 0, 0, 1, 0, 0), 0) << frame;
    }
    for (double id : {-1.0, 4096.0, 1e12, std::nan(""), 60.0 /* empty */}) {
        EXPECT_EQ(CollideSphere(id, 0, 5, 0, 0, 0), 0) << id;
        EXPECT_EQ(CollideBox(id, 0, 0, 0, 0, 5, 5), 0) << id;
        EXPECT_EQ(CollideRay(id, 0, 0, 0, 0, 1, 0, 0), 0) << id;
        DrawObject(id, 0);
        DrawObjectAnim(id, 0, 3, 0.5, 1);
    }
    EXPECT_EQ(CollideSphere(50, 0.9, 0.5, 0, 0, 1), 1); // frame 0.9 is frame 0
}

} // namespace
