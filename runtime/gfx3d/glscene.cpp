// The GL calls of the 3D scene state (projection and default state, modelview, culling,
// lights, fog, the transform stack) and of the debug markers.
#include "gfx3d/glscene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gfx2d/renderer.h"

namespace scene3d {

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

void ApplyTransforms(const Zovovezi3D& r) {
    for (int i = 0; i <= TopLevel(r); ++i) {
        const TransformLevel& level = r.levels[i];
        glTranslatef(level.translation[0], level.translation[1], level.translation[2]);
        for (int k = RotationCount(level) - 1; k >= 0; --k) {
            const float* q = level.rotations[k];
            glRotatef(q[0], q[1], q[2], q[3]);
        }
        glScalef(level.scale[0], level.scale[1], level.scale[2]);
    }
}

void Load3DState(const int32_t viewport[4], const Mat4& projection) {
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    BindTextures(-1, -1, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    for (GLenum cap : {GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_STENCIL_TEST,
                       GL_POLYGON_OFFSET_POINT, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING}) {
        glDisable(cap);
    }
    glShadeModel(GL_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 0);
}

void LoadModelview(const Mat4& modelview) {
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelview.m);
}

void PushModelview(const float m[16]) {
    glPushMatrix();
    glLoadMatrixf(m);
}

void PopModelview() { glPopMatrix(); }

void ReadGlTransforms(int32_t viewport[4], Mat4& projection, Mat4& modelview) {
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
}

void SetGlCulling(int mode) {
    if (mode == 0) {
        glDisable(GL_CULL_FACE);
    } else if (mode == 1) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
    } else if (mode == -1) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
    }
}

void SetGlLight(const GlLight& l) {
    const GLenum light = GLenum(GL_LIGHT0 + l.index);
    static const GLfloat black[4] = {0, 0, 0, 1};
    glEnable(GL_LIGHTING);
    glEnable(light);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glLightfv(light, GL_DIFFUSE, l.diffuse);
    if (l.fromViewer) {
        glPushMatrix();
        glLoadIdentity();
        glLightfv(light, GL_POSITION, l.position);
        glPopMatrix();
    } else {
        glLightfv(light, GL_POSITION, l.position);
    }
    glLightfv(light, GL_SPECULAR, l.specular ? l.diffuse : black);
    glLightf(light, GL_SPOT_CUTOFF, l.cutoff);
    if (l.cutoff != 180) glLightfv(light, GL_SPOT_DIRECTION, l.direction);
}

void SwitchGlLightOff(int index, bool lastLight) {
    glDisable(GLenum(GL_LIGHT0 + index));
    if (lastLight) glDisable(GL_LIGHTING);
}

void SetGlFog(bool exponential, float startOrDensity, float end, const float rgb[3]) {
    glEnable(GL_FOG);
    if (exponential) {
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, startOrDensity);
    } else {
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, startOrDensity);
        glFogf(GL_FOG_END, end);
    }
    const GLfloat fog[4] = {rgb[0], rgb[1], rgb[2], 0};
    glFogfv(GL_FOG_COLOR, fog);
}

void SwitchGlFogOff() { glDisable(GL_FOG); }

void DrawPointMarker(Vec3 p, double size, double colour) { DrawMarker(GL_POINTS, &p, 1, size, colour); }

void DrawLineMarker(Vec3 a, Vec3 b, double width, double colour) {
    const Vec3 p[2] = {a, b};
    DrawMarker(GL_LINES, p, 2, width, colour);
}

void DrawWireSphere(Vec3 centre, float radius, double colour, float width) {
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

void DrawAxesArrows(float x, float y, float z) {
    static const float kArrow[8][3] = {{0, 0, 0},         {1, 0, 0},     {0.75f, 0.25f, 0}, {0.75f, -0.25f, 0},
                                       {1, 0, 0},         {0.75f, 0, 0.25f}, {0.75f, 0, -0.25f}, {1, 0, 0}};
    glPushMatrix();
    glLoadMatrixf(gRenderer3D.cameraMatrix);
    glTranslatef(x, y, z);
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

} // namespace scene3d
