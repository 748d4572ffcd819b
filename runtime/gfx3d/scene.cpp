// 3D scene state: projection modes, camera, the transform stack, culling, lights and fog.
// The matrices are computed here as well as in GL (glscene.cpp), so the transform stack, the
// camera and the projection stay meaningful (and the queries work) in a program without a
// window.
#include "gfx3d/scene.h"

#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "gfx2d/renderer.h"
#include "gfx3d/glscene.h"
#include "voxa/gfx3d.h"
#include "voxa/window.h"
#include "window/state.h"
#include "window/window.h"

namespace scene3d {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
constexpr double kPi = 3.14159265358979323846;

Mat4 Frustum(double l, double r, double b, double t, double n, double f, bool& ok) {
    Mat4 m;
    ok = n > 0 && f > 0 && n != f && l != r && b != t;
    if (!ok) return m;
    m.m[0] = float(2 * n / (r - l));
    m.m[5] = float(2 * n / (t - b));
    m.m[8] = float((r + l) / (r - l));
    m.m[9] = float((t + b) / (t - b));
    m.m[10] = float(-(f + n) / (f - n));
    m.m[11] = -1;
    m.m[14] = float(-2 * f * n / (f - n));
    m.m[15] = 0;
    return m;
}

Mat4 Ortho(double l, double r, double b, double t, double n, double f, bool& ok) {
    Mat4 m;
    ok = l != r && b != t && n != f;
    if (!ok) return m;
    m.m[0] = float(2 / (r - l));
    m.m[5] = float(2 / (t - b));
    m.m[10] = float(-2 / (f - n));
    m.m[12] = float(-(r + l) / (r - l));
    m.m[13] = float(-(t + b) / (t - b));
    m.m[14] = float(-(f + n) / (f - n));
    return m;
}

void ResetLevel(TransformLevel& level) {
    level.rotationCount = 0;
    for (int c = 0; c < 3; ++c) {
        level.scale[c] = 1;
        level.translation[c] = 0;
    }
}

// The 2D renderer's viewport in GL's terms, exactly as Setup2D gives it to glViewport.
void ViewportFromWindow(int32_t out[4]) {
    WindowContext& w = Window();
    int vw = w.viewportWidth, vh = w.viewportHeight;
    if (vw < 1 || vh < 1) {
        vw = w.screenWidth;
        vh = w.screenHeight;
    }
    out[0] = w.viewportX;
    out[1] = w.screenHeight - vh - w.viewportY;
    out[2] = vw;
    out[3] = vh;
}

// The lighting mode a negative light id selects: -1 bump mapping, -3 stencil shadows, any
// other toon shading.
LightingMode LightingModeOfId(int32_t id) {
    if (id == -1) return LightingMode::bump;
    if (id == -3) return LightingMode::shadow;
    return LightingMode::toon;
}

// SetSpotLight with a negative id: the lighting mode, its light and, for shadows, the pass.
// No GL light is touched.
void SetLightingMode(int32_t id, const float rgb[3], Vec3 position, double cutoff) {
    Zovovezi3D& r = gRenderer3D;
    r.lightingModeOn = cutoff != 0 ? 1 : 0;
    r.modeLight[0] = position.x, r.modeLight[1] = position.y, r.modeLight[2] = position.z;
    r.modeLight[3] = rgb[0], r.modeLight[4] = rgb[1], r.modeLight[5] = rgb[2];
    r.lightingMode = LightingModeOfId(id);
    if (r.lightingMode == LightingMode::shadow) ShadowPass(cutoff != 0);
}

// The GL light SetSpotLight's arguments describe: fixed to the viewer (position and direction
// all 0), directional (cutoff 180), a point light (above 90) or a spot light.
GlLight LightFor(int index, const float rgb[3], bool fromViewer, double x, double y, double z, double dx,
                 double dy, double dz, double cutoff) {
    GlLight l;
    l.index = index;
    for (int c = 0; c < 3; ++c) l.diffuse[c] = rgb[c];
    l.fromViewer = fromViewer;
    if (fromViewer) return l;  // towards +z of the eye, (0, 0, 1, 0)
    if (cutoff == 180) {
        const Vec3 d = NormalisedIfLong(V(-float(dx), -float(dy), -float(dz)));
        l.position[0] = d.x, l.position[1] = d.y, l.position[2] = d.z, l.position[3] = 0;
        return l;
    }
    l.position[0] = float(x), l.position[1] = float(y), l.position[2] = float(z), l.position[3] = 1;
    l.specular = true;
    if (cutoff > 90) return l;
    // GL takes spot cut-offs of 0..90 only; a negative one is refused as the light's would be,
    // so it is clamped to 0 (a light that reaches nothing).
    l.cutoff = cutoff < 0 ? 0.0f : float(cutoff);
    const Vec3 d = NormalisedIfLong(V(float(dx), float(dy), float(dz)));
    l.direction[0] = d.x, l.direction[1] = d.y, l.direction[2] = d.z;
    return l;
}

// Debug markers of a placed light: a dot at its position and, for a spot light, a line along
// its direction.
void DrawLightMarkers(double x, double y, double z, double dx, double dy, double dz, double cutoff) {
    DrawDot3D(x, y, z, 40, 0x80C8FF);
    if (cutoff <= 90) {
        const Vec3 d = NormalisedIfLong(V(float(dx), float(dy), float(dz))) * 500;
        DrawLine3D(x, y, z, x + d.x, y + d.y, z + d.z, 3, 0x6CAAE1);
    }
}

} // namespace

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = s;
        }
    }
    return r;
}

Mat4 Translation(float x, float y, float z) {
    Mat4 m;
    m.m[12] = x, m.m[13] = y, m.m[14] = z;
    return m;
}

Mat4 Rotation(float degrees, float x, float y, float z) {
    Mat4 m;
    const float len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0)) return m;
    x /= len, y /= len, z /= len;
    const float a = degrees / kDegreesPerRadian;
    const float c = std::cos(a), s = std::sin(a), t = 1 - c;
    m.m[0] = x * x * t + c, m.m[4] = x * y * t - z * s, m.m[8] = x * z * t + y * s;
    m.m[1] = y * x * t + z * s, m.m[5] = y * y * t + c, m.m[9] = y * z * t - x * s;
    m.m[2] = x * z * t - y * s, m.m[6] = y * z * t + x * s, m.m[10] = z * z * t + c;
    return m;
}

Mat4 Scaling(float x, float y, float z) {
    Mat4 m;
    m.m[0] = x, m.m[5] = y, m.m[10] = z;
    return m;
}

Vec3 TransformPoint(const Mat4& m, Vec3 p) {
    return {m.m[0] * p.x + m.m[4] * p.y + m.m[8] * p.z + m.m[12],
            m.m[1] * p.x + m.m[5] * p.y + m.m[9] * p.z + m.m[13],
            m.m[2] * p.x + m.m[6] * p.y + m.m[10] * p.z + m.m[14]};
}

bool Invert(const Mat4& in, Mat4& out) {
    // Gauss-Jordan elimination with partial pivoting, in double precision.
    double a[4][8];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = in.m[c * 4 + r];
            a[r][c + 4] = r == c ? 1 : 0;
        }
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        }
        if (!(std::fabs(a[pivot][c]) > 1e-30)) return false;
        if (pivot != c) {
            for (int k = 0; k < 8; ++k) std::swap(a[c][k], a[pivot][k]);
        }
        const double inv = 1 / a[c][c];
        for (int k = 0; k < 8; ++k) a[c][k] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k) a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out.m[c * 4 + r] = float(a[r][c + 4]);
    }
    return true;
}

Mat4 RigidInverse(const Mat4& m) {
    Mat4 r;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) r.m[col * 4 + row] = m.m[row * 4 + col];
    }
    const Vec3 t{m.m[12], m.m[13], m.m[14]};
    for (int row = 0; row < 3; ++row) {
        r.m[12 + row] = -(r.m[row] * t.x + r.m[4 + row] * t.y + r.m[8 + row] * t.z);
    }
    return r;
}

Mat4 TransformStackMatrix(const Zovovezi3D& r) {
    Mat4 m;
    for (int i = 0; i <= TopLevel(r); ++i) {
        const TransformLevel& level = r.levels[i];
        m = Multiply(m, Translation(level.translation[0], level.translation[1], level.translation[2]));
        for (int k = RotationCount(level) - 1; k >= 0; --k) {
            const float* q = level.rotations[k];
            m = Multiply(m, Rotation(q[0], q[1], q[2], q[3]));
        }
        m = Multiply(m, Scaling(level.scale[0], level.scale[1], level.scale[2]));
    }
    return m;
}

bool GlReady() { return Window().ready != 0; }

void SetColourRgb(double colour, float rgb[3]) {
    const uint32_t c = uint32_t(TruncToInt(colour));
    rgb[0] = float(c & 0xFF) / 255.0f;
    rgb[1] = float((c >> 8) & 0xFF) / 255.0f;
    rgb[2] = float((c >> 16) & 0xFF) / 255.0f;
}

void ApplyCullMode(int mode) {
    gRenderer3D.cullMode = int8_t(mode);
    if (GlReady()) SetGlCulling(mode);
}

} // namespace scene3d

using namespace scene3d;

void Enter3DMode(double nearArg, double farArg, double fov) {
    Zovovezi3D& r = gRenderer3D;
    ShadowPass(false);
    const double cone = fov + 5 > 89 ? 89 : fov + 5;
    r.cullConeTan = float(std::tan(cone / double(kDegreesPerRadian)));
    r.nearPlane = float(nearArg);
    r.farPlane = float(farArg);
    r.cameraUp[0] = 0, r.cameraUp[1] = 1, r.cameraUp[2] = 0;

    ViewportFromWindow(gRenderer3D.scene.viewport);
    const double aspect = gRenderer3D.scene.viewport[3] != 0 ? double(gRenderer3D.scene.viewport[2]) / gRenderer3D.scene.viewport[3] : 1.0;
    bool ok = false;
    if (fov > 0) {
        const double h = std::tan(fov * kPi / 360) * nearArg;
        gRenderer3D.scene.projection = Frustum(-h * aspect, h * aspect, -h, h, nearArg, farArg, ok);
    } else {
        const double h = std::tan(-fov * kPi / 360) * nearArg * 100;
        gRenderer3D.scene.projection = Ortho(-h * aspect, h * aspect, -h, h, nearArg, farArg, ok);
        r.cullConeTan = float(std::tan(89 / double(kDegreesPerRadian)));
    }
    gRenderer3D.scene.modelview = Mat4();

    if (GlReady()) Load3DState(gRenderer3D.scene.viewport, gRenderer3D.scene.projection);
    for (int i = 0; i < 16; ++i) r.cameraMatrix[i] = gRenderer3D.scene.modelview.m[i];
    ApplyCullMode(0);
    r.textureOffset[0] = r.textureOffset[1] = 0;
    r.currentLevel = 0;
    gRenderer3D.scene.cullModeCopy = 0;
    r.enabledLights = 0;
    r.lightingModeOn = 0;
}

void scene3d::Set2DState() {
    WindowContext& w = Window();
    w.Setup2D(0, 0, 0, 0);
    ViewportFromWindow(gRenderer3D.scene.viewport);
    bool ok = false;
    gRenderer3D.scene.projection = Ortho(0, w.viewportWidth, -w.viewportHeight, 0, -1, 1, ok);
    gRenderer3D.scene.modelview = Mat4();
}

void Enter2DMode() {
    ShadowPass(false);
    Set2DState();
}

void SetCamera(double x, double y, double z, double tx, double ty, double tz) {
    Zovovezi3D& r = gRenderer3D;
    r.eye[0] = float(x), r.eye[1] = float(y), r.eye[2] = float(z);
    r.target[0] = float(tx), r.target[1] = float(ty), r.target[2] = float(tz);
    const Vec3 e = FromArray(r.eye), c = FromArray(r.target), up = FromArray(r.cameraUp);
    Vec3 f = e - c;
    const float fl = std::sqrt(Dot(f, f));
    if (fl != 0) f = f * (1 / fl);
    Vec3 s = Cross(up, f);
    Vec3 u = Cross(f, s);
    const float sl = std::sqrt(Dot(s, s)), ul = std::sqrt(Dot(u, u));
    if (sl != 0) s = s * (1 / sl);
    if (ul != 0) u = u * (1 / ul);
    Mat4 look;
    const Vec3 rows[3] = {s, u, f};
    for (int row = 0; row < 3; ++row) {
        look.m[0 + row] = rows[row].x;
        look.m[4 + row] = rows[row].y;
        look.m[8 + row] = rows[row].z;
    }
    gRenderer3D.scene.modelview = Multiply(look, Translation(-e.x, -e.y, -e.z));
    if (GlReady()) LoadModelview(gRenderer3D.scene.modelview);
    for (int i = 0; i < 16; ++i) r.cameraMatrix[i] = gRenderer3D.scene.modelview.m[i];
    r.currentLevel = 0;
    ResetLevel(r.levels[0]);
}

void SetCameraUp(double x, double y, double z) {
    float* up = gRenderer3D.cameraUp;
    up[0] = float(x), up[1] = float(y), up[2] = float(z);
}

void MoveObject(double x, double y, double z) {
    TransformLevel& level = gRenderer3D.levels[gRenderer3D.currentLevel];
    level.translation[0] = float(x), level.translation[1] = float(y), level.translation[2] = float(z);
    level.rotationCount = 0;
}

void ScaleObject(double x, double y, double z) {
    TransformLevel& level = gRenderer3D.levels[gRenderer3D.currentLevel];
    level.scale[0] = float(x), level.scale[1] = float(y), level.scale[2] = float(z);
    level.rotationCount = 0;
}

void RotateObject(double angle, double x, double y, double z) {
    TransformLevel& level = gRenderer3D.levels[gRenderer3D.currentLevel];
    if (!IdInRange(level.rotationCount, 16)) return;
    float* q = level.rotations[level.rotationCount++];
    q[0] = float(angle), q[1] = float(x), q[2] = float(y), q[3] = float(z);
}

void PushTransform() {
    Zovovezi3D& r = gRenderer3D;
    if (r.currentLevel >= 15) return; // 16 levels: a push beyond the last is refused
    ++r.currentLevel;
    ResetLevel(r.levels[r.currentLevel]);
}

void PopTransform() {
    if (gRenderer3D.currentLevel >= 1) --gRenderer3D.currentLevel;
}

void SetCullMode(double mode) {
    const int m = mode > 0 ? 1 : (mode == 0 ? 0 : -1); // NaN compares false both ways: -1
    gRenderer3D.scene.cullModeCopy = int8_t(m);
    ApplyCullMode(m);
}

void SetSpotLight(double idArg, double colour, double x, double y, double z, double dx, double dy,
                  double dz, double cutoff) {
    Zovovezi3D& r = gRenderer3D;
    const int32_t id = TruncToInt(idArg);
    float rgb[3];
    SetColourRgb(colour, rgb);
    if (id < 0) {
        SetLightingMode(id, rgb, V(float(x), float(y), float(z)), cutoff);
        return;
    }
    const int index = id % 8;
    if (cutoff == 0) {
        r.enabledLights = uint8_t(r.enabledLights & ~(1u << index));
        if (GlReady()) SwitchGlLightOff(index, r.enabledLights == 0);
        return;
    }
    r.enabledLights = uint8_t(r.enabledLights | (1u << index));
    if (!GlReady()) return;
    const bool fromViewer = x == 0 && y == 0 && z == 0 && dx == 0 && dy == 0 && dz == 0;
    SetGlLight(LightFor(index, rgb, fromViewer, x, y, z, dx, dy, dz, cutoff));
    if (!fromViewer && gSettings.debugMode != 0) DrawLightMarkers(x, y, z, dx, dy, dz, cutoff);
}

void SetCameraLight(double id, double colour) { SetSpotLight(id, colour, 0, 0, 0, 0, 0, 0, 180); }

void SetFog(double colourArg, double modeArg, double start, double end) {
    if (!GlReady()) return;
    const int32_t colour = TruncToInt(colourArg);
    if (colour == -1) {
        SwitchGlFogOff();
        return;
    }
    const bool exponential = TruncToInt(modeArg) != 0;
    if (!exponential && start == 0 && end == 0) {
        start = gRenderer3D.nearPlane;
        end = gRenderer3D.farPlane;
    }
    float rgb[3];
    SetColourRgb(colour, rgb);
    SetGlFog(exponential, float(start), float(end), rgb);
}

void ClearDepthBuffer() { Window().ClearBuffers(kClearDepth); }
