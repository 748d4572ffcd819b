// The collision primitives against independent references on random triangles: Moller-Trumbore
// for rays, the closest point on a triangle for spheres, and polygon clipping for boxes. Cases
// within a small margin of the boundary are skipped, where single precision may go either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "gfx3d/geometry.h"

using namespace scene3d;

namespace {

struct D3 {
    double x, y, z;
};
D3 Sub(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 Add(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 Mul(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 Cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 F(D3 a) { return V(float(a.x), float(a.y), float(a.z)); }

// Closest point on a triangle (region tests on the barycentric coordinates).
D3 ClosestOnTriangle(D3 p, D3 a, D3 b, D3 c) {
    const D3 ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a);
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const D3 bp = Sub(p, b);
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return Add(a, Mul(ab, d1 / (d1 - d3)));
    const D3 cp = Sub(p, c);
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return Add(a, Mul(ac, d2 / (d2 - d6)));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) return Add(b, Mul(Sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
    const double denom = 1 / (va + vb + vc);
    return Add(a, Add(Mul(ab, vb * denom), Mul(ac, vc * denom)));
}

// Box overlap by clipping the triangle against the six slabs of an axis-aligned box: the
// polygon left over is empty exactly when they do not meet. grow widens the box.
bool ClipOverlap(D3 half, D3 a, D3 b, D3 c, double grow) {
    std::vector<D3> poly = {a, b, c};
    const double h[3] = {half.x + grow, half.y + grow, half.z + grow};
    for (int axis = 0; axis < 3; ++axis) {
        for (double sign : {1.0, -1.0}) {
            std::vector<D3> out;
            auto value = [&](D3 p) { return sign * (axis == 0 ? p.x : axis == 1 ? p.y : p.z) - h[axis]; };
            for (size_t i = 0; i < poly.size(); ++i) {
                const D3 p = poly[i], q = poly[(i + 1) % poly.size()];
                const double vp = value(p), vq = value(q);
                if (vp <= 0) out.push_back(p);
                if ((vp < 0 && vq > 0) || (vp > 0 && vq < 0)) out.push_back(Add(p, Mul(Sub(q, p), vp / (vp - vq))));
            }
            poly.swap(out);
            if (poly.empty()) return false;
        }
    }
    return true;
}

class RandomTriangles : public ::testing::Test {
protected:
    std::mt19937 rng{20261206};
    double U(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    D3 P(double r) { return {U(-r, r), U(-r, r), U(-r, r)}; }
};

TEST_F(RandomTriangles, RayAgainstMollerTrumbore) {
    int hits = 0, checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const D3 a = P(2), b = P(2), c = P(2), p = P(4);
        const D3 d = Sub(P(1), Mul(p, 0.3));
        const D3 e1 = Sub(b, a), e2 = Sub(c, a), pv = Cross(d, e2);
        const double det = Dot(e1, pv);
        if (std::fabs(det) < 1e-3 || Dot(Cross(e1, e2), Cross(e1, e2)) < 1e-3) continue;
        const D3 tv = Sub(p, a);
        const double u = Dot(tv, pv) / det;
        const D3 qv = Cross(tv, e1);
        const double v = Dot(d, qv) / det, t = Dot(e2, qv) / det;
        const double margin = std::min({u, v, 1 - u - v});
        if (std::fabs(margin) < 1e-3 || std::fabs(t) < 1e-3) continue;
        ++checked;
        const float got = RayTriangle(F(a), F(b), F(c), F(p), F(Add(p, d)));
        if (margin > 0) {
            ++hits;
            EXPECT_NEAR(got, t, 1e-3 * std::max(1.0, std::fabs(t))) << i;
        } else {
            EXPECT_EQ(got, 0.0f) << i;
        }
    }
    EXPECT_GT(checked, 15000);
    EXPECT_GT(hits, 1000);
}

TEST_F(RandomTriangles, SphereAgainstClosestPoint) {
    int hits = 0, checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const D3 a = P(2), b = P(2), c = P(2), centre = P(3);
        const double r = U(0.05, 2);
        if (Dot(Cross(Sub(b, a), Sub(c, a)), Cross(Sub(b, a), Sub(c, a))) < 1e-2) continue;
        const D3 q = Sub(centre, ClosestOnTriangle(centre, a, b, c));
        const double dist = std::sqrt(Dot(q, q));
        if (std::fabs(dist - r) < 1e-3) continue;
        ++checked;
        const bool expected = dist < r;
        hits += expected;
        EXPECT_EQ(SphereTriangle(F(a), F(b), F(c), F(centre), float(r)), expected) << i;
    }
    EXPECT_GT(checked, 15000);
    EXPECT_GT(hits, 2000);
}

TEST_F(RandomTriangles, BoxAgainstClipping) {
    int hits = 0, checked = 0;
    for (int i = 0; i < 20000; ++i) {
        // A box turned about y by a random angle: the triangle is carried into its frame for
        // the reference.
        const double angle = U(0, 6.283), cs = std::cos(angle), sn = std::sin(angle);
        const D3 half = {U(0.1, 1.5), U(0.1, 1.5), U(0.1, 1.5)};
        const D3 centre = P(1);
        const D3 ax = {cs, 0, -sn}, ay = {0, 1, 0}, az = {sn, 0, cs};
        const D3 a = P(3), b = P(3), c = P(3);
        auto local = [&](D3 p) {
            const D3 o = Sub(p, centre);
            return D3{Dot(o, ax), Dot(o, ay), Dot(o, az)};
        };
        const bool loose = ClipOverlap(half, local(a), local(b), local(c), 1e-3);
        const bool tight = ClipOverlap(half, local(a), local(b), local(c), -1e-3);
        if (loose != tight) continue;
        ++checked;
        hits += tight;
        const bool got = BoxTriangle(F(centre), F(Mul(ax, half.x)), F(Mul(az, half.z)), F(Mul(ay, half.y)), F(a), F(b), F(c));
        EXPECT_EQ(got, tight) << i;
    }
    EXPECT_GT(checked, 15000);
    EXPECT_GT(hits, 2000);
}

// Points beyond either end of a segment (in a triangle a wrong end is masked by the next edge),
// and the degenerate shapes the random triangles leave out.
TEST(GeometryEdges, SegmentEndsAndDegenerateShapes) {
    const Vec3 s0 = V(0, 0, 0), s1 = V(2, 0, 0);
    EXPECT_FLOAT_EQ(ClosestPointOnSegment(s0, s1, V(-3, 1, 0)).x, 0);
    EXPECT_FLOAT_EQ(ClosestPointOnSegment(s0, s1, V(9, 1, 0)).x, 2);
    EXPECT_FLOAT_EQ(ClosestPointOnSegment(s0, s0, V(9, 1, 0)).x, 0);
    // A line-shaped triangle has no normal: rays pass, boxes meet on collapsed axes.
    EXPECT_EQ(RayTriangle(V(0, 0, 0), V(1, 0, 0), V(2, 0, 0), V(0.5f, 0, -1), V(0.5f, 0, 1)), 0.0f);
    EXPECT_TRUE(BoxTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 0, 1), V(0, 1, 0), V(-0.5f, 0, 0), V(0, 0, 0), V(0.5f, 0, 0)));
    EXPECT_FALSE(BoxTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 0, 1), V(0, 1, 0), V(-0.5f, 3, 0), V(0, 3, 0), V(0.5f, 3, 0)));
}

} // namespace
