// Collision queries against an object placed by the transform stack, projection between world
// and screen, and the 3D markers (dots, lines, axes, wire spheres and boxes). The queries carry
// the query shape into the object's space with the rigid inverse of the transform stack and
// need no GL, so they work in a program without a window.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/errors.h"
#include "core/window.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/geometry.h"
#include "gfx3d/gfx3d.h"
#include "gfx3d/scene.h"

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
    glPushMatrix();
    glLoadMatrixf(gRenderer3D.cameraMatrix);
    draw();
    glPopMatrix();
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
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    } else {
        std::copy(gScene.viewport, gScene.viewport + 4, viewport);
        projection = gScene.projection;
        modelview = gScene.modelview;
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

void scene3d::DrawWireSphere(Vec3 centre, float radius, double colour, float width) {
    if (!GlReady()) return;
    static const float a = 0.525731f, b = 0.850651f;
    static const float kVertices[12][3] = {{-a, 0, b}, {a, 0, b},  {-a, 0, -b}, {a, 0, -b}, {0, b, a},  {0, b, -a},
                                           {0, -b, a}, {0, -b, -a}, {b, a, 0},  {-b, a, 0}, {b, -a, 0}, {-b, -a, 0}};
    static const int kFaces[20][3] = {{0, 4, 1}, {0, 9, 4},  {9, 5, 4},  {4, 5, 8},  {4, 8, 1},  {8, 10, 1}, {8, 3, 10},
                                      {5, 3, 8}, {5, 2, 3},  {2, 7, 3},  {7, 10, 3}, {7, 6, 10}, {7, 11, 6}, {11, 0, 6},
                                      {0, 1, 6}, {6, 1, 10}, {9, 0, 11}, {9, 11, 2}, {9, 2, 5},  {7, 2, 11}};
    float rgb[3];
    SetColourRgb(colour, rgb);
    for (const auto& face : kFaces) {
        glPushMatrix();
        glColor3f(rgb[0], rgb[1], rgb[2]);
        glDisable(GL_BLEND);
        glEnable(GL_COLOR_MATERIAL);
        glLineWidth(width);
        const Vec3 p0 = FromArray(kVertices[face[0]]), p1 = FromArray(kVertices[face[1]]),
                   p2 = FromArray(kVertices[face[2]]);
        const Vec3 m01 = NormalisedIfLong((p0 + p1) * 0.5f), m12 = NormalisedIfLong((p1 + p2) * 0.5f),
                   m20 = NormalisedIfLong((p2 + p0) * 0.5f);
        const Vec3 small[4][3] = {{p0, m01, m20}, {m01, p1, m12}, {m20, m12, p2}, {m01, m12, m20}};
        for (const auto& t : small) {
            glBegin(GL_LINE_LOOP);
            for (const Vec3& v : t) {
                const Vec3 w = centre + v * radius;
                glVertex3f(w.x, w.y, w.z);
            }
            glEnd();
        }
        glLineWidth(1);
        glDisable(GL_COLOR_MATERIAL);
        glPopMatrix();
    }
    glColor3f(1, 1, 1);
}

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

namespace {

// Point or line marker: colour material, smoothing, untextured while a texture is bound.
void DrawMarker(GLenum kind, const Vec3* points, int count, double size, double colour) {
    if (!GlReady()) return;
    const float s = float(std::clamp(std::isnan(size) ? 1.0 : size, 1.0, 512.0));
    float rgb[3];
    SetColourRgb(colour, rgb);
    const GLenum smooth = kind == GL_POINTS ? GL_POINT_SMOOTH : GL_LINE_SMOOTH;
    const bool textured = IdInRange(gRenderer2D.textures.binding.id, kTextureIds);
    glPushMatrix();
    glEnable(GL_COLOR_MATERIAL);
    glColor3f(rgb[0], rgb[1], rgb[2]);
    glEnable(smooth);
    if (textured) glDisable(GL_TEXTURE_2D);
    if (kind == GL_POINTS) glPointSize(s);
    else glLineWidth(s);
    glBegin(kind);
    for (int i = 0; i < count; ++i) glVertex3f(points[i].x, points[i].y, points[i].z);
    glEnd();
    if (kind == GL_POINTS) glPointSize(1);
    else glLineWidth(1);
    glDisable(smooth);
    if (textured) glEnable(GL_TEXTURE_2D);
    const float cs = gRenderer2D.colourScale;
    glColor4f(cs, cs, cs, cs);
    glDisable(GL_COLOR_MATERIAL);
    glPopMatrix();
}

} // namespace

void DrawDot3D(double x, double y, double z, double size, double colour) {
    const Vec3 p = V(float(x), float(y), float(z));
    DrawMarker(GL_POINTS, &p, 1, size, colour);
}

void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width, double colour) {
    const Vec3 p[2] = {V(float(x1), float(y1), float(z1)), V(float(x2), float(y2), float(z2))};
    DrawMarker(GL_LINES, p, 2, width, colour);
}

void DrawAxes(double x, double y, double z) {
    if (!GlReady()) return;
    static const float kArrow[8][3] = {{0, 0, 0},         {1, 0, 0},     {0.75f, 0.25f, 0}, {0.75f, -0.25f, 0},
                                       {1, 0, 0},         {0.75f, 0, 0.25f}, {0.75f, 0, -0.25f}, {1, 0, 0}};
    glPushMatrix();
    glLoadMatrixf(gRenderer3D.cameraMatrix);
    glTranslatef(float(x), float(y), float(z));
    glScalef(20, 20, 20);
    for (int axis = 0; axis < 3; ++axis) {
        glColor3f(axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f);
        glBegin(GL_LINE_STRIP);
        for (const auto& p : kArrow) {
            // The x arrow's shape turned onto the axis: (along, side, depth) cycled.
            float v[3];
            for (int c = 0; c < 3; ++c) v[(c + axis) % 3] = p[c];
            glVertex3f(v[0], v[1], v[2]);
        }
        glEnd();
    }
    glPopMatrix();
}
