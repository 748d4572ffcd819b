// The nine models against the game's coordinates: where the game draws each one, what it must
// touch, hold or clear, and that every face points outward.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "mesh.h"
#include "models.h"

namespace {

using assetgen::Mesh;
using assetgen::Vec3;
using assetgen::Vertex;

struct Bounds {
    Vec3 lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
};

Bounds BoundsOf(const Mesh& mesh, const std::function<bool(const Vec3&)>& keep = nullptr) {
    Bounds b;
    for (const Vertex& v : mesh.Vertices()) {
        if (keep && !keep(v.pos)) continue;
        b.lo = {std::min(b.lo.x, v.pos.x), std::min(b.lo.y, v.pos.y), std::min(b.lo.z, v.pos.z)};
        b.hi = {std::max(b.hi.x, v.pos.x), std::max(b.hi.y, v.pos.y), std::max(b.hi.z, v.pos.z)};
    }
    return b;
}

// Six times the enclosed volume; positive when the triangles of a closed mesh face outward.
double SignedVolume(const Mesh& mesh) {
    double sum = 0;
    const auto& v = mesh.Vertices();
    for (size_t i = 0; i + 2 < v.size(); i += 3) sum += Dot(v[i].pos, Cross(v[i + 1].pos, v[i + 2].pos));
    return sum;
}

struct Named {
    std::string name;
    Mesh mesh;
};

std::vector<Named> AllModels() {
    return {{"table", assetgen::MakeTableModel()},   {"sphere", assetgen::MakeSphereModel()},
            {"pointer", assetgen::MakePointerModel()}, {"back", assetgen::MakeBackWallModel()},
            {"rim", assetgen::MakeRimModel()},         {"tube", assetgen::MakeTubeModel()},
            {"spike", assetgen::MakeSpikeModel()},     {"rod", assetgen::MakeRodModel()},
            {"sucker", assetgen::MakeSuckerModel()}};
}

TEST(ModelFaces, EveryTriangleIsWoundTowardItsNormals) {
    for (const Named& m : AllModels()) {
        const auto& v = m.mesh.Vertices();
        ASSERT_GT(m.mesh.TriangleCount(), 0u) << m.name;
        ASSERT_EQ(v.size() % 3, 0u) << m.name;
        for (size_t i = 0; i < v.size(); i += 3) {
            Vec3 face = Cross(v[i + 1].pos - v[i].pos, v[i + 2].pos - v[i].pos);
            for (int k = 0; k < 3; ++k)
                ASSERT_GT(Dot(face, v[i + k].normal), 0) << m.name << " triangle " << i / 3 << " vertex " << k;
        }
    }
}

TEST(ModelFaces, ClosedModelsFaceOutward) {
    for (const Named& m : AllModels()) {
        if (m.name == "table") continue;  // an open surface with sides, seen from above only
        EXPECT_GT(SignedVolume(m.mesh), 0) << m.name;
    }
}

// Crossings of the ray from o along d with the mesh's triangles (Moller-Trumbore), but skip.
int Crossings(const Mesh& mesh, Vec3 o, Vec3 d, size_t skip) {
    const auto& v = mesh.Vertices();
    int hits = 0;
    for (size_t i = 0; i + 2 < v.size(); i += 3) {
        if (i == skip) continue;
        Vec3 e1 = v[i + 1].pos - v[i].pos, e2 = v[i + 2].pos - v[i].pos;
        Vec3 p = Cross(d, e2);
        double det = Dot(e1, p);
        if (std::fabs(det) < 1e-12) continue;
        Vec3 s = o - v[i].pos;
        double a = Dot(s, p) / det;
        if (a < 0 || a > 1) continue;
        Vec3 q = Cross(s, e1);
        double b = Dot(d, q) / det;
        if (b < 0 || a + b > 1) continue;
        if (Dot(e2, q) / det > 0) ++hits;
    }
    return hits;
}

TEST(ModelFaces, EveryFaceOfAClosedModelLooksOutOfIt) {
    // A ray leaving a face on its front side crosses the closed surface an even number of
    // times when that side is the outside. (The signed volume above only sees the sum.) The
    // rim is left out: its three boxes touch, so the faces where they meet are inside it.
    for (const Named& m : AllModels()) {
        if (m.name == "table" || m.name == "rim") continue;
        const auto& v = m.mesh.Vertices();
        int inward = 0;
        for (size_t i = 0; i + 2 < v.size(); i += 3) {
            Vec3 n = assetgen::Normalised(Cross(v[i + 1].pos - v[i].pos, v[i + 2].pos - v[i].pos));
            Vec3 c = (v[i].pos + v[i + 1].pos + v[i + 2].pos) * (1.0 / 3);
            Vec3 d = assetgen::Normalised(n + Vec3{0.0013, 0.0007, 0.0011});  // off any edge-on path
            if (Crossings(m.mesh, c + n * 1e-4, d, i) % 2 != 0) ++inward;
        }
        EXPECT_EQ(inward, 0) << m.name;
    }
}

TEST(ModelPlaces, SphereHasTheBallRadiusAboutItsOrigin) {
    Mesh sphere = assetgen::MakeSphereModel();
    for (const Vertex& v : sphere.Vertices()) {
        ASSERT_NEAR(std::sqrt(Dot(v.pos, v.pos)), 20.0, 1e-9);
        ASSERT_GE(v.v, 0.0);
        ASSERT_LE(v.v, 1.0);
    }
    Bounds b = BoundsOf(sphere);
    EXPECT_NEAR(b.lo.y, -20, 1e-9);
    EXPECT_NEAR(b.hi.y, 20, 1e-9);
}

TEST(ModelPlaces, TableSurfaceCoversThePlayingArea) {
    Mesh table = assetgen::MakeTableModel();
    Bounds top = BoundsOf(table, [](const Vec3& p) { return p.y == 0; });
    EXPECT_EQ(top.lo.x, -340);
    EXPECT_EQ(top.hi.x, 340);
    EXPECT_EQ(top.lo.z, -700);
    EXPECT_EQ(top.hi.z, 900);
    EXPECT_EQ(BoundsOf(table).hi.y, 0);  // nothing stands above the surface
    // The surface faces up, lit per vertex: it is cut finely enough for the point light.
    for (const Vertex& v : table.Vertices())
        if (v.pos.y == 0 && std::fabs(v.pos.x) < 340 && v.pos.z > -700 && v.pos.z < 900) {
            ASSERT_EQ(v.normal.y, 1);
        }
    EXPECT_GE(table.TriangleCount(), 800u);
}

TEST(ModelPlaces, RimRailsStandJustOutsideTheBounceLines) {
    // Drawn at (0, 10, 0). Balls bounce at x = +/-296 and have radius 20.
    Mesh rim = assetgen::MakeRimModel();
    Bounds sides = BoundsOf(rim, [](const Vec3& p) { return p.z > -688; });
    double innerMost = 1e9;
    for (const Vertex& v : rim.Vertices())
        if (v.pos.z > -688) innerMost = std::min(innerMost, std::fabs(v.pos.x));
    EXPECT_GT(innerMost, 296 + 20);
    EXPECT_LT(innerMost, 296 + 20 + 5);
    EXPECT_EQ(sides.lo.y + 10, 0);        // stands on the table
    EXPECT_GE(sides.hi.y + 10, 20);       // higher than a ball's centre
    EXPECT_LE(BoundsOf(rim).lo.z, -700);
    EXPECT_GE(sides.hi.z, 900);
    // The near rail stays behind the bases' recoiling tubes (breech at -650, 30 units of recoil).
    Bounds nearRail = BoundsOf(rim, [](const Vec3& p) { return std::fabs(p.x) < 318; });
    EXPECT_LT(nearRail.hi.z, -650 - 30);
}

TEST(ModelPlaces, BackWallClosesTheFarEnd) {
    // Drawn at (0, -10, 400).
    Mesh back = assetgen::MakeBackWallModel();
    Bounds b = BoundsOf(back);
    EXPECT_NEAR(b.lo.z + 400, 880, 1e-9);
    EXPECT_NEAR(b.lo.y - 10, 0, 1e-9);
    EXPECT_LE(b.lo.x, -340);
    EXPECT_GE(b.hi.x, 340);
    // Beyond the farthest ball (z 820 and a target respawning at 840, radius 20).
    EXPECT_GT(b.lo.z + 400, 840 + 20);
}

TEST(ModelPlaces, TubeHoldsTheRestingStrikerAndOpensUpTheTable) {
    Mesh tube = assetgen::MakeTubeModel();
    for (const Vertex& v : tube.Vertices()) ASSERT_GT(std::sqrt(Dot(v.pos, v.pos)), 20.0);
    Bounds b = BoundsOf(tube);
    // The closed end is at +z (a vertex on the axis), the open mouth at -z (nothing near the
    // axis): the game turns the tube by 180 degrees, so the mouth faces up the table.
    double nearAxisMinZ = 1e9, nearAxisMaxZ = -1e9;
    for (const Vertex& v : tube.Vertices())
        if (std::hypot(v.pos.x, v.pos.y) < 20) {
            nearAxisMinZ = std::min(nearAxisMinZ, v.pos.z);
            nearAxisMaxZ = std::max(nearAxisMaxZ, v.pos.z);
        }
    EXPECT_NEAR(nearAxisMaxZ, b.hi.z, 1e-9);
    EXPECT_GT(nearAxisMinZ, b.lo.z + 20);
    // The mouth stays behind the ball resting 100 units ahead (radius 20).
    EXPECT_GT(b.lo.z, -100 + 20);
}

TEST(ModelPlaces, PointerLiesOnTheTubeAndPointsUpTheTable) {
    Mesh pointer = assetgen::MakePointerModel();
    Bounds b = BoundsOf(pointer);
    Bounds tube = BoundsOf(assetgen::MakeTubeModel());
    EXPECT_GE(b.lo.y, tube.hi.y);  // above the barrel
    EXPECT_LT(b.lo.z, tube.lo.z);  // reaches beyond the mouth
    Bounds tip = BoundsOf(pointer, [&](const Vec3& p) { return p.z == b.lo.z; });
    EXPECT_EQ(tip.lo.x, 0);
    EXPECT_EQ(tip.hi.x, 0);
}

TEST(ModelPlaces, SpikeHidesWhenDownAndStandsWhenUp) {
    // Drawn at y = height - 10 with height 0 (down) .. 20 (up).
    Bounds b = BoundsOf(assetgen::MakeSpikeModel());
    EXPECT_LT(b.hi.y + (0 - 10), 0);
    EXPECT_NEAR(b.hi.y + (20 - 10), 20, 1);
    EXPECT_LT(b.lo.y + (20 - 10), 0);  // its base stays under the table
    EXPECT_LT(b.hi.x, 10);             // spikes stand 20 apart
}

TEST(ModelPlaces, SuckerRimRestsOnTheCarriedBall) {
    // The carried ball's centre is 30 below the rod's height (rod at 90, ball at 20 + 40).
    Mesh sucker = assetgen::MakeSuckerModel();
    const Vec3 ball{0, -30, 0};
    double closest = 1e9;
    for (const Vertex& v : sucker.Vertices()) closest = std::min(closest, std::sqrt(Dot(v.pos - ball, v.pos - ball)));
    EXPECT_GE(closest, 20 - 1e-6);  // never inside the ball
    EXPECT_LT(closest, 20 + 0.5);   // and touching it
    Bounds b = BoundsOf(sucker);
    EXPECT_LT(b.lo.y, -10);  // the cup reaches down over the ball's top (y -10)
}

TEST(ModelPlaces, RodRisesFromTheSucker) {
    Bounds rod = BoundsOf(assetgen::MakeRodModel());
    Bounds sucker = BoundsOf(assetgen::MakeSuckerModel());
    EXPECT_LE(rod.lo.y, sucker.hi.y);  // joined
    EXPECT_GE(rod.hi.y, 200);
    EXPECT_LT(rod.hi.x, 5);
}

}  // namespace
