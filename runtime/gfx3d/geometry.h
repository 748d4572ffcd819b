// Geometric tests of the collision queries, on single-precision vectors in object space.
#pragma once

#include "gfx3d/scene.h"

namespace scene3d {

// Line parameter t of the hit of the line P + (Q - P) t with the triangle; 0 when none.
float RayTriangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 p, Vec3 q);
// The sphere cuts the triangle's plane (touching does not count) inside the triangle or
// within radius of one of its edges.
bool SphereTriangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 centre, float radius);
// Separating-axis test of the box (centre, half-axis vectors a1, a2, a3) and the triangle
// over 13 axes; intervals that only touch still meet.
bool BoxTriangle(Vec3 centre, Vec3 a1, Vec3 a2, Vec3 a3, Vec3 v0, Vec3 v1, Vec3 v2);
// The angles seen from the point sum to a full turn (within 1 %).
bool PointInPolygon(Vec3 point, const Vec3* vertices, int n);
Vec3 ClosestPointOnSegment(Vec3 s0, Vec3 s1, Vec3 point);

} // namespace scene3d
