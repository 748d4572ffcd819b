// Object rendering: one frame or a pose between two frames of a slot, through vertex arrays
// held in GL buffer objects (client memory when the buffer functions are missing), with plain
// multitexturing, bump mapping (DOT3 combiner), toon shading with an outline, or, in the shadow
// pass, the object's shadow volume (shadows.cpp). Every path checks the slot id, the frame
// indices and the triangle counts first, so no draw reads beyond a slot's data.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/errors.h"
#include "gfx2d/renderer.h"
#include "gfx3d/render.h"
#include "gfx3d/scene.h"
#include "voxa/gfx3d.h"
#include "window/state.h"

using namespace scene3d;

namespace scene3d {

namespace {

constexpr GLsizei kStride = sizeof(VertexRecord); // 88 bytes, 22 words

bool HasBuffers() {
    return gWindow.gl.genBuffers != nullptr && gWindow.gl.bindBuffer != nullptr && gWindow.gl.bufferData != nullptr &&
           gWindow.gl.deleteBuffers != nullptr;
}

// Word offset of a vertex attribute: into the bound buffer, or into the data itself.
const GLvoid* At(const VertexRecord* base, int word) {
    return reinterpret_cast<const char*>(base) + size_t(word) * 4;
}

// The ramp texture of a slot for toon shading: one row per colour-table entry.
void BuildRamp(MeshObjectX& s) {
    if (s.rampTexture != 0) return;
    static const int ramp[16] = {100, 160, 160, 160, 160, 160, 160, 207, 255, 255, 255, 255, 255, 255, 255, 255};
    const int32_t count = s.colourTable.Count();
    int32_t rows = 1;
    while (rows < count && rows < 16384) rows *= 2;
    if (count > 16384) rows = count;
    std::vector<uint8_t> texels(size_t(rows) * 16 * 4);
    for (int32_t k = 0; k < rows; ++k) {
        uint32_t c = count > 0 ? s.colourTable[k < count ? k : 0] : 0xFFFFFFu;
        if (IsMarker(c)) c = 0xFFFFFFu;
        const int rgb[3] = {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
        for (int t = 0; t < 16; ++t) {
            uint8_t* p = &texels[(size_t(k) * 16 + size_t(t)) * 4];
            for (int i = 0; i < 3; ++i) p[i] = uint8_t(rgb[i] * ramp[t] / 255);
            p[3] = 255;
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glGenTextures(1, &s.rampTexture);
    glBindTexture(GL_TEXTURE_2D, s.rampTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, rows, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    s.rampStep = 1.0f / float(rows);
}

GLuint TextureName(int id, int mipmapped) {
    if (!IdInRange(id, kTextureIds)) return 0;
    TextureEntry& e = gRenderer2D.textures[id];
    return mipmapped ? e.mipmappedName : e.plainName;
}

void TexCoordArray(GLenum unit, const VertexRecord* base, int word) {
    if (gWindow.gl.clientActiveTexture != nullptr) gWindow.gl.clientActiveTexture(unit);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, kStride, At(base, word));
}

void DisableArrays() {
    if (gWindow.gl.clientActiveTexture != nullptr) {
        gWindow.gl.clientActiveTexture(GL_TEXTURE1_ARB);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        gWindow.gl.clientActiveTexture(GL_TEXTURE0_ARB);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    if (gWindow.gl.bindBuffer != nullptr) gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
}

} // namespace

const VertexRecord* UploadVertices(MeshObjectX& s, bool useStatic, const VertexRecord* data, int32_t count) {
    if (!HasBuffers() || count <= 0) return data;
    const int64_t bytes = int64_t(count) * kStride;
    if (useStatic) {
        if (s.staticBuffer == 0) {
            gWindow.gl.genBuffers(1, &s.staticBuffer);
            gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, s.staticBuffer);
            gWindow.gl.bufferData(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(bytes), data, GL_STATIC_DRAW_ARB);
        } else {
            gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, s.staticBuffer);
        }
        return nullptr;
    }
    // The stream buffer is rewritten in place through a mapping while it is known to be large
    // enough; otherwise it is made anew with the data.
    const bool sizeKnown = s.streamBuffer != 0 && s.streamBytes >= bytes;
    if (sizeKnown && gWindow.gl.mapBuffer != nullptr && gWindow.gl.unmapBuffer != nullptr) {
        gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, s.streamBuffer);
        void* mapped = gWindow.gl.mapBuffer(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB);
        if (mapped != nullptr) {
            std::memcpy(mapped, data, size_t(bytes));
            if (gWindow.gl.unmapBuffer(GL_ARRAY_BUFFER_ARB)) return nullptr;
        }
        // A lost mapping: the contents are undefined, so they are given again below.
    } else {
        if (s.streamBuffer != 0) gWindow.gl.deleteBuffers(1, &s.streamBuffer);
        gWindow.gl.genBuffers(1, &s.streamBuffer);
        gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, s.streamBuffer);
    }
    gWindow.gl.bufferData(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(bytes), data, GL_STREAM_DRAW_ARB);
    s.streamBytes = bytes;
    return nullptr;
}

float ApproxSqrt(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    bits = ((bits - 0x3F800000u) >> 1) + 0x3F800000u;
    float r;
    std::memcpy(&r, &bits, 4);
    return r;
}

// The object's sphere against a cone round the view direction, wider than the view (fov + 5
// degrees, and 5 % more). The object is skipped only when its sphere stays outside the cone:
// when the sphere's distance to the cone's surface is at least its radius. That distance is
// taken across the slanted surface, (q - a t) cos(angle) for a centre at depth a and distance
// q from the axis, so q is compared with a t + radius sqrt(1 + t^2); adding the squares of the
// cone's radius and the sphere's instead is no bound and dropped objects whose sphere reaches
// into the view. A centre behind the eye is measured the same way, except where the cone's tip
// is its nearest point. The cone's radius and the slant take the cheap root, which never comes
// out below the true one, so they only err toward drawing.
bool IsVisible(const Zovovezi3D& r, Vec3 centre, float radius) {
    const Vec3 eye = FromArray(r.eye);
    const Vec3 d = NormalisedIfLong(FromArray(r.target) - eye);
    const Vec3 p = centre - eye;
    const float a = Dot(d, p);
    const Vec3 q = p - d * a;
    const float qSq = Dot(q, q);
    const float t = r.cullConeTan * 1.05f;
    if (a < 0 && qSq * t * t <= a * a) {
        // The tip is the cone's nearest point: visible only when the sphere holds the eye.
        const float sq = Dot(p, p);
        return radius >= (sq > 1e-7f ? std::sqrt(sq) : 0.0f);
    }
    // The cone's radius at the centre's depth (the cheap root comes out negative below 1).
    const float cone = a >= 0 ? std::fabs(ApproxSqrt(a * a)) * t : a * t;
    const float reach = cone + std::fabs(radius) * ApproxSqrt(1 + t * t);
    return reach > 0 && qSq < reach * reach;
}

FramePair ResolveFrames(int32_t frameCount, double from, double to, double t, bool interpolate) {
    // Frames A and B stay doubles until they are clamped, so frame numbers beyond the int range
    // end at the last frame (or the first) like any other beyond the count.
    double a = from, b = to, w = t;
    if (interpolate) {
        if (t != 1) t = std::fmod(t, 1.0);
        const double p = from + (to - from) * t;
        const double whole = std::trunc(p);
        if (to > from) {
            a = whole;
            b = whole + 1;
            w = 1 - (p - whole);
        } else if (to < from) {
            a = whole + 1;
            b = whole;
            w = p - whole;
        } else {
            w = 0;
        }
    }
    FramePair f;
    f.a = std::clamp(TruncToInt(a), 0, frameCount - 1);
    f.b = std::clamp(TruncToInt(b), 0, frameCount - 1);
    f.w = std::isfinite(float(w)) ? float(w) : 0.0f;
    return f;
}

namespace {

// What one draw works with, settled before any vertex is touched.
struct DrawPlan {
    FramePair frames;                        // frames A and B and the weight of A
    const ModelFrame* frameA = nullptr;
    const ModelFrame* frameB = nullptr;
    Vec3 centre;                             // level 0's translation + frame A's sphere centre
    int32_t count = 0;                       // records drawn, whole triangles only
    LightingMode mode = LightingMode::none;  // the lighting mode, none while it is off
    bool perVertexLight = false;             // a mode is on and GL takes per-vertex light data
    Vec3 lightObject;                        // the mode's light in object space
};

// Visibility of frame A's sphere where the transform stack puts it: its centre through every
// level's translation, rotations and scale, as the object is drawn (a model whose centre is
// away from its origin, turned or scaled, lies elsewhere than its origin's translation says),
// and its radius times each level's largest factor, which bounds how far the level stretches
// (rotations keep lengths; a mirroring, negative factor stretches as much as its size).
// The plan keeps level 0's translation plus frame A's centre, from which the toon outline's
// width is measured.
bool PlanVisible(const Zovovezi3D& r, DrawPlan& p) {
    p.centre = FromArray(r.levels[0].translation) + FromArray(p.frameA->centre);
    float stretch = 1;
    for (int i = 0; i <= TopLevel(r); ++i) {
        const float* scale = r.levels[i].scale;
        stretch *= std::max({std::fabs(scale[0]), std::fabs(scale[1]), std::fabs(scale[2])});
    }
    // One level without turns (most draws): translation + scaled centre, without the matrices.
    const TransformLevel& base = r.levels[0];
    const Vec3 c = FromArray(p.frameA->centre);
    const Vec3 placed = TopLevel(r) == 0 && RotationCount(base) == 0
                            ? FromArray(base.translation) + Vec3{c.x * base.scale[0], c.y * base.scale[1], c.z * base.scale[2]}
                            : TransformPoint(TransformStackMatrix(r), c);
    return IsVisible(r, placed, p.frameA->radius * stretch);
}

// The model data a lighting mode needs, computed on its first draw and kept.
void PrepareModeData(MeshObjectX& s, LightingMode mode, int32_t normalSmoothing) {
    switch (mode) {
        case LightingMode::toon:
            s.ComputeNormals(true, false, false);
            BuildRamp(s);
            break;
        case LightingMode::bump:
            s.ComputeNormals(true, normalSmoothing == 2, true);
            break;
        case LightingMode::shadow:
            s.ComputeNormals(true, false, false);
            s.BuildEdges();
            break;
        case LightingMode::none:
            break;
    }
}

// The records drawn: frame A's (and B's) triangles, never more than the work array holds.
int32_t RecordsToDraw(const MeshObjectX& s, const DrawPlan& p) {
    int32_t count = std::min(s.workVertices.Count(), p.frameA->triangles.Count());
    if (p.frames.w != 0) count = std::min(count, p.frameB->triangles.Count());
    return count - count % 3;
}

// In the shadow pass a draw only adds the object's volume to the stencil buffer.
void DrawVolume(MeshObjectX& s, const DrawPlan& p) {
    glPushMatrix();
    ApplyTransforms(gRenderer3D);
    ComputeFacing(s, p.frameA->triangles.Data(), p.count / 3, p.lightObject);
    DrawShadowVolume(s, p.frameA->triangles.Data(), p.count / 3, p.lightObject, true);
    glPopMatrix();
}

// Per-vertex light data of a lighting mode: for bump mapping the light vector in the vertex's
// tangent space (tangent and binormal from tb) as a colour; for toon shading the ramp row of
// the vertex's colour and the lit side as the ramp column.
inline void LightRecord(VertexRecord& out, const VertexRecord& tb, const DrawPlan& p, float rampStep) {
    const Vec3 v = FromArray(out.position);
    const Vec3 l = NormalisedIfLong(p.lightObject - v);
    const Vec3 n = FromArray(out.normal);
    if (p.mode == LightingMode::bump) {
        out.light[0] = Dot(FromArray(tb.tangent), l) * 0.5f + 0.5f;
        out.light[1] = Dot(FromArray(tb.binormal), l) * 0.5f + 0.5f;
        out.light[2] = Dot(n, l) * 0.5f + 0.5f;
    } else if (p.mode == LightingMode::toon) {
        out.binormal[1] = (float(out.colourIndex) + 0.5f) * rampStep;
        out.binormal[0] = std::clamp(Dot(l, NormalisedIfLong(n)), 0.05f, 0.95f);
    }
}

// The pose in the work array: every word from frame A (texture coordinates included, so an
// offset never accumulates from draw to draw), position and normal blended with frame B, the
// light data of the mode, then the texture offset.
const VertexRecord* BuildPose(MeshObjectX& s, const DrawPlan& p, const float offset[2]) {
    VertexRecord* out = s.workVertices.Data();
    const VertexRecord* a = p.frameA->triangles.Data();
    const VertexRecord* b = p.frameB->triangles.Data();
    const float w = p.frames.w;
    for (int32_t k = 0; k < p.count; ++k) {
        out[k] = a[k];
        if (w != 0) {
            for (int c = 0; c < 3; ++c) {
                out[k].position[c] = b[k].position[c] + (a[k].position[c] - b[k].position[c]) * w;
                out[k].normal[c] = b[k].normal[c] + (a[k].normal[c] - b[k].normal[c]) * w;
            }
        }
        if (p.perVertexLight) LightRecord(out[k], w != 0 ? b[k] : a[k], p, s.rampStep);
    }
    if (offset[0] != 0 || offset[1] != 0) {
        for (int32_t k = 0; k < p.count; ++k) {
            out[k].tex[0] += offset[0];
            out[k].tex[1] += offset[1];
        }
    }
    return out;
}

// The records to upload: frame A as stored when nothing changes them (from the static buffer
// when A is frame 0), otherwise the pose built in the work array.
const VertexRecord* PoseRecords(MeshObjectX& s, const DrawPlan& p, bool& useStatic) {
    const float* offset = gRenderer3D.textureOffset;
    useStatic = false;
    if (!p.perVertexLight && p.frames.w == 0 && offset[0] == 0 && offset[1] == 0) {
        useStatic = p.frames.a == 0;
        return p.frameA->triangles.Data();
    }
    return BuildPose(s, p, offset);
}

// Plain texturing: the bound store texture (and the second one) with the model's texture
// coordinates, and the colour table's colours when the model has any.
void PlainArrays(const MeshObjectX& s, const VertexRecord* arrays, const TextureBinding& binding) {
    if (IdInRange(binding.id, kTextureIds)) {
        if (IdInRange(binding.secondId, kTextureIds) && gWindow.gl.clientActiveTexture != nullptr) {
            TexCoordArray(GL_TEXTURE1_ARB, arrays, 6);
        }
        TexCoordArray(GL_TEXTURE0_ARB, arrays, 6);
    }
    if (s.hasColours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, kStride, At(arrays, 19));
    }
}

// Bump mapping: unit 1 modulates the colour texture, unit 0 takes the DOT3 product of the
// normal map and the per-vertex light vector given as the primary colour.
void BumpArrays(const VertexRecord* arrays) {
    gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    TexCoordArray(GL_TEXTURE1_ARB, arrays, 6);
    gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_DOT3_RGB_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PRIMARY_COLOR_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
    TexCoordArray(GL_TEXTURE0_ARB, arrays, 6);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, kStride, At(arrays, 8));
}

// Toon shading: the ramp texture on unit 1, the store texture (if any) on unit 0.
void ToonArrays(const MeshObjectX& s, const VertexRecord* arrays, const TextureBinding& binding) {
    gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, s.rampTexture);
    glEnable(GL_TEXTURE_2D);
    TexCoordArray(GL_TEXTURE1_ARB, arrays, 14);
    gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    if (IdInRange(binding.id, kTextureIds)) {
        glBindTexture(GL_TEXTURE_2D, TextureName(binding.id, binding.mipmapped));
        glEnable(GL_TEXTURE_2D);
        TexCoordArray(GL_TEXTURE0_ARB, arrays, 6);
    }
}

// The texture units and arrays of the mode. Without the client texture unit switch every
// mode draws plain; bump and toon need both multitexture entry points.
void ModeArrays(const MeshObjectX& s, LightingMode mode, const VertexRecord* arrays, const TextureBinding& binding) {
    const bool multi = gWindow.gl.activeTexture != nullptr && gWindow.gl.clientActiveTexture != nullptr;
    if (mode == LightingMode::none || gWindow.gl.clientActiveTexture == nullptr || mode == LightingMode::shadow) {
        PlainArrays(s, arrays, binding);
    } else if (mode == LightingMode::bump && multi) {
        BumpArrays(arrays);
    } else if (mode == LightingMode::toon && multi) {
        ToonArrays(s, arrays, binding);
    }
}

// Toon outline: the model drawn again in black, its faces turned inside out (reversed cull
// mode) and pushed out along the normals by a width that keeps about the same size on screen.
// Skipped when that width would be too large for the model.
void DrawToonOutline(MeshObjectX& s, const DrawPlan& p, const VertexRecord* data) {
    const Zovovezi3D& r = gRenderer3D;
    const Vec3 toCentre = p.centre - FromArray(r.eye);
    float width = std::sqrt(Dot(toCentre, toCentre)) * r.cullConeTan * 0.0025f;
    if (width > p.frameA->radius * 0.125f) return;
    width = std::max(width, 1e-7f);
    const int cull = r.cullMode;
    ApplyCullMode(-cull);
    VertexRecord* out = s.workVertices.Data();
    for (int32_t k = 0; k < p.count; ++k) {
        if (data != out) out[k] = data[k];
        for (int c = 0; c < 3; ++c) out[k].position[c] += out[k].normal[c] * width;
    }
    const VertexRecord* outline = UploadVertices(s, false, out, p.count);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, At(outline, 0));
    DisableTextureUnits();
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glColor3f(0, 0, 0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDrawArrays(GL_TRIANGLES, 0, p.count);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    DisableArrays();
    ApplyCullMode(cull);
}

// Texturing as a plain draw expects it: the ramp or the combiner must not leak into later
// draws, and both units modulate again.
void RestoreTexturing(LightingMode mode, const TextureBinding& binding) {
    if (mode != LightingMode::none && mode != LightingMode::shadow) {
        BindTextures(binding.id, binding.secondId, binding.mipmapped);
    }
    if (gWindow.gl.activeTexture != nullptr) {
        gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

} // namespace

void DisableTextureUnits() {
    if (gWindow.gl.activeTexture != nullptr) {
        gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_2D);
}

void DrawSlot(MeshObjectX& s, double from, double to, double t, bool interpolate) {
    Zovovezi3D& r = gRenderer3D;
    if (s.frames.Empty() || s.frames[0].items.Empty()) return;
    if (!GlReady()) return;
    DrawPlan p;
    p.frames = ResolveFrames(s.frames.Count(), from, to, t, interpolate);
    p.frameA = &s.frames[p.frames.a];
    p.frameB = &s.frames[p.frames.b];
    if (!PlanVisible(r, p)) return;

    const float cs = gRenderer2D.colourScale;
    glColor4f(cs, cs, cs, cs);
    p.mode = r.lightingModeOn != 0 ? r.lightingMode : LightingMode::none;
    PrepareModeData(s, p.mode, r.normalSmoothing);
    if (s.workVertices.Empty()) s.BuildDrawData();
    p.count = RecordsToDraw(s, p);
    if (p.count <= 0) return;
    p.perVertexLight = p.mode != LightingMode::none && gWindow.gl.multiTexCoord2f != nullptr;
    if (p.perVertexLight) {
        p.lightObject = TransformPoint(RigidInverse(TransformStackMatrix(r)), FromArray(r.modeLight));
        if (p.mode == LightingMode::shadow) {
            DrawVolume(s, p);
            return;
        }
    }

    bool useStatic = false;
    const VertexRecord* data = PoseRecords(s, p, useStatic);
    const VertexRecord* arrays = UploadVertices(s, useStatic, data, p.count);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, At(arrays, 0));
    const TextureBinding binding = gRenderer2D.textures.binding;
    ModeArrays(s, p.mode, arrays, binding);

    glEnable(GL_COLOR_MATERIAL);
    glPushMatrix();
    ApplyTransforms(r);
    if (r.enabledLights != 0) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, kStride, At(arrays, 3));
    }
    glDrawArrays(GL_TRIANGLES, 0, p.count);
    DisableArrays();
    if (p.mode == LightingMode::toon && r.cullMode != 0) DrawToonOutline(s, p, data);
    RestoreTexturing(p.mode, binding);
    glPopMatrix();
    glColor4f(cs, cs, cs, cs);
}

} // namespace scene3d

// The slot's GL objects are made by its draws (UploadVertices, BuildRamp) and deleted here.
void MeshObjectX::ReleaseGpu() {
    if (gWindow.gl.deleteBuffers != nullptr) {
        if (staticBuffer != 0) gWindow.gl.deleteBuffers(1, &staticBuffer);
        if (streamBuffer != 0) gWindow.gl.deleteBuffers(1, &streamBuffer);
    }
    if (rampTexture != 0) glDeleteTextures(1, &rampTexture);
    staticBuffer = streamBuffer = rampTexture = 0;
    streamBytes = 0;
}

void DrawObject(double id, double frame) {
    MeshObjectX* s = gRenderer3D.Slot(id);
    if (s == nullptr) return;
    // Frames at or beyond the count (and NaN) draw nothing; negative ones draw frame 0.
    if (!(std::trunc(frame) < double(s->frames.Count()))) return;
    DrawSlot(*s, frame, 0, 0, false);
}

void DrawObjectAnim(double id, double fromFrame, double toFrame, double t, double interpolate) {
    MeshObjectX* s = gRenderer3D.Slot(id);
    if (s == nullptr) return;
    DrawSlot(*s, fromFrame, toFrame, t, interpolate != 0);
}

void SetTexture(double texture, double bumpTexture) {
    if (!GlReady()) return;
    const int32_t tex = TruncToInt(texture), tex2 = TruncToInt(bumpTexture);
    // Ids beyond the store are refused like the untextured -1.
    BindTextures(IdInRange(tex, kTextureIds) ? tex : -1, IdInRange(tex2, kTextureIds) ? tex2 : -1, TextureVariant());
}

void SetTextureOffset(double u, double v) {
    gRenderer3D.textureOffset[0] = float(u);
    gRenderer3D.textureOffset[1] = float(v);
}

void DrawSprite3D(double id, double x, double y, double z, double scale) {
    ApplyCullMode(-1);
    DrawSpriteBillboard(id, x, y, z, scale);
    ApplyCullMode(gRenderer3D.scene.cullModeCopy);
}

void PrintText3D(const DynString& text, double x, double y, double z, double size) {
    DrawText3D(CurrentFont(), text.CStr(), x, y, z, size);
}
