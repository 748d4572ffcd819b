// Internals shared by the scene state, object rendering, shadows and queries of the 3D engine:
// small vector and matrix helpers and the transform stack as a matrix (the state of the 3D
// commands is gRenderer3D, gfx3d/objectstore.h). Every command updates this state even when
// no GL context exists (the 2D renderer's window is not ready); GL calls are made only when it is.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "basics/arguments.h"
#include "gfx3d/objectstore.h"

namespace scene3d {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 V(float x, float y, float z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline Vec3 FromArray(const float* p) { return {p[0], p[1], p[2]}; }
// Divided by its length when the squared length is above 1e-7 (and the length is not 0).
inline Vec3 NormalisedIfLong(Vec3 v) {
    const float sq = Dot(v, v);
    if (sq > 1e-7f) {
        const float len = std::sqrt(sq);
        if (len != 0) return v * (1.0f / len);
    }
    return v;
}

// Mat4, column-major 4 x 4 matrices as OpenGL stores them, is in gfx3d/objectstore.h.
Mat4 Multiply(const Mat4& a, const Mat4& b);               // a * b
Mat4 Translation(float x, float y, float z);
Mat4 Rotation(float degrees, float x, float y, float z);   // as glRotatef (the axis is normalised)
Mat4 Scaling(float x, float y, float z);
Vec3 TransformPoint(const Mat4& m, Vec3 p);                // w = 1, no division
bool Invert(const Mat4& in, Mat4& out);                    // false when singular
// The inverse of a rigid transform: transposed 3 x 3 part and translation -R^T t. Scaling is
// not undone, so scaled transforms get an approximate inverse.
Mat4 RigidInverse(const Mat4& m);

// The transform stack's top level in use (-1: none) and a level's stored rotations, clamped to
// what the arrays hold.
inline int TopLevel(const Zovovezi3D& r) { return std::clamp(r.currentLevel, -1, 15); }
inline int RotationCount(const TransformLevel& level) { return std::clamp(level.rotationCount, 0, 16); }

// The transform stack, levels 0..currentLevel, as one matrix (what ApplyTransforms multiplies
// onto the modelview).
Mat4 TransformStackMatrix(const Zovovezi3D& r);
// glTranslatef, glRotatef (last stored first) and glScalef of every level; GL must be ready.
void ApplyTransforms(const Zovovezi3D& r);

bool GlReady();                                 // the 2D renderer's window has a GL context
void ApplyCullMode(int mode);                   // stores it in cullMode and sets GL's front face
void ShadowPass(bool on);                       // opens or closes the stencil shadow pass
void Set2DState();                              // the 2D renderer's whole-screen state (Setup2D) and its matrices
void SetColourRgb(double colour, float rgb[3]); // colour integer to floats 0..1
void DrawWireSphere(Vec3 centre, float radius, double colour, float width);

} // namespace scene3d
