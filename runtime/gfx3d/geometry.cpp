// Geometric tests of the collision queries.
#include "gfx3d/geometry.h"

#include <algorithm>
#include <cmath>

namespace scene3d {

float RayTriangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 p, Vec3 q) {
    const Vec3 u = v1 - v0, v = v2 - v0, n = Cross(u, v);
    if (n.x == 0 && n.y == 0 && n.z == 0) return 0;
    const Vec3 d = q - p;
    const float den = Dot(n, d);
    if (den == 0) return 0;
    const float t = -Dot(n, p - v0) / den;
    const Vec3 w = p + d * t - v0;
    const float uv = Dot(u, v), uu = Dot(u, u), vv = Dot(v, v), wu = Dot(w, u), wv = Dot(w, v);
    const float k = uv * uv - uu * vv;
    const float s = (uv * wv - vv * wu) / k;
    if (!(s >= 0 && s <= 1)) return 0;
    const float r = (uv * wu - uu * wv) / k;
    if (!(r >= 0)) return 0;
    return s + r <= 1 ? t : 0;
}

Vec3 ClosestPointOnSegment(Vec3 s0, Vec3 s1, Vec3 point) {
    const Vec3 d = s1 - s0;
    const float len = std::sqrt(Dot(d, d));
    if (!(len > 1e-8f)) return s0;
    const float t = Dot(point - s0, d) / (len * len);
    if (t <= 0) return s0;
    if (t >= 1) return s1;
    return s0 + d * t;
}

bool PointInPolygon(Vec3 point, const Vec3* vertices, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const Vec3 a = vertices[i] - point, b = vertices[(i + 1) % n] - point;
        const float sa = Dot(a, a), sb = Dot(b, b);
        const float la = sa > 1e-7f ? std::sqrt(sa) : 0.0f;
        const float lb = sb > 1e-7f ? std::sqrt(sb) : 0.0f;
        const float product = la * lb;
        if (product <= 1e-8f) continue;
        const float c = std::clamp(Dot(a, b) / product, -1.0f, 1.0f);
        sum += std::acos(c);
    }
    return sum >= 6.2203535;
}

bool SphereTriangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 centre, float radius) {
    Vec3 n = Cross(v2 - v0, v1 - v0);
    n = NormalisedIfLong(n);
    const float d = Dot(n, centre - v0);
    if (!(std::fabs(d) < radius)) return false;
    const Vec3 tri[3] = {v0, v1, v2};
    if (PointInPolygon(centre - n * d, tri, 3)) return true;
    for (int i = 0; i < 3; ++i) {
        const Vec3 q = ClosestPointOnSegment(tri[i], tri[(i + 1) % 3], centre);
        const Vec3 off = centre - q;
        if (std::sqrt(Dot(off, off)) < radius) return true;
    }
    return false;
}

bool BoxTriangle(Vec3 centre, Vec3 a1, Vec3 a2, Vec3 a3, Vec3 v0, Vec3 v1, Vec3 v2) {
    const Vec3 edges[3] = {v1 - v0, v2 - v1, v0 - v2};
    Vec3 axes[13] = {a1, a2, a3, Cross(edges[0], edges[1])};
    const Vec3 halves[3] = {a1, a2, a3};
    int k = 4;
    for (const Vec3& h : halves) {
        for (const Vec3& e : edges) axes[k++] = Cross(h, e);
    }
    for (const Vec3& l : axes) {
        const float p0 = Dot(l, v0), p1 = Dot(l, v1), p2 = Dot(l, v2);
        const float lo = std::min({p0, p1, p2}), hi = std::max({p0, p1, p2});
        const float c = Dot(l, centre);
        const float extent = std::fabs(Dot(l, a1)) + std::fabs(Dot(l, a2)) + std::fabs(Dot(l, a3));
        // Written as "do not meet" so that a NaN anywhere (a box at an undefined place or of
        // an undefined size) separates instead of meeting every triangle.
        if (!(c + extent >= lo && c - extent <= hi)) return false;
    }
    return true;
}

} // namespace scene3d
