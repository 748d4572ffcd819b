// The 2D renderer OpenGLZovovezi and its stores: the texture store and the background layers,
// on top of the window (window/window.h). One static object, gRenderer2D, constructed before
// the program's entry and destroyed at process exit, holds all of the gfx2d folder's state. The 3D engine binds store textures through
// TextureStore::Bind (BindTextures) and reads the store's entries and colourScale.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "voxa/gfx2d.h"
#include "window/window.h"

constexpr int kTextureIds = 65536;        // texture ids 0..65535
constexpr int kFontTextureBase = 65520;   // font n (0..15) is texture id 65520 + n
constexpr int kFontSlots = 16;
constexpr uint32_t kSpriteColourKey = 0x8000FF; // RGB(255, 0, 128): transparent in sprites and primitives
constexpr int kLayers = 16;
constexpr int kLayerGrid = 64;            // at most 64 x 64 tiles per layer
constexpr int kLayerTileSize = 64;        // tiles of loaded pictures are 64 x 64 pixels

// The alpha channel of a texture's level 0, read back from GL for the collision test.
struct AlphaMask {
    int32_t width = 0;           // texels per row
    int32_t height = 0;          // rows; row 0 is the image's bottom row
    std::vector<uint8_t> alpha;  // width * height bytes
    uint8_t At(int64_t x, int64_t row) const { // 0 outside the mask
        if (x < 0 || row < 0 || x >= width || row >= height) return 0;
        return alpha[size_t(row) * size_t(width) + size_t(x)];
    }
};

struct TextureEntry {
    uint32_t plainName = 0;      // GL texture, linear filtering (nearest for fonts), wrap repeat
    uint32_t mipmappedName = 0;  // the same pixels with a full mipmap chain; 0 for fonts and grabs
    int32_t textureWidth = 0;    // GL texture size, powers of two; -1 once released
    int32_t textureHeight = 0;
    int32_t imageWidth = 0;      // the loaded image's size in pixels (kept when released)
    int32_t imageHeight = 0;
    std::unique_ptr<AlphaMask> alphaMask; // fetched on first use by the collision test
};

// The binding last given to Bind: the 3D engine restores it after drawing untextured.
struct TextureBinding {
    int32_t id = 0;
    int32_t secondId = 0;
    int32_t mipmapped = 0;
};

// A region of a bitmap to load and how to turn it into texels.
struct BmpLoadOptions {
    int srcX = 0, srcY = 0;       // top-left of the region in the image, rows from the top
    int width = 0, height = 0;    // 0 in either: the whole image
    uint32_t colourKey = kSpriteColourKey; // colour integer made transparent; 0 also disables the edge fill
    bool applyKey = true;
    bool normalMap = false;       // convert the pixels into a normal map
    bool nearest = false;         // nearest filtering (fonts), else linear
};

class TextureStore {
public:
    TextureEntry& operator[](int id) { return entries_[id]; } // id must be valid

    int LoadTexture(int id, const char* path, uint32_t colourKey, bool normalMap); // 1 when the header gave a size
    void Release(int id);          // deletes both GL names, sizes -1, drops the mask; image size stays
    void ReleaseAll();
    void Bind(int id, int secondId, int mipmapped); // the one way to bind store textures; id < 0 untextures
    const AlphaMask* GetAlphaMask(int id); // null for an invalid id or an id without a GL texture

    TextureBinding binding;        // as last given to Bind

private:
    std::vector<TextureEntry> entries_ = std::vector<TextureEntry>(kTextureIds);
};

// A background layer: a picture cut into tiles, stored column by column from the top-left.
struct LayerTile {
    uint32_t name = 0;             // GL texture
    int32_t width = 0;             // texture size in pixels
    int32_t height = 0;
};

struct BackgroundLayer {
    std::vector<LayerTile> tiles = std::vector<LayerTile>(kLayerGrid * kLayerGrid); // [column * 64 + row]
    int32_t columns = 0;           // tile counts in use; 0 when empty
    int32_t rows = 0;
    LayerTile& Tile(int column, int row) { return tiles[size_t(column) * kLayerGrid + size_t(row)]; }
};

// The polygon under construction: its texture and vertices of eight floats each (x, GL y,
// u, v, red, green, blue, alpha). The array grows to 512 vertices at first use, then by 128.
struct Polygon {
    int32_t textureId = -1;
    bool refused = false;         // a texture id beyond the store: EndPoly draws nothing
    std::vector<float> vertices;  // 8 floats per vertex the array holds
    size_t count = 0;

    void EnsureRoom(size_t needed) {
        size_t capacity = vertices.size() / 8;
        if (capacity >= needed) return;
        if (capacity == 0) capacity = 512;
        while (capacity < needed) capacity += 128;
        vertices.resize(capacity * 8);
    }
};

// The 2D renderer, which is the state of the gfx2d folder. Everything starts empty (fonts,
// textures, layers, no polygon), colourScale 1 and font 0, before the program's entry. Loads and
// releases change single slots; RuntimeStart sets font 0 (the built-in font, then smalfont.bmp);
// EndProgram resets nothing (the process ends, and GL objects go with the context).
class OpenGLZovovezi {
public:
    OpenGLZovovezi();
    virtual ~OpenGLZovovezi();

    TextureStore textures;         // ids 0..65535
    float colourScale = 1.0f;      // strength of the alpha mode, 0..1
    BackgroundLayer layers[kLayers]; // background layers 0..15
    int32_t currentFont = 0;       // font used by text output: LoadFont and SetFont set it
    int32_t textureVariant = 0;    // nonzero: 3D objects use the mipmapped twins (SetTextureVariant)
    Polygon polygon;               // the polygon StartPoly and PolyVector build, EndPoly draws
};

extern OpenGLZovovezi gRenderer2D;

// Bitmap reading into GL textures (texturestore.cpp; the uploads are in gldraw.cpp).
int ReadBmpTexture(const char* path, const BmpLoadOptions& options, uint32_t* plainName,
                   uint32_t* mipmappedName);               // 1 on success, 0 on any failure
void ReadBmpSize(const char* path, int& width, int& height); // both 0 on failure
uint32_t UploadPlainTexture(const uint8_t* rgba, int width, int height, bool nearest, bool clamp);

// Operations of the renderer for the rest of the runtime (the commands are in voxa/gfx2d.h).
int32_t TextureVariant();                                 // the variant SetTextureVariant last set
void BindTextures(int id, int secondId, int mipmapped);   // binds store textures (unit 1 = id, unit 0 = secondId or id); id < 0 untextures
int CurrentFont();                                        // the font text output uses, 0..15 (LoadFont and SetFont choose it)
void DrawText(int font, const char* text, double x, double y, double z); // text with font 0..15 at (x, y)
void DrawText3D(int font, const char* text, double x, double y, double z, double size); // size 0: at the screen point of (x, y, z); else standing in the scene
void MakeBuiltinFont(int n);                              // font n becomes the built-in 7 x 8 font
int LoadLayer(int layer, const char* path);               // picture into 64 x 64 tiles; 1 when loaded, 0 otherwise
void GrabLayer(int layer);                                // the back buffer into tiles
void DrawLayer(int layer);                                // draws the layer's tiles from the top-left
void ReleaseLayer(int layer);                             // deletes the tiles; the layer is empty
void Crossfade(int fromLayer, int toLayer);               // 52 frames from one layer to the other
