// Background layers: full-screen pictures cut into tiles, each tile its own GL texture, so
// pictures beyond the GL size limit and of any size can be shown. Layer 0 is drawn under every
// frame by ShowScreen; layer 1 serves the crossfade, layer 3 the line editor.
#include <algorithm>

#include "base/errors.h"
#include "files/lookup.h"
#include "gfx2d/bmp.h"
#include "gfx2d/gldraw.h"
#include "gfx2d/local.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "window/state.h"
#include "window/window.h"

namespace {

// Tiles per side needed for a picture side, cut to the grid.
int TilesFor(int pixels) { return std::min((pixels + kLayerTileSize - 1) / kLayerTileSize, kLayerGrid); }

} // namespace

int LoadLayer(int layer, const char* path) {
    if (!IdInRange(layer, kLayers) || !Window().ready) return 0;
    int w = 0, h = 0;
    ReadBmpSize(path, w, h);
    if (w == 0 || h == 0) return 0;
    ReleaseLayer(layer);
    // The file is read (and decoded, when it is not a BMP) once; every tile is cut from memory.
    PictureFile file;
    if (!ReadPictureFile(path, file)) return 0;
    BackgroundLayer& l = gRenderer2D.layers[layer];
    const int columns = TilesFor(w), rows = TilesFor(h);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            BmpLoadOptions options;
            options.srcX = c * kLayerTileSize;
            options.srcY = r * kLayerTileSize;
            options.width = options.height = kLayerTileSize;
            LayerTile& tile = l.Tile(c, r);
            if (UploadBmpRegion(file, options, &tile.name, nullptr) == 0) {
                // The tiles made so far stay, recorded so that releasing the layer frees them.
                l.columns = columns;
                l.rows = r + 1;
                return 0;
            }
            tile.width = tile.height = kLayerTileSize;
        }
    }
    l.columns = columns;
    l.rows = rows;
    return 1;
}

void GrabLayer(int layer) {
    if (!IdInRange(layer, kLayers) || !Window().ready) return;
    const WindowContext& window = Window();
    const int t = std::min(MaxTextureSize(), 1024);
    ReleaseLayer(layer);
    BackgroundLayer& l = gRenderer2D.layers[layer];
    int row = 0, columns = 0;
    for (int y0 = 0; y0 < window.screenHeight && row < kLayerGrid; ++row) {
        int th = t;
        while (y0 + th > window.screenHeight && th > 0) th /= 2;
        if (th == 0) break;
        columns = 0;
        for (int x = 0; x < window.screenWidth && columns < kLayerGrid; x += t, ++columns) {
            LayerTile& tile = l.Tile(columns, row);
            tile.name = MakeCopyTarget(t, th);
            CopyFrameToTexture(x, window.screenHeight - y0 - th, t, th);
            tile.width = t;
            tile.height = th;
        }
        y0 += th;
    }
    l.columns = columns;
    l.rows = row;
}

void DrawLayer(int layer) {
    if (!IdInRange(layer, kLayers) || !Window().ready) return;
    BackgroundLayer& l = gRenderer2D.layers[layer];
    SetAlphaTest(false);
    TextureUnitsForLayers();
    double x = 0;
    for (int c = 0; c < l.columns; ++c) {
        double y = -l.Tile(c, 0).height;
        for (int r = 0; r < l.rows; ++r) {
            const LayerTile& tile = l.Tile(c, r);
            DrawTextureTile(tile.name, x, y, tile.width, tile.height);
            if (r + 1 < l.rows) y -= l.Tile(c, r + 1).height;
        }
        x += l.Tile(c, l.rows - 1).width;
    }
    SetAlphaTest(true);
}

void ReleaseLayer(int layer) {
    if (!IdInRange(layer, kLayers)) return;
    BackgroundLayer& l = gRenderer2D.layers[layer];
    for (int c = 0; c < l.columns; ++c) {
        for (int r = 0; r < l.rows; ++r) {
            LayerTile& tile = l.Tile(c, r);
            if (Window().ready) DeleteTextureName(tile.name);
        }
    }
    std::fill(l.tiles.begin(), l.tiles.end(), LayerTile{});
    l.columns = 0;
    l.rows = 0;
}

void Crossfade(int from, int to) {
    if (!IdInRange(from, kLayers) || !IdInRange(to, kLayers) || !Window().ready) return;
    WindowContext& window = Window();
    SetBlending(Blending::additive);
    SetAlphaTest(false);
    window.ClearBuffers(kClearColour);
    // f is kept in single precision: the sum of fifty steps of 0.02 lands just under 1, so
    // the loop shows 51 blended frames.
    for (float f = 0; f < 1; f += 0.02f) {
        SetDrawColour(f, f, f, 1);
        DrawLayer(to);
        SetDrawColour(1 - f, 1 - f, 1 - f, 1);
        DrawLayer(from);
        window.PresentFrame();
    }
    SetDrawColour(1, 1, 1, 1);
    DrawLayer(to);
    window.PresentFrame();
    SetAlphaTest(true);
    SetBlending(Blending::off);
    SetAlphaMode(0);
}

// ---- Commands

double LoadBmp(const DynString& file) {
    DynString path;
    if (!ResolveFile(file.CStr(), path)) return 0;
    if (LoadLayer(0, path.CStr()) == 0) {
        SetErrorCode(3);
        EndProgram();
    }
    DrawLayer(0);
    return 1;
}

void LoadBmpFade(const DynString& file) {
    DynString path;
    if (!ResolveFile(file.CStr(), path)) return;
    GrabLayer(0);
    if (LoadLayer(1, path.CStr()) == 0) {
        SetErrorCode(3);
        EndProgram();
    }
    Crossfade(0, 1);
    ReleaseLayer(1);
    LoadLayer(0, path.CStr());
    DrawLayer(0);
    SetAlphaMode(0);
}

void UseScreenAsBmp() { GrabLayer(0); }

void BlackScreen() {
    Window().ClearBuffers(kClearColour);
    ReleaseLayer(0);
}
