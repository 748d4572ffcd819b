// The built-in font: 96 glyphs of 5 x 6 pixels for the characters 32..127, drawn white with a
// dark outline into 7 x 8 cells of a 128 x 64 texture. It stands in for any font file that
// cannot be found, so text output always works.
#include <GL/gl.h>

#include <vector>

#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "window/window.h"

namespace {

// One word per character: bit (row * 5 + 4 - column) is the pixel at column 0..4 from the
// left and row 0..5 from the top.
const uint32_t kGlyphs[96] = {
    0x00000000, 0x08021084, 0x0000014A, 0x00AFABEA,  // space ! " #
    0x09E2BA8F, 0x07341359, 0x1B29324C, 0x00000084,  // $ % & '
    0x04421082, 0x10421088, 0x000ABAA0, 0x084F9080,  // ( ) * +
    0x10400000, 0x00007C00, 0x08000000, 0x01041041,  // , - . /
    0x1D1CD66E, 0x1C421184, 0x3E820A2E, 0x3C10B83E,  // 0 1 2 3
    0x042FA8C2, 0x3C10FA1F, 0x1D18FA0E, 0x1082083F,  // 4 5 6 7
    0x1D18BA2E, 0x1C17C62E, 0x00400080, 0x10400080,  // 8 9 : ;
    0x00222082, 0x000F83E0, 0x00820888, 0x08020A2E,  // < = > ?
    0x1D0BD6EE, 0x231FC62E, 0x3D18FA3E, 0x1D18422E,  // @ A B C
    0x3D18C63E, 0x3F087A1F, 0x21087A1F, 0x1D18DE0E,  // D E F G
    0x2318FE31, 0x1C42108E, 0x19210847, 0x23197251,  // H I J K
    0x3F084210, 0x2318D771, 0x2319D731, 0x1D18C62E,  // L M N O
    0x210F463E, 0x1B2AC62E, 0x232F463E, 0x3C10BA0F,  // P Q R S
    0x0842109F, 0x1D18C631, 0x08A8C631, 0x23BAC631,  // T U V W
    0x22A21151, 0x08421151, 0x3F04105F, 0x1C84210E,  // X Y Z [
    0x00111110, 0x1C21084E, 0x00004544, 0x3E000000,  // \\ ] ^ _
    0x00000088, 0x1F1785C0, 0x3D18FA10, 0x1F0841E0,  // ` a b c
    0x1F18BC21, 0x1F0FC5C0, 0x10847906, 0x1C17C5E0,  // d e f g
    0x2318FA10, 0x1C423004, 0x19211802, 0x254C5250,  // h i j k
    0x1C42108C, 0x235AD740, 0x2318C7C0, 0x1D18C5C0,  // l m n o
    0x210F47C0, 0x0217C5E0, 0x210866C0, 0x3C1741E0,  // p q r s
    0x0C9423C8, 0x1B38C620, 0x08A8C620, 0x155AC620,  // t u v w
    0x22A22A20, 0x1C17C620, 0x3E820BE0, 0x06423083,  // x y z {
    0x08421084, 0x30421898, 0x00015500, 0x3F18C63F,  // | } ~ DEL
};

constexpr int kCellWidth = 7;
constexpr int kCellHeight = 8;
constexpr int kFontTextureWidth = 128;
constexpr int kFontTextureHeight = 64;

bool GlyphPixel(uint32_t glyph, int column, int row) {
    if (column < 0 || column >= 5 || row < 0 || row >= 6) return false;
    return (glyph >> (row * 5 + 4 - column)) & 1u;
}

// Draws one glyph into its cell. (cx, cy) is the cell pixel from the cell's top-left; the glyph
// sits one pixel in from the left and top. Cell pixels touching a set pixel (also diagonally)
// become the outline.
void DrawGlyph(std::vector<uint8_t>& image, uint32_t glyph, int cellX, int cellTop) {
    for (int cy = 0; cy < kCellHeight; ++cy) {
        for (int cx = 0; cx < kCellWidth; ++cx) {
            uint8_t value = 0;
            if (GlyphPixel(glyph, cx - 1, cy - 1)) {
                value = 255;
            } else {
                for (int dy = -1; dy <= 1 && value == 0; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (GlyphPixel(glyph, cx - 1 + dx, cy - 1 + dy)) value = 8;
                    }
                }
            }
            if (value == 0) continue;
            // The texture keeps the image bottom-up: image row y is texture row 63 - y.
            int textureRow = kFontTextureHeight - 1 - (cellTop + cy);
            uint8_t* t = &image[(size_t(textureRow) * kFontTextureWidth + size_t(cellX + cx)) * 4];
            t[0] = t[1] = t[2] = value;
            t[3] = 255;
        }
    }
}

} // namespace

void MakeBuiltinFont(int n) {
    if (!IdInRange(n, kFontSlots)) return;
    const int id = kFontTextureBase + n;
    TextureStore& store = gRenderer2D.textures;
    store.Release(id);
    TextureEntry& e = store[id];
    std::vector<uint8_t> image(size_t(kFontTextureWidth) * kFontTextureHeight * 4, 0);
    for (int k = 0; k < 96; ++k) {
        DrawGlyph(image, kGlyphs[k], (k % 16) * kCellWidth, (2 + k / 16) * kCellHeight);
    }
    if (Window().ready) {
        e.plainName = UploadPlainTexture(image.data(), kFontTextureWidth, kFontTextureHeight, true, true);
    }
    e.textureWidth = kFontTextureWidth;
    e.textureHeight = kFontTextureHeight;
    e.imageWidth = 16 * kCellWidth;
    e.imageHeight = kFontTextureHeight;
}
