// The 2D renderer's GL calls, each behind a small named operation: texture names and uploads,
// texture binding, reading textures back, immediate-mode quads and primitives, blending and
// the 2D state pieces the commands switch. gldraw.cpp is the only file of gfx2d that calls GL;
// every operation needs the window's GL context (Window().ready).
//
// Coordinates are GL's: x to the right, y upward (the 2D state maps pixel row r to y = -r).
#pragma once

#include <cstddef>
#include <cstdint>

struct TextureImage;

// ---- Texture names, uploads and read-back
// The upload helpers SetUnpackDefaults, MaxTextureSize, HeldTextureSize, UploadPlainTexture and
// MakeCopyTarget are declared with the texture store (local.h, renderer.h).
uint32_t UploadMipmappedTexture(TextureImage& image); // linear, repeating, every level down to 1 x 1 (image is overwritten)
void DeleteTextureName(uint32_t& name);               // deletes a texture (nothing for 0) and sets name to 0
// Binds store textures: first on unit 1 and second (or first) on unit 0 with multitexture,
// first alone otherwise; texturing off without a first. Names are GL texture names.
void BindTextureUnits(bool hasFirst, uint32_t first, bool hasSecond, uint32_t second);
void ReadTextureAlpha(uint8_t* out);                  // level 0 of the bound texture: one alpha byte per texel, rows bottom-up
void ReadTextureBgr(uint8_t* out);                    // level 0 of the bound texture: 3 bytes per texel, tightly packed
// Copies a w x h rectangle of the frame, lower-left corner (x, y) in GL's window coordinates,
// into the lower-left corner of the bound texture.
void CopyFrameToTexture(int x, int y, int w, int h);

// ---- Drawing
// A corner of a textured quad: texture coordinates and position.
struct QuadCorner {
    double s, t;
    double x, y, z;
};
// One quad from (left, bottom) to (right, top) carrying texture coordinates (0, 0)..(u, v),
// drawn as a triangle fan counter-clockwise from the lower-left corner.
void DrawImageQuad(double u, double v, double left, double bottom, double right, double top);
// The same quad of half sizes (hw, hh), turned by angle degrees about (cx, cy).
void DrawTurnedImageQuad(double u, double v, double cx, double cy, double angle, double hw, double hh);
void DrawImageQuad3D(double u, double v, const double corners[4][3]); // lower-left, lower-right, upper-right, upper-left
void DrawTexturedQuads(const QuadCorner* corners, size_t count);     // count / 4 quads in one batch
void DrawTextureTile(uint32_t name, double x, double y, int width, int height); // a whole texture, (x, y) its lower-left corner

enum class Primitive { points, lines, quads };
void DrawFlatVertices(Primitive kind, const double* xy, int count); // count vertices (x, y pairs) in one batch
void BeginFlatColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha); // alpha test off, the colour given
// The projection shifted by (0.375, 0.375), so integer positions hit pixel centres, and back.
void ShiftToPixelCentres();
void UnshiftPixelCentres();
// The Gouraud polygon: count vertices of eight floats (x, y, u, v, red, green, blue, alpha) as
// a triangle fan from client memory, texture coordinates only when textured. Leaves flat
// shading, texturing on and the colour at scale.
void DrawPolygonFan(const float* vertices, size_t count, bool textured, float scale);

// ---- State
enum class Blending { off, translucent, additive };
void SetBlending(Blending mode);                   // off; source alpha over the frame; added to the frame
void SetDrawColour(float red, float green, float blue, float alpha);
void SetAlphaTest(bool on);
bool FaceCullingOn();
void SetFaceCulling(bool on);
void TextureUnitsForLayers();                      // unit 1 off (with multitexture), unit 0 texturing on
// Window positions: an orthographic projection over the whole screen (y from 0 down to
// -height) and an identity modelview, both pushed; PopScreenProjection restores them.
void PushScreenProjection(int width, int height);
void PopScreenProjection();
// The current matrices and viewport as GL holds them.
void ReadModelview(double m[16]);
void ReadProjection(double m[16]);
void ReadViewport(int viewport[4]);
