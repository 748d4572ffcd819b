// Bitmap fonts rendered with FreeType.
//
// Each glyph is rendered anti-aliased, widened by the style's stretch (narrowed instead when it
// would not fit), centred horizontally in its cell on a common baseline, and given a dark outline so that text stays readable over the 3D scene. The runtime draws
// fonts with nearest filtering and takes pure black as transparent, so every pixel is either
// exactly black (outside the glyph and its outline) or an opaque colour that is never black.
#include "fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

namespace assetgen {

namespace {

constexpr int kColumns = 16;
constexpr int kRows = 8;
constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;
// A pixel belongs to the glyph or its outline when its coverage reaches this level.
constexpr double kOpaqueLevel = 0.3;

struct FtLibrary {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~FtLibrary() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

// A rendered glyph as coverage values 0..1.
struct Glyph {
    int width = 0, rows = 0, left = 0, top = 0;
    std::vector<double> coverage;
};

Glyph Render(FT_Face face, int code, double squeeze) {
    FT_Matrix matrix{static_cast<FT_Fixed>(std::lround(squeeze * 65536.0)), 0, 0, 0x10000};
    FT_Set_Transform(face, &matrix, nullptr);
    Glyph g;
    if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
        return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
            g.coverage[static_cast<size_t>(y) * g.width + x] = bm.buffer[y * bm.pitch + x] / 255.0;
    return g;
}

bool IsAlnum(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Largest pixel size at which letters and digits (with their outline) fit the cell height;
// reports the extent above and below the baseline at that size.
int FitPixelSize(FT_Face face, const FontStyle& style, int* above, int* below) {
    for (int size = style.cellHeight; size > 4; --size) {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
        int up = 0, down = 0;
        for (int c = kFirstChar; c <= kLastChar; ++c) {
            if (!IsAlnum(c)) continue;
            Glyph g = Render(face, c, 1.0);
            up = std::max(up, g.top);
            down = std::max(down, g.rows - g.top);
        }
        if (up + down + 2 * style.outline <= style.cellHeight) {
            *above = up;
            *below = down;
            return size;
        }
    }
    throw std::runtime_error("font does not fit its cell");
}

}  // namespace

std::string DefaultFontPath() { return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"; }

Image RenderFont(const std::string& ttfPath, const FontStyle& style, FontMetrics* metrics) {
    FtLibrary ft;
    if (FT_Init_FreeType(&ft.lib) != 0) throw std::runtime_error("FreeType did not start");
    if (FT_New_Face(ft.lib, ttfPath.c_str(), 0, &ft.face) != 0)
        throw std::runtime_error("cannot open font " + ttfPath);

    int above = 0, below = 0;
    const int pixelSize = FitPixelSize(ft.face, style, &above, &below);
    const int slack = style.cellHeight - (above + below + 2 * style.outline);
    const int baseline = style.outline + above + slack / 2;
    const int maxInk = style.cellWidth - 2 * style.outline;

    const int cw = style.cellWidth, ch = style.cellHeight;
    Image image(cw * kColumns, ch * kRows);
    FontMetrics info{pixelSize, baseline, 0};

    for (int c = kFirstChar; c <= kLastChar; ++c) {
        Glyph g = Render(ft.face, c, style.stretch);
        if (g.width > maxInk) {
            g = Render(ft.face, c, style.stretch * maxInk / g.width);
            ++info.squeezed;
        }
        // Coverage of this cell, glyph centred on the common baseline.
        std::vector<double> cell(static_cast<size_t>(cw) * ch, 0.0);
        const int ox = (cw - g.width) / 2, oy = baseline - g.top;
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                int cx = ox + x, cy = oy + y;
                if (cx >= 0 && cy >= 0 && cx < cw && cy < ch)
                    cell[static_cast<size_t>(cy) * cw + cx] = g.coverage[static_cast<size_t>(y) * g.width + x];
            }
        const int col = c % kColumns, row = c / kColumns;
        const int r = style.outline;
        for (int y = 0; y < ch; ++y) {
            for (int x = 0; x < cw; ++x) {
                double own = cell[static_cast<size_t>(y) * cw + x];
                double around = own;
                for (int dy = -r; dy <= r; ++dy)
                    for (int dx = -r; dx <= r; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (dx * dx + dy * dy > r * r + r || nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
                        around = std::max(around, cell[static_cast<size_t>(ny) * cw + nx]);
                    }
                if (around < kOpaqueLevel) continue;  // stays black: transparent
                Rgb fill = Mix(style.top, style.bottom, static_cast<double>(y) / (ch - 1));
                Rgb px = Mix(style.outlineColour, fill, own);
                if (px == Rgb{0, 0, 0}) px = {1, 1, 1};
                image.Set(col * cw + x, row * ch + y, px);
            }
        }
    }
    if (metrics) *metrics = info;
    return image;
}

}  // namespace assetgen
