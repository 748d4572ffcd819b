// Bitmap fonts: 16 font slots in the texture store (ids 65520..65535), each an image of 16
// columns of fixed-size character cells; 8 rows (128 characters) for a square or wide image,
// 16 rows (256 characters) for a tall one. Text is fixed-pitch and drawn as one batch of quads.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/errors.h"
#include "files/lookup.h"
#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "window/window.h"

namespace {

int ClampFont(double n) { return std::clamp(TruncToInt(n), 0, kFontSlots - 1); }

// The cell grid of a font as drawn by DrawText.
struct FontGrid {
    int cellWidth = 0, cellHeight = 0;
    int rows = 8, chars = 128;
    double du = 0, dv = 0;  // one cell in texture coordinates
};

bool GridOf(const TextureEntry& e, FontGrid& g) {
    if (e.textureWidth <= 0 || e.textureHeight <= 0) return false;
    const int w = e.imageWidth, h = e.imageHeight;
    g.cellWidth = w / 16;
    g.du = double(w) / e.textureWidth * (1.0 / 16);
    if (w < h) g.rows = 16, g.chars = 256;
    g.cellHeight = h / g.rows;
    g.dv = double(h) / e.textureHeight * (1.0 / g.rows);
    return true;
}

// Texture coordinates of the lower-left corner of a character's cell. The store keeps images
// bottom-up, so the image's top row of cells has the highest t.
void CellOrigin(const FontGrid& g, unsigned char byte, double& s, double& t) {
    int c = byte % g.chars;
    s = (c % 16) * g.du;
    t = (g.rows - 1 - c / 16) * g.dv;
}

// The corners of a text's quads, four per character, kept between calls so that drawing text
// allocates only for a text longer than any before.
std::vector<QuadCorner>& GlyphCorners() {
    static std::vector<QuadCorner> corners;
    corners.clear();
    return corners;
}

// Adds a character's quad: its cell of the font texture on the corners lower-left, lower-right,
// upper-right, upper-left.
void AddGlyph(std::vector<QuadCorner>& out, const FontGrid& g, char c, const double* v0, const double* v1,
              const double* v2, const double* v3) {
    double s, t;
    CellOrigin(g, static_cast<unsigned char>(c), s, t);
    out.push_back({s, t, v0[0], v0[1], v0[2]});
    out.push_back({s + g.du, t, v1[0], v1[1], v1[2]});
    out.push_back({s + g.du, t + g.dv, v2[0], v2[1], v2[2]});
    out.push_back({s, t + g.dv, v3[0], v3[1], v3[2]});
}

} // namespace

int CurrentFont() { return std::clamp(gRenderer2D.currentFont, 0, kFontSlots - 1); }

void LoadFont(const DynString& file, double n) {
    const int slot = ClampFont(n);
    gRenderer2D.currentFont = slot;
    DynString path;
    if (!ResolveFile(file.CStr(), path)) {
        MakeBuiltinFont(slot);
        return;
    }
    if (gRenderer2D.textures.LoadTexture(kFontTextureBase + slot, path.CStr(), 0, false) == 0) {
        SetErrorCode(3);
        EndProgram();
    }
}

void SetFont(double n) { gRenderer2D.currentFont = ClampFont(n); }

void DrawText(int font, const char* text, double x, double y, double z) {
    if (!IdInRange(font, kFontSlots) || text == nullptr || !Window().ready) return;
    const int id = kFontTextureBase + font;
    BindTextures(id, -1, 0);
    FontGrid g;
    if (!GridOf(gRenderer2D.textures[id], g)) return;
    double X = CeilToInt(x), Y = -double(CeilToInt(y));
    std::vector<QuadCorner>& corners = GlyphCorners();
    for (const char* p = text; *p != '\0'; ++p) {
        const double v0[3] = {X, Y - g.cellHeight, z}, v1[3] = {X + g.cellWidth, Y - g.cellHeight, z};
        const double v2[3] = {X + g.cellWidth, Y, z}, v3[3] = {X, Y, z};
        AddGlyph(corners, g, *p, v0, v1, v2, v3);
        X += g.cellWidth;
    }
    DrawTexturedQuads(corners.data(), corners.size());
}

void PrintText(const DynString& text, double x, double y) {
    DrawText(CurrentFont(), text.CStr(), x, y, 0);
}

void PrintNumber(double number, double x, double y) { PrintText(DynString(number), x, y); }

void GetFontSize(double& w, double& h) {
    const TextureEntry& e = gRenderer2D.textures[kFontTextureBase + CurrentFont()];
    w = e.imageWidth / 16;
    h = e.imageHeight / 8;
}

namespace {

// Text at the window position of a 3D point, centred on it, the cells' lower edge at its height.
void DrawTextAtPoint(int font, const char* text, double x, double y, double z) {
    double m[16], p[16];
    int vp[4];
    ReadModelview(m);
    ReadProjection(p);
    ReadViewport(vp);
    double eye[4], clip[4];
    const double in[4] = {x, y, z, 1};
    for (int r = 0; r < 4; ++r) eye[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
    for (int r = 0; r < 4; ++r) clip[r] = p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
    if (clip[3] == 0) return;
    const double ndcX = clip[0] / clip[3], ndcY = clip[1] / clip[3];
    const double px = vp[0] + (ndcX + 1) * vp[2] * 0.5;
    const double py = vp[3] - (vp[1] + (ndcY + 1) * vp[3] * 0.5);
    const TextureEntry& e = gRenderer2D.textures[kFontTextureBase + font];
    const WindowContext& window = Window();
    PushScreenProjection(window.screenWidth, window.screenHeight);
    DrawText(font, text, px - std::strlen(text) * (e.imageWidth / 16) * 0.5, py - e.imageHeight / 8, 0);
    PopScreenProjection();
}

// Text standing in the scene and facing the camera; each glyph a square of cw * size units.
void DrawTextStanding(int font, const char* text, double x, double y, double z, double size) {
    const int id = kFontTextureBase + font;
    FontGrid g;
    if (!GridOf(gRenderer2D.textures[id], g)) return;
    double m[16];
    ReadModelview(m);
    const double k = g.cellWidth * size;
    const double R[3] = {m[0] * k, m[4] * k, m[8] * k}, U[3] = {m[1] * k, m[5] * k, m[9] * k};
    const double half = std::strlen(text) / 2.0;
    double v0[3], v1[3], v2[3], v3[3];
    const double P[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        v0[i] = P[i] - R[i] * half;
        v1[i] = v0[i] + R[i];
        v2[i] = v1[i] + U[i];
        v3[i] = v0[i] + U[i];
    }
    BindTextures(id, -1, 0);
    std::vector<QuadCorner>& corners = GlyphCorners();
    for (const char* p = text; *p != '\0'; ++p) {
        AddGlyph(corners, g, *p, v0, v1, v2, v3);
        for (int i = 0; i < 3; ++i) v0[i] += R[i], v1[i] += R[i], v2[i] += R[i], v3[i] += R[i];
    }
    DrawTexturedQuads(corners.data(), corners.size());
}

} // namespace

void DrawText3D(int font, const char* text, double x, double y, double z, double size) {
    if (!IdInRange(font, kFontSlots) || text == nullptr || !Window().ready) return;
    const bool culling = FaceCullingOn();
    if (culling) SetFaceCulling(false);
    if (size == 0) {
        DrawTextAtPoint(font, text, x, y, z);
    } else {
        DrawTextStanding(font, text, x, y, z, size);
    }
    if (culling) SetFaceCulling(true);
}
