// Stencil shadows. The game draws its scene lit, then draws it again with the shadow pass open
// (SetSpotLight(-3, ...)): each draw then only adds the object's shadow volume to the stencil
// buffer, counting the volume's front faces up and its back faces down where they lie in front
// of the scene. Closing the pass darkens every pixel whose count is not zero. docs/shadows.md
// explains the choices.
#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "base/state.h"
#include "gfx2d/renderer.h"
#include "gfx3d/render.h"
#include "window/state.h"
#include "window/window.h"

namespace scene3d {

namespace {

// True when the current modelview turns space inside out (a negative scale factor), so that a
// triangle wound clockwise in the model appears counter-clockwise.
bool MirrorsWinding() {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float det = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                      m[8] * (m[1] * m[6] - m[5] * m[2]);
    return det < 0;
}

} // namespace

void SetShadowShortcutsForTesting(bool on) { gRenderer3D.shadowShortcuts = on; }

void ShadowPass(bool on) {
    Zovovezi3D& r = gRenderer3D;
    if (uint8_t(on) == r.shadowPassActive) return;
    r.shadowPassActive = uint8_t(on);
    if (!GlReady()) {
        if (!on) Set2DState();
        return;
    }
    if (on) {
        glShadeModel(GL_FLAT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_STENCIL_TEST);
        glDepthMask(GL_FALSE);
        glStencilFunc(GL_ALWAYS, 0, 0);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
        return;
    }
    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    Set2DState();
    SetAlphaMode(-0.5);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    // When the rectangle covers the whole window, every pixel it darkens has its count set back
    // to zero and every other one holds zero already, so it leaves the stencil buffer clear
    // without a pass of its own over the screen.
    const WindowContext& w = Window();
    const GLenum reset = gRenderer3D.shadowShortcuts && w.screenWidth <= 3000 && w.screenHeight <= 2000 ? GL_ZERO : GL_KEEP;
    glStencilOp(GL_KEEP, reset, reset);
    DrawRect(0, 0, 3000, 2000, 0);
    SetAlphaMode(0);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glDisable(GL_STENCIL_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    if (reset != GL_ZERO) glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
}

void ComputeFacing(MeshObjectX& s, const VertexRecord* tri, int32_t triangleCount, Vec3 light) {
    if (!s.facing.Resize(triangleCount)) return;
    for (int32_t t = 0; t < triangleCount; ++t) {
        const Vec3 p0 = FromArray(tri[3 * t].position), p1 = FromArray(tri[3 * t + 1].position),
                   p2 = FromArray(tri[3 * t + 2].position);
        // Facing: the light lies on the side the reversed winding points to, measured from the
        // triangle itself (a point light, not a direction).
        s.facing[t] = Dot(Cross(p0 - p1, p2 - p1), light - p1) > 0 ? 1 : 0;
    }
    if (s.edges.Count() < 3 * triangleCount) return;
    for (int32_t t = 0; t < triangleCount; ++t) {
        for (int e = 0; e < 3; ++e) {
            EdgeLink& link = s.edges[3 * t + e];
            const int32_t n = link.neighbour;
            const bool open = n < 0 || n >= triangleCount || s.facing[n] == 0;
            link.silhouette = s.facing[t] != 0 && open ? 1 : 0;
        }
    }
}

namespace {

// The volume's sides (quads) and caps (triangles) as homogeneous vertices, four floats each.
struct VolumeGeometry {
    std::vector<float> sides;
    std::vector<float> ends;
};

void Put(std::vector<float>& out, Vec3 v, float w) {
    out.push_back(v.x), out.push_back(v.y), out.push_back(v.z), out.push_back(w);
}

// The shadow volume of the facing triangles: a quad for every silhouette edge (every edge of a
// facing triangle without edge links), from the edge to infinity away from the light, and the
// caps when asked for.
void BuildVolume(const MeshObjectX& s, const VertexRecord* tri, int32_t triangleCount, Vec3 light, bool caps,
                 VolumeGeometry& g) {
    const bool linked = s.edges.Count() >= 3 * triangleCount;
    g.sides.clear();
    g.ends.clear();
    for (int32_t t = 0; t < triangleCount; ++t) {
        const bool facing = s.facing[t] != 0;
        if (facing) {
            for (int e = 0; e < 3; ++e) {
                if (linked && s.edges[3 * t + e].silhouette == 0) continue;
                const Vec3 a = FromArray(tri[3 * t + e].position);
                const Vec3 b = FromArray(tri[3 * t + (e + 1) % 3].position);
                Put(g.sides, b, 1);
                Put(g.sides, a, 1);
                Put(g.sides, a - light, 0);
                Put(g.sides, b - light, 0);
            }
        }
        // The near cap: the facing triangles as they are. The far cap, every other triangle
        // pushed to infinity (w = 0), is left out: a point at infinity keeps w = 0 through the
        // modelview, and every projection Enter3DMode loads gives it clip coordinates with
        // z = w (f + n) / (f - n), a factor above 1 in size (perspective), or with w = 0
        // (orthographic, or the identity when the frustum is refused). Either way |z| > w or
        // w = 0 holds for every point of a triangle spanned by three of them, so the whole
        // triangle lies outside the clip volume and is culled without reaching a pixel.
        if (!caps || (!facing && gRenderer3D.shadowShortcuts)) continue;
        for (int k = 2; k >= 0; --k) {
            const Vec3 v = FromArray(tri[3 * t + k].position);
            if (facing) Put(g.ends, v, 1);
            else Put(g.ends, v - light, 0);
        }
    }
}

// Both stencil passes over the volume, drawn from client memory: front faces count up, back
// faces count down. The culling the program set (SetCullMode) is put back afterwards: the
// passes need their own front face, and the cull mode must not depend on a shadow having been
// drawn.
void DrawVolumePasses(const VolumeGeometry& g) {
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    GLint frontFace = GL_CCW, culledFace = GL_BACK;
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetIntegerv(GL_CULL_FACE_MODE, &culledFace);
    glDisable(GL_CULL_FACE);
    DisableTextureUnits();
    glDisable(GL_LIGHTING);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    if (gWindow.gl.bindBuffer != nullptr) gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    // The volume is wound as models are, clockwise seen from outside; a modelview that mirrors
    // turns that over on screen.
    glFrontFace(MirrorsWinding() ? GL_CCW : GL_CW);
    for (int pass = 0; pass < 2; ++pass) {
        glEnable(GL_CULL_FACE);
        glStencilOp(GL_KEEP, GL_KEEP, pass == 0 ? GL_INCR : GL_DECR);
        glCullFace(pass == 0 ? GL_BACK : GL_FRONT);
        if (!g.sides.empty()) {
            glVertexPointer(4, GL_FLOAT, 0, g.sides.data());
            glDrawArrays(GL_QUADS, 0, GLsizei(g.sides.size() / 4));
        }
        if (!g.ends.empty()) {
            glVertexPointer(4, GL_FLOAT, 0, g.ends.data());
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(g.ends.size() / 4));
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glFrontFace(GLenum(frontFace));
    glCullFace(GLenum(culledFace));
    if (culling) glEnable(GL_CULL_FACE);
    else glDisable(GL_CULL_FACE);
}

} // namespace

void DrawShadowVolume(MeshObjectX& s, const VertexRecord* tri, int32_t triangleCount, Vec3 light, bool caps) {
    if (s.facing.Count() < triangleCount) return;
    // Reused between draws so a frame allocates nothing.
    static VolumeGeometry geometry;
    BuildVolume(s, tri, triangleCount, light, caps, geometry);
    DrawVolumePasses(geometry);
}

} // namespace scene3d

void EndShadowPass() { scene3d::ShadowPass(false); }

namespace {
// SetViewport (gfx2d/) closes an open pass through the hook table before it sets the 2D state.
const HookRegistration kEndShadowPassHook(gBase.hooks.endShadowPass, EndShadowPass);
} // namespace
