// Internals of object rendering and the shadow pass, shared with the tests.
#pragma once

#include <cstdint>

#include "gfx3d/scene.h"

namespace scene3d {

// The two frames of a draw and the weight of frame A, both clamped to 0..frameCount - 1.
struct FramePair {
    int32_t a = 0;
    int32_t b = 0;
    float w = 0;
};
FramePair ResolveFrames(int32_t frameCount, double from, double to, double t, bool interpolate);

// The square root approximated from the float's bits (exact for even powers of two).
float ApproxSqrt(float x);
// Whether a sphere may appear within the camera's view cone (cullConeTan, eye, target).
bool IsVisible(const Zovovezi3D& r, Vec3 centre, float radius);

// Draws a frame, or a pose between two frames, of a slot that holds a model; GL must be ready.
void DrawSlot(MeshObjectX& s, double from, double to, double t, bool interpolate);
// Puts count records into the slot's static or stream buffer; the pointer base for the arrays
// (null for a bound buffer, data itself without the buffer functions).
const VertexRecord* UploadVertices(MeshObjectX& s, bool useStatic, const VertexRecord* data, int32_t count);

// Shadow volumes: which triangles face the light (object-space position light) and which edges
// form the silhouette, then the volume's sides and caps into the stencil buffer.
void ComputeFacing(MeshObjectX& s, const VertexRecord* triangles, int32_t triangleCount, Vec3 light);
void DrawShadowVolume(MeshObjectX& s, const VertexRecord* triangles, int32_t triangleCount, Vec3 light, bool caps);
// The shadow pass's two shortcuts, on unless switched off: the volumes' far caps, which never
// reach a pixel, are left out, and the darkening leaves the stencil buffer clear instead of a
// clear of its own. Off, the pass draws as it once did: for the test and the benchmark that
// compare the two.
void SetShadowShortcutsForTesting(bool on);

// Texturing off on both texture units (unit 1 only where the GL has multitexturing), unit 0
// left active: for the untextured passes (toon outline, shadow volumes).
void DisableTextureUnits();

} // namespace scene3d

// Closes an open stencil-shadow pass: ShowScreen calls it, SetViewport through the hook table.
void EndShadowPass();
