// Collision queries against an object placed by the transform stack, projection between world
// and screen, and the 3D markers (dots, lines, axes, wire spheres and boxes; glscene.cpp draws
// them). The queries carry
// the query shape into the object's space with the rigid inverse of the transform stack and
// need no GL, so they work in a program without a window.
#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "gfx2d/renderer.h"
#include "gfx3d/geometry.h"
#include "gfx3d/glscene.h"
#include "gfx3d/scene.h"
#include "voxa/gfx3d.h"
#include "voxa/window.h"
#include "window/window.h"

using namespace scene3d;

namespace {

constexpr uint32_t kGreen = 0xFF00, kRed = 0xFF, kYellow = 0xFFFF;

// The frame a query works on, and the inverse of the object's transform; null when the slot id
// or the frame is out of range or the frame has no whole triangle.
const ModelFrame* QueryFrame(double id, double frameArg, Mat4& inverse) {
    MeshObjectX* s = gRenderer3D.Slot(id);
    int32_t frame = 0;
    if (s == nullptr || !IdFrom(frameArg, s->frames.Count(), frame)) return nullptr;
    const ModelFrame& f = s->frames[frame];
    if (f.triangles.Count() < 3) return nullptr;
    inverse = RigidInverse(TransformStackMatrix(gRenderer3D));
    return &f;
}

bool DebugDrawing() { return gSettings.debugMode != 0 && GlReady(); }

// Runs draw with the camera's modelview loaded: the markers are given in world coordinates.
template <typename Draw>
void WithCamera(Draw draw) {
    PushModelview(gRenderer3D.cameraMatrix);
    draw();
    PopModelview();
}

// The twelve edges of a box from its corners (bits 0, 1, 2 of a corner index: the side of each axis).
void DrawBoxMarker(const Vec3 corners[8], double colour, double width) {
    static const int kEdges[12][2] = {{0, 1}, {1, 3}, {3, 2}, {2, 0}, {4, 5}, {5, 7},
                                      {7, 6}, {6, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (const auto& e : kEdges) {
        const Vec3 a = corners[e[0]], c = corners[e[1]];
        DrawLine3D(a.x, a.y, a.z, c.x, c.y, c.z, width, colour);
    }
}

// Viewport and the product projection * modelview: GL's current ones when a context exists,
// otherwise those the 3D commands last set.
Mat4 ViewProjection(int32_t viewport[4]) {
    Mat4 projection, modelview;
    if (GlReady()) {
        ReadGlTransforms(viewport, projection, modelview);
    } else {
        std::copy(gRenderer3D.scene.viewport, gRenderer3D.scene.viewport + 4, viewport);
        projection = gRenderer3D.scene.projection;
        modelview = gRenderer3D.scene.modelview;
    }
    return Multiply(projection, modelview);
}

// How far the box's corners lie from its centre: the longest half diagonal. The four are
// measured because the carried axes stay perpendicular only when the transform does not scale.
float BoxReach(const Vec3 axes[3]) {
    float longest = 0;
    for (float s2 : {1.0f, -1.0f}) {
        for (float s3 : {1.0f, -1.0f}) {
            const Vec3 d = axes[0] + axes[1] * s2 + axes[2] * s3;
            longest = std::max(longest, Dot(d, d));
        }
    }
    return std::sqrt(longest);
}

void Apply4(const Mat4& m, const double in[4], double out[4]) {
    for (int row = 0; row < 4; ++row) {
        out[row] = double(m.m[row]) * in[0] + double(m.m[4 + row]) * in[1] + double(m.m[8 + row]) * in[2] +
                   double(m.m[12 + row]) * in[3];
    }
}

} // namespace

double CollideSphere(double id, double frame, double radius, double x, double y, double z) {
    Mat4 inverse;
    const ModelFrame* f = QueryFrame(id, frame, inverse);
    if (f == nullptr) return 0;
    const Vec3 world = V(float(x), float(y), float(z));
    const Vec3 c = TransformPoint(inverse, world);
    const float r = float(radius);
    const Vec3 toCentre = c - FromArray(f->centre);
    bool hit = false;
    // A negative radius is an empty sphere: it meets nothing (the first-vertex shortcut below
    // would otherwise take its square for a real size).
    if (!(r < 0) && !((r + f->radius) * (r + f->radius) < Dot(toCentre, toCentre))) {
        const Vec3 first = c - FromArray(f->triangles[0].position);
        hit = Dot(first, first) <= r * r;
        const int32_t n = f->triangles.Count() / 3;
        for (int32_t t = 0; t < n && !hit; ++t) {
            const VertexRecord* v = &f->triangles[3 * t];
            hit = SphereTriangle(FromArray(v[0].position), FromArray(v[1].position), FromArray(v[2].position), c, r);
        }
    }
    if (DebugDrawing()) WithCamera([&] { DrawWireSphere(world, r, hit ? kRed : kGreen, hit ? 1.0f : 5.0f); });
    return hit ? 1 : 0;
}

double CollideBox(double id, double frame, double x, double y, double z, double width, double height) {
    Mat4 inverse;
    const ModelFrame* f = QueryFrame(id, frame, inverse);
    if (f == nullptr) return 0;
    const Vec3 world = V(float(x), float(y), float(z));
    const Vec3 worldAxes[3] = {V(float(width / 2), 0, 0), V(0, 0, float(width / 2)), V(0, float(height / 2), 0)};
    // Axis vectors are directions: carried as the difference of two carried points.
    const Vec3 c = TransformPoint(inverse, world);
    Vec3 axes[3];
    for (int i = 0; i < 3; ++i) axes[i] = TransformPoint(inverse, world + worldAxes[i]) - c;
    const Vec3 toCentre = c - FromArray(f->centre);
    // Early rejection: the frame's sphere and the sphere round the box are apart. Their radii
    // add: (R + reach)^2, not R^2 + reach^2, which would reject boxes that hold a corner or an
    // edge of the model.
    const float reach = BoxReach(axes), apart = f->radius + reach;
    bool hit = false;
    if (!(apart * apart < Dot(toCentre, toCentre))) {
        const int32_t n = f->triangles.Count() / 3;
        for (int32_t t = 0; t < n && !hit; ++t) {
            const VertexRecord* v = &f->triangles[3 * t];
            hit = BoxTriangle(c, axes[0], axes[1], axes[2], FromArray(v[0].position), FromArray(v[1].position),
                              FromArray(v[2].position));
        }
    }
    if (DebugDrawing()) {
        Vec3 corners[8];
        for (int i = 0; i < 8; ++i) {
            corners[i] = world + worldAxes[0] * float(i & 1 ? 1 : -1) + worldAxes[1] * float(i & 2 ? 1 : -1) +
                         worldAxes[2] * float(i & 4 ? 1 : -1);
        }
        WithCamera([&] { DrawBoxMarker(corners, double(hit ? kRed : kGreen), hit ? 1.0 : 5.0); });
    }
    return hit ? 1 : 0;
}

double CollideRay(double id, double frame, double x, double y, double z, double dx, double dy, double dz) {
    Mat4 inverse;
    const ModelFrame* f = QueryFrame(id, frame, inverse);
    if (f == nullptr) return 0;
    const Vec3 origin = V(float(x), float(y), float(z));
    const Vec3 dir = NormalisedIfLong(V(float(dx), float(dy), float(dz)));
    const Vec3 p = TransformPoint(inverse, origin), q = TransformPoint(inverse, origin + dir);
    float front = 0, behind = 0;
    const int32_t n = f->triangles.Count() / 3;
    for (int32_t t = 0; t < n; ++t) {
        const VertexRecord* v = &f->triangles[3 * t];
        const float hit = RayTriangle(FromArray(v[0].position), FromArray(v[1].position), FromArray(v[2].position), p, q);
        if (hit > 0 && (front == 0 || hit < front)) front = hit;
        if (hit < 0 && (behind == 0 || hit > behind)) behind = hit;
    }
    const float result = front != 0 ? front : behind;
    if (DebugDrawing()) {
        const float length = result != 0 ? result : 1000.0f;
        const Vec3 to = origin + dir * length;
        const double colour = result > 0 ? kGreen : (result < 0 ? kYellow : kRed);
        WithCamera([&] { DrawLine3D(origin.x, origin.y, origin.z, to.x, to.y, to.z, result != 0 ? 5.0 : 1.0, colour); });
    }
    return result;
}

bool ProjectPoint(double x, double y, double z, double& sx, double& sy, double& sz) {
    int32_t vp[4];
    const Mat4 m = ViewProjection(vp);
    const double in[4] = {x, y, z, 1};
    double clip[4];
    Apply4(m, in, clip);
    if (clip[3] == 0) return false;
    const double nx = clip[0] / clip[3], ny = clip[1] / clip[3], nz = clip[2] / clip[3];
    sx = vp[0] + (nx + 1) * vp[2] / 2;
    sy = vp[3] - (vp[1] + (ny + 1) * vp[3] / 2);
    sz = (nz + 1) / 2;
    return true;
}

bool UnprojectPoint(double sx, double sy, double sz, double& x, double& y, double& z) {
    sy = (Window().screenHeight - 1) - sy;
    int32_t vp[4];
    Mat4 inverse;
    if (!Invert(ViewProjection(vp), inverse) || vp[2] == 0 || vp[3] == 0) return false;
    const double in[4] = {2 * (sx - vp[0]) / vp[2] - 1, 2 * (sy - vp[1]) / vp[3] - 1, 2 * sz - 1, 1};
    double world[4];
    Apply4(inverse, in, world);
    if (world[3] == 0) return false;
    x = world[0] / world[3];
    y = world[1] / world[3];
    z = world[2] / world[3];
    return true;
}

void DrawDot3D(double x, double y, double z, double size, double colour) {
    DrawPointMarker(V(float(x), float(y), float(z)), size, colour);
}

void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width, double colour) {
    DrawLineMarker(V(float(x1), float(y1), float(z1)), V(float(x2), float(y2), float(z2)), width, colour);
}

void DrawAxes(double x, double y, double z) {
    if (GlReady()) DrawAxesArrows(float(x), float(y), float(z));
}
