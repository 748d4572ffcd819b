// The BMP reader and writer without GL: decoding, the colour key, edge fill, normal maps, the
// mipmap filter, damaged or hostile headers, and the writer's row order. What the writer makes
// is read back by ImageMagick in the screenshot and sprite dump tests (layers_test.cpp).
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "files.h"
#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"

namespace {

using Bytes = std::vector<uint8_t>;
using gltest::TexelFromTop;

// A bitmap built byte by byte: 40-byte info header, optional palette, rows as given.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const Bytes& palette, const Bytes& rows) {
    Bytes b(54, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    uint32_t offset = 54 + uint32_t(palette.size());
    put32(2, offset + uint32_t(rows.size()));
    put32(10, offset);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    b[26] = 1;
    b[28] = uint8_t(bits);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

TEST(BmpDecode, PaddingColourKeysAndPalette) {
    // 24-bit 3 x 5: rows of 12 bytes (9 rounded up); a 4 x 8 texture, transparent beyond.
    Bytes rows;
    for (int fileRow = 0; fileRow < 5; ++fileRow) {
        for (int x = 0; x < 3; ++x) {
            // blue, green, red; the top image row's first pixel is the sprite key RGB(255, 0, 128)
            const bool key = fileRow == 4 && x == 0, nearKey = fileRow == 4 && x == 1; // (255, 0, 127) stays
            rows.push_back(key ? 128 : nearKey ? 127 : uint8_t(10 * x));
            rows.push_back(key || nearKey ? 0 : uint8_t(50 + fileRow));
            rows.push_back(key || nearKey ? 255 : 200);
        }
        rows.insert(rows.end(), {0xEE, 0xEE, 0xEE}); // padding must never be read as a pixel
    }
    Bytes file = MakeBmp(3, 5, 24, {}, rows);
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), BmpLoadOptions{}, 4096, img)); // sprite key, edge fill
    EXPECT_EQ(img.width, 4);
    EXPECT_EQ(img.height, 8);
    EXPECT_EQ(TexelFromTop(img, 1, 0), (std::vector<int>{255, 0, 127, 255}));
    EXPECT_EQ(TexelFromTop(img, 2, 4), (std::vector<int>{200, 50, 20, 255})); // bottom row, file row 0
    EXPECT_EQ(TexelFromTop(img, 0, 0)[3], 0);                                 // keyed
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            const uint8_t* t = &img.rgba[(size_t(y) * 4 + x) * 4];
            EXPECT_TRUE((x < 3 && y < 5) || (t[0] | t[1] | t[2] | t[3]) == 0) << x << "," << y;
        }
    }
    // The font key makes black transparent, without edge fill.
    BmpLoadOptions font;
    font.colourKey = 0;
    Bytes dot(12 * 3, 0);
    dot[12 + 3] = dot[12 + 4] = dot[12 + 5] = 9; // the centre of 3 x 3
    Bytes dots = MakeBmp(3, 3, 24, {}, dot);
    ASSERT_TRUE(DecodeBmp(dots.data(), dots.size(), font, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 1), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(TexelFromTop(img, 1, 1), (std::vector<int>{9, 9, 9, 255}));
    // A 1 x 1 image gets a 2 x 2 texture; a 32-bit image 5 wide reads rows of 20 bytes.
    Bytes one = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0});
    ASSERT_TRUE(DecodeBmp(one.data(), one.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(img.width + img.height, 4);
    Bytes wide(20 * 2, 0);
    wide[20 + 16] = 9; // file row 1 (the top), pixel 4, blue
    Bytes w32 = MakeBmp(5, 2, 32, {}, wide);
    ASSERT_TRUE(DecodeBmp(w32.data(), w32.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 4, 0), (std::vector<int>{0, 0, 9, 255}));
    // Two palette entries; index 1 is the sprite key, index 2 lies just beyond the palette.
    Bytes palette = MakeBmp(3, 1, 8, {0, 255, 0, 0, /* key */ 128, 0, 255, 0}, {0, 1, 2, 0});
    ASSERT_TRUE(DecodeBmp(palette.data(), palette.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(TexelFromTop(img, 1, 0)[3], 0);
    EXPECT_EQ(TexelFromTop(img, 2, 0), (std::vector<int>{0, 0, 0, 0}));
    // An info header size that wraps the palette's offset past 2^32 leaves the palette at 54.
    for (uint8_t i = 0; i < 4; ++i) palette[14 + i] = i == 0 ? 0xF2 : 0xFF;
    ASSERT_TRUE(DecodeBmp(palette.data(), palette.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0), (std::vector<int>{0, 255, 0, 255}));
}

// A 4 x 4 image with all texels transparent black but those set at (x, y from the bottom).
TextureImage Image4(std::initializer_list<std::array<int, 6>> texels) {
    TextureImage img;
    img.width = img.height = img.regionWidth = img.regionHeight = 4;
    img.rgba.assign(4 * 4 * 4, 0);
    for (const auto& t : texels)
        for (int c = 0; c < 4; ++c) img.rgba[(size_t(t[1]) * 4 + size_t(t[0])) * 4 + size_t(c)] = uint8_t(t[2 + c]);
    return img;
}

TEST(BmpDecode, EdgeFillTakesOnlyOpaqueNeighboursInsideTheArea) {
    // Two interior texels, and one on the outer column and row, which is never counted.
    TextureImage img = Image4({{1, 1, 255, 0, 0, 255}, {2, 1, 0, 0, 255, 255}, {3, 3, 0, 255, 0, 255}});
    FillEdgeColours(img);
    EXPECT_EQ(TexelFromTop(img, 0, 3), (std::vector<int>{255, 0, 0, 0}));   // one red neighbour
    EXPECT_EQ(TexelFromTop(img, 1, 1), (std::vector<int>{128, 0, 128, 0})); // 127.5 rounds to even 128
    EXPECT_EQ(TexelFromTop(img, 3, 3), (std::vector<int>{0, 0, 255, 0}));
    EXPECT_EQ(TexelFromTop(img, 2, 1), (std::vector<int>{128, 0, 128, 0})); // the green corner does not count
    EXPECT_EQ(TexelFromTop(img, 3, 0), (std::vector<int>{0, 255, 0, 255})); // opaque texels unchanged
}

TEST(BmpDecode, NormalMapOfFlatAndSlopedHeights) {
    // Heights in blue: 200 everywhere (alpha 77, kept), then column 2 at 255.
    TextureImage img = Image4({});
    for (size_t i = 0; i < 16; ++i) img.rgba[i * 4 + 2] = 200, img.rgba[i * 4 + 3] = 77;
    TextureImage flat = img;
    ConvertToNormalMap(flat);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(TexelFromTop(flat, i % 4, i / 4), (std::vector<int>{127, 127, 255, 77})) << i;
    // At x = 1 the right neighbours are higher, so gx < 0 and red drops below the middle; at
    // x = 3 the left ones are, so red rises. Rows are all alike: green stays.
    for (int y = 0; y < 4; ++y) img.rgba[(size_t(y) * 4 + 2) * 4 + 2] = 255;
    ConvertToNormalMap(img);
    const float gx = -4 * (55 / 255.0f), k = 1.0f / std::sqrt(gx * gx + 1.0f);
    EXPECT_EQ(TexelFromTop(img, 1, 1), (std::vector<int>{int((gx * k + 1) * 0.5f * 255), 127, int((k + 1) * 0.5f * 255), 77}));
    EXPECT_EQ(TexelFromTop(img, 3, 1)[0], int((-gx * k + 1) * 0.5f * 255));
}

// The mipmap filter written the plain way, into a new buffer: texel (x, y) of the next level
// weighs texel (2x, 2y) 4, its right and upper neighbours 2 and the diagonal one 1, leaving out
// those beyond the level's edge, and divides by the weights taken. w and h become the new sides.
Bytes ReferenceNextLevel(const Bytes& level, int& w, int& h) {
    const int nw = std::max(w / 2, 1), nh = std::max(h / 2, 1);
    Bytes next(size_t(nw) * nh * 4);
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            for (int c = 0; c < 4; ++c) {
                int sum = 0, weights = 0;
                const int taps[4][3] = {{0, 0, 4}, {1, 0, 2}, {0, 1, 2}, {1, 1, 1}};
                for (const auto& t : taps) {
                    const int sx = 2 * x + t[0], sy = 2 * y + t[1];
                    if (sx >= w || sy >= h) continue;
                    sum += level[(size_t(sy) * w + sx) * 4 + c] * t[2];
                    weights += t[2];
                }
                next[(size_t(y) * nw + x) * 4 + c] = uint8_t(sum / weights);
            }
        }
    }
    w = nw, h = nh;
    return next;
}

TEST(BmpDecode, MipChainsMatchThePlainFilterOnOddAndEvenSizes) {
    // Random texels, a quarter of them transparent (alpha 0, some with a colour as the edge
    // fill leaves them), on every shape the chain meets: odd and even sides, lines, squares.
    // The chain runs in place; every level must equal the plain filter's, down to 1 x 1.
    std::mt19937 rng(31);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 1}, {1, 2}, {5, 3}, {3, 5}, {8, 4}, {7, 7},
                                         {33, 17}, {64, 32}, {256, 1}, {1, 128}, {1024, 512}};
    for (const auto& [width, height] : sizes) {
        Bytes texels(size_t(width) * height * 4);
        for (size_t i = 0; i < texels.size(); i += 4) {
            const uint32_t r = rng();
            const bool transparent = r % 4 == 0;
            for (int c = 0; c < 3; ++c) texels[i + c] = transparent && r % 8 == 0 ? 0 : uint8_t(r >> (8 * c));
            texels[i + 3] = transparent ? 0 : uint8_t(r >> 24 | 1);
        }
        Bytes reference = texels;
        int w = width, h = height, rw = width, rh = height;
        while (NextMipLevel(texels.data(), w, h)) {
            reference = ReferenceNextLevel(reference, rw, rh);
            ASSERT_EQ(w * 10000 + h, rw * 10000 + rh) << width << " x " << height;
            EXPECT_TRUE(std::equal(reference.begin(), reference.end(), texels.begin()))
                << "level " << w << " x " << h << " of " << width << " x " << height;
        }
        EXPECT_EQ(w * 10000 + h, 10001) << width << " x " << height;
    }
}

TEST(BmpDecode, DamagedAndHostileHeadersAreRefusedWithoutReadingBeyondTheFile) {
    const Bytes good = MakeBmp(2, 2, 24, {}, Bytes(16, 7));
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(good.data(), good.size(), BmpLoadOptions{}, 4096, img));
    // Each case puts a little-endian value of `size` bytes at `at` of the good file.
    const struct {
        const char* what;
        size_t at, size;
        uint32_t value;
    } cases[] = {{"no magic", 0, 1, 'X'},           {"pixel offset beyond the file", 10, 4, 0xFFFFFFFFu},
                 {"pixels inside the headers", 10, 1, 20}, {"width -2^31", 18, 4, 0x80000000u},
                 {"width 2^20", 18, 4, 0x00100000u},     {"1 bit", 28, 2, 1},
                 {"16 bits", 28, 2, 16}};
    for (const auto& c : cases) {
        Bytes bad = good;
        for (size_t i = 0; i < c.size; ++i) bad[c.at + i] = uint8_t(c.value >> (8 * i));
        EXPECT_FALSE(DecodeBmp(bad.data(), bad.size(), BmpLoadOptions{}, 4096, img)) << c.what;
    }
    // Truncated at any length (the header promising more pixel bytes): never accepted.
    for (size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + long(n)); // a copy of n bytes: reading beyond is caught
        EXPECT_FALSE(DecodeBmp(cut.data(), cut.size(), BmpLoadOptions{}, 4096, img)) << n;
    }
    // A negative height is read bottom-up like a positive one.
    Bytes negative = MakeBmp(1, -2, 24, {}, {1, 1, 1, 0, 2, 2, 2, 0});
    ASSERT_TRUE(DecodeBmp(negative.data(), negative.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0)[0], 2);
}

TEST(BmpDecode, RegionsAndTheTextureLimit) {
    // A 3 x 2 picture (red 10, 20, 30 in the bottom row, 40, 50, 60 on top) cut into regions of
    // 4 x 4 with the sprite key: texels beyond the picture stay transparent black, untouched by
    // the edge fill. Each probe is (x, y from the top, red, alpha).
    const Bytes rows = {0, 0, 10, 0, 0, 20, 0, 0, 30, 0, 0, 0, 0, 0, 40, 0, 0, 50, 0, 0, 60, 0, 0, 0};
    const Bytes file = MakeBmp(3, 2, 24, {}, rows);
    const struct {
        int srcX, srcY;
        int probes[3][4];
    } cases[] = {{2, 1, {{0, 0, 30, 255}, {1, 0, 0, 0}, {0, 1, 0, 0}}},
                 {-1, 0, {{0, 0, 0, 0}, {1, 0, 40, 255}, {3, 0, 60, 255}}},
                 {0, -1, {{0, 0, 0, 0}, {0, 1, 40, 255}, {0, 3, 0, 0}}}};
    BmpLoadOptions o;
    TextureImage img;
    for (const auto& c : cases) {
        o.srcX = c.srcX, o.srcY = c.srcY, o.width = 4, o.height = 4;
        ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 4096, img));
        for (const auto& q : c.probes)
            EXPECT_EQ(TexelFromTop(img, q[0], q[1]), (std::vector<int>{q[2], 0, 0, q[3]})) << c.srcX << "," << c.srcY;
    }
    // A region larger than GL's limit is cut to it.
    o.srcX = o.srcY = o.width = o.height = 0;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 2, img));
    EXPECT_EQ(img.regionWidth, 2);
    EXPECT_EQ(img.width, 2);
}

TEST(BmpWrite, FlippedRowsAndRefusedPaths) {
    // Two rows of one pixel given from the top (flip): the file stores rows from the bottom, each
    // padded to 4 bytes.
    const uint8_t pixels[6] = {1, 2, 3, 4, 5, 6};
    const std::string path = gltest::TempPath("flipped.bmp");
    ASSERT_EQ(WriteBmp24(path.c_str(), pixels, 1, 2, 1, true), 1);
    const std::string file = ReadFile(path);
    std::remove(path.c_str());
    ASSERT_EQ(file.size(), 62u);
    EXPECT_EQ(uint8_t(file[2]), 62);  // the size the header gives
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
    EXPECT_EQ(WriteBmp24(nullptr, pixels, 1, 2, 1, false), 0);
    EXPECT_EQ(WriteBmp24("/nonexistent-dir/x.bmp", pixels, 1, 2, 1, false), 0);
}

} // namespace
