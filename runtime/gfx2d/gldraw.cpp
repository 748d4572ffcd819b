// Every GL call of the 2D renderer: the operations of gldraw.h and the texture uploads of the
// store (local.h, renderer.h). The other files of gfx2d decide what to draw and call these.
#include "gfx2d/gldraw.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "window/state.h"
#include "gfx2d/bmp.h"
#include "gfx2d/local.h"

namespace {

// A new texture name, bound, with the upload pixel-store settings, its wrap mode and filters.
GLuint NewTexture(GLint wrap, GLint magFilter, GLint minFilter) {
    SetUnpackDefaults();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    return name;
}

GLenum PrimitiveMode(Primitive kind) {
    switch (kind) {
        case Primitive::points: return GL_POINTS;
        case Primitive::lines: return GL_LINES;
        case Primitive::quads: return GL_QUADS;
    }
    return GL_POINTS;
}

} // namespace

// ---- Texture names, uploads and read-back

void SetUnpackDefaults() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

int MaxTextureSize() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size > 0 ? size : 64;
}

void HeldTextureSize(uint32_t name, int& width, int& height) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    width = w;
    height = h;
}

uint32_t UploadPlainTexture(const uint8_t* rgba, int width, int height, bool nearest, bool clamp) {
    const GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
    GLuint name = NewTexture(clamp ? GL_CLAMP : GL_REPEAT, filter, filter);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return name;
}

uint32_t UploadMipmappedTexture(TextureImage& image) {
    GLuint name = NewTexture(GL_REPEAT, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    int w = image.width, h = image.height, level = 0;
    do {
        glTexImage2D(GL_TEXTURE_2D, level++, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     image.rgba.data());
    } while (NextMipLevel(image.rgba.data(), w, h));
    return name;
}

uint32_t MakeCopyTarget(int width, int height) {
    GLuint name = NewTexture(GL_REPEAT, GL_LINEAR, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    return name;
}

void DeleteTextureName(uint32_t& name) {
    if (name != 0) glDeleteTextures(1, &name);
    name = 0;
}

void BindTextureUnits(bool hasFirst, uint32_t first, bool hasSecond, uint32_t second) {
    if (gWindow.gl.multiTexCoord2f == nullptr || gWindow.gl.activeTexture == nullptr) {
        if (!hasFirst) {
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_COLOR_MATERIAL);
        } else {
            glBindTexture(GL_TEXTURE_2D, first);
            glEnable(GL_TEXTURE_2D);
        }
        return;
    }
    gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
    if (!hasFirst || !hasSecond) {
        glDisable(GL_TEXTURE_2D);
    } else {
        glBindTexture(GL_TEXTURE_2D, first);
        glEnable(GL_TEXTURE_2D);
    }
    gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    if (!hasFirst) {
        glDisable(GL_TEXTURE_2D);
        return;
    }
    glBindTexture(GL_TEXTURE_2D, hasSecond ? second : first);
    glEnable(GL_TEXTURE_2D);
}

void ReadTextureAlpha(uint8_t* out) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, out);
}

void ReadTextureBgr(uint8_t* out) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, out);
}

void CopyFrameToTexture(int x, int y, int w, int h) { glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, w, h); }

// ---- Drawing

void DrawImageQuad(double u, double v, double left, double bottom, double right, double top) {
    glBegin(GL_TRIANGLE_FAN);
    glTexCoord2d(0, 0);
    glVertex2d(left, bottom);
    glTexCoord2d(u, 0);
    glVertex2d(right, bottom);
    glTexCoord2d(u, v);
    glVertex2d(right, top);
    glTexCoord2d(0, v);
    glVertex2d(left, top);
    glEnd();
}

void DrawTurnedImageQuad(double u, double v, double cx, double cy, double angle, double hw, double hh) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(cx, cy, 0);
    glRotated(angle, 0, 0, 1);
    DrawImageQuad(u, v, -hw, -hh, hw, hh);
    glPopMatrix();
}

void DrawImageQuad3D(double u, double v, const double corners[4][3]) {
    glBegin(GL_TRIANGLE_FAN);
    glTexCoord2d(0, 0);
    glVertex3dv(corners[0]);
    glTexCoord2d(u, 0);
    glVertex3dv(corners[1]);
    glTexCoord2d(u, v);
    glVertex3dv(corners[2]);
    glTexCoord2d(0, v);
    glVertex3dv(corners[3]);
    glEnd();
}

void DrawTexturedQuads(const QuadCorner* corners, size_t count) {
    glBegin(GL_QUADS);
    for (size_t i = 0; i < count; ++i) {
        const QuadCorner& c = corners[i];
        glTexCoord2d(c.s, c.t);
        glVertex3d(c.x, c.y, c.z);
    }
    glEnd();
}

void DrawTextureTile(uint32_t name, double x, double y, int width, int height) {
    glBindTexture(GL_TEXTURE_2D, name);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2d(x, y);
    glTexCoord2d(1, 0);
    glVertex2d(x + width, y);
    glTexCoord2d(1, 1);
    glVertex2d(x + width, y + height);
    glTexCoord2d(0, 1);
    glVertex2d(x, y + height);
    glEnd();
}

void DrawFlatVertices(Primitive kind, const double* xy, int count) {
    glBegin(PrimitiveMode(kind));
    for (int i = 0; i < count; ++i) glVertex2d(xy[2 * i], xy[2 * i + 1]);
    glEnd();
}

void BeginFlatColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    glDisable(GL_ALPHA_TEST);
    glColor4ub(red, green, blue, alpha);
}

void ShiftToPixelCentres() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0);
    glMatrixMode(GL_MODELVIEW);
}

void UnshiftPixelCentres() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void DrawPolygonFan(const float* vertices, size_t count, bool textured, float scale) {
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glShadeModel(GL_SMOOTH);
    // The arrays live in client memory: a buffer object left bound by the 3D engine would turn
    // the pointers into offsets.
    if (gWindow.gl.bindBuffer != nullptr) gWindow.gl.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 32, vertices);
    if (textured) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 32, vertices + 2);
    }
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, 32, vertices + 4);
    glDrawArrays(GL_TRIANGLE_FAN, 0, GLsizei(count));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glShadeModel(GL_FLAT);
    glEnable(GL_TEXTURE_2D);
    glColor4f(scale, scale, scale, scale);
    glDisable(GL_DITHER);
    glDisable(GL_COLOR_MATERIAL);
}

// ---- State

void SetBlending(Blending mode) {
    if (mode == Blending::off) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    if (mode == Blending::translucent) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glBlendFunc(GL_ONE, GL_ONE);
    }
}

void SetDrawColour(float red, float green, float blue, float alpha) { glColor4f(red, green, blue, alpha); }

void SetAlphaTest(bool on) {
    if (on) glEnable(GL_ALPHA_TEST);
    else glDisable(GL_ALPHA_TEST);
}

bool FaceCullingOn() { return glIsEnabled(GL_CULL_FACE) != GL_FALSE; }

void SetFaceCulling(bool on) {
    if (on) glEnable(GL_CULL_FACE);
    else glDisable(GL_CULL_FACE);
}

void TextureUnitsForLayers() {
    if (gWindow.gl.multiTexCoord2f != nullptr && gWindow.gl.activeTexture != nullptr) {
        gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    }
    glEnable(GL_TEXTURE_2D);
}

void PushScreenProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, -height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void PopScreenProjection() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void ReadModelview(double m[16]) { glGetDoublev(GL_MODELVIEW_MATRIX, m); }

void ReadProjection(double m[16]) { glGetDoublev(GL_PROJECTION_MATRIX, m); }

void ReadViewport(int viewport[4]) { glGetIntegerv(GL_VIEWPORT, viewport); }
