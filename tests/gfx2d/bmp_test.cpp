// The BMP reader and writer without GL: decoding against an independent encoder (ImageMagick),
// the colour key, edge fill, normal maps, the mipmap filter, and damaged or hostile headers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string TempPath(const std::string& name) {
    return "/tmp/voxa_bmp_test_" + std::to_string(getpid()) + "_" + name;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Runs ImageMagick (the Debian one, by full path) and returns its standard output.
Bytes Magick(const std::string& args) {
    std::string out = TempPath("magick.out");
    std::string cmd = "/usr/bin/convert " + args + " > " + out + " 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    Bytes bytes = ReadAll(out);
    std::remove(out.c_str());
    return bytes;
}

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

BmpLoadOptions NoKey() {
    BmpLoadOptions o;
    o.applyKey = false;
    o.colourKey = 0;
    return o;
}

// Texel (x, y) of a decoded image, y counted from the image's top.
std::vector<int> TexelFromTop(const TextureImage& img, int x, int y) {
    const uint8_t* t = &img.rgba[(size_t(img.regionHeight - 1 - y) * img.width + x) * 4];
    return {t[0], t[1], t[2], t[3]};
}

// Decodes an ImageMagick-written file and compares every pixel with ImageMagick's own reading.
void ExpectSameAsMagick(const std::string& path, int width, int height) {
    Bytes file = ReadAll(path);
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), NoKey(), 4096, img)) << path;
    ASSERT_EQ(img.regionWidth, width);
    ASSERT_EQ(img.regionHeight, height);
    Bytes rgb = Magick(path + " -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), size_t(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            EXPECT_EQ(TexelFromTop(img, x, y), (std::vector<int>{p[0], p[1], p[2], 255}))
                << path << " at " << x << "," << y;
        }
    }
}

TEST(BmpDecode, FilesWrittenByImageMagickDecodeToTheSamePixels) {
    const std::string noise = TempPath("noise.png");
    Magick("-size 13x7 xc: +noise Random " + noise);
    const std::string p8 = TempPath("p8.bmp"), p24 = TempPath("p24.bmp"), p32 = TempPath("p32.bmp");
    Magick(noise + " -colors 200 -type Palette -compress None BMP3:" + p8);
    Magick(noise + " -type TrueColor -compress None BMP3:" + p24);
    Magick(noise + " -type TrueColorAlpha -alpha opaque -define bmp:format=bmp4 " + p32);
    ASSERT_EQ(ReadAll(p8)[28], 8);
    ASSERT_EQ(ReadAll(p24)[28], 24);
    ASSERT_EQ(ReadAll(p32)[28], 32);
    ExpectSameAsMagick(p8, 13, 7);
    ExpectSameAsMagick(p24, 13, 7);
    ExpectSameAsMagick(p32, 13, 7);
    for (const auto& p : {noise, p8, p24, p32}) std::remove(p.c_str());
}

TEST(BmpDecode, PaddingRowStrideAndColourKey) {
    // 24-bit 3 x 5: rows of 12 bytes (9 rounded up); a 4 x 8 texture, transparent beyond.
    Bytes rows;
    for (int fileRow = 0; fileRow < 5; ++fileRow) {
        for (int x = 0; x < 3; ++x) {
            // blue, green, red; the top image row's first pixel is the sprite key RGB(255, 0, 128)
            bool key = fileRow == 4 && x == 0;
            bool nearKey = fileRow == 4 && x == 1; // RGB(255, 0, 127) stays opaque
            rows.push_back(key ? 128 : nearKey ? 127 : uint8_t(10 * x));
            rows.push_back(key || nearKey ? 0 : uint8_t(50 + fileRow));
            rows.push_back(key || nearKey ? 255 : 200);
        }
        rows.insert(rows.end(), {0xEE, 0xEE, 0xEE}); // padding must never be read as a pixel
    }
    Bytes file = MakeBmp(3, 5, 24, {}, rows);
    BmpLoadOptions o;  // sprite key, edge fill on
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 4096, img));
    EXPECT_EQ(img.width, 4);
    EXPECT_EQ(img.height, 8);
    EXPECT_EQ(TexelFromTop(img, 1, 0), (std::vector<int>{255, 0, 127, 255}));
    EXPECT_EQ(TexelFromTop(img, 2, 4), (std::vector<int>{200, 50, 20, 255})); // bottom row, file row 0
    EXPECT_EQ(TexelFromTop(img, 0, 0)[3], 0);  // keyed
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            if (x < 3 && y < 5) continue;
            const uint8_t* t = &img.rgba[(size_t(y) * 4 + x) * 4];
            EXPECT_EQ(t[0] | t[1] | t[2] | t[3], 0) << x << "," << y;
        }
    }
    // A 1 x 1 image gets a 2 x 2 texture; a 32-bit image 5 wide reads rows of 20 bytes.
    Bytes one = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0});
    ASSERT_TRUE(DecodeBmp(one.data(), one.size(), NoKey(), 4096, img));
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 2);
    Bytes wide(20 * 2, 0);
    wide[20 + 16] = 9;  // file row 1 (the top), pixel 4, blue
    Bytes w32 = MakeBmp(5, 2, 32, {}, wide);
    ASSERT_TRUE(DecodeBmp(w32.data(), w32.size(), NoKey(), 4096, img));
    EXPECT_EQ(TexelFromTop(img, 4, 0), (std::vector<int>{0, 0, 9, 255}));
}

TEST(BmpDecode, PaletteKeyAndIndicesBeyondThePalette) {
    // Two palette entries; index 1 is the sprite key, index 7 lies beyond the palette.
    Bytes palette = {0, 255, 0, 0, /* key */ 128, 0, 255, 0};
    Bytes file = MakeBmp(3, 1, 8, palette, {0, 1, 7, 0});
    BmpLoadOptions o;
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(TexelFromTop(img, 1, 0)[3], 0);
    EXPECT_EQ(TexelFromTop(img, 2, 0), (std::vector<int>{0, 0, 0, 0}));
}

TEST(BmpDecode, FontKeyMakesBlackTransparentWithoutEdgeFill) {
    Bytes rows;
    for (int i = 0; i < 5; ++i) {
        for (int x = 0; x < 5; ++x) {
            bool white = i == 2 && x == 2;
            rows.insert(rows.end(), {uint8_t(white ? 255 : 0), uint8_t(white ? 255 : 0), uint8_t(white ? 255 : 0)});
        }
        rows.push_back(0);
    }
    Bytes file = MakeBmp(5, 5, 24, {}, rows);
    BmpLoadOptions font;
    font.colourKey = 0;
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), font, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 2, 2), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(TexelFromTop(img, 1, 2), (std::vector<int>{0, 0, 0, 0}));
}

TEST(BmpDecode, EdgeFillTakesOnlyOpaqueNeighboursInsideTheArea) {
    TextureImage img;
    img.width = img.height = img.regionWidth = img.regionHeight = 4;
    img.rgba.assign(4 * 4 * 4, 0);
    auto set = [&](int x, int y, int r, int g, int b) {
        uint8_t* t = &img.rgba[(size_t(y) * 4 + x) * 4];
        t[0] = uint8_t(r), t[1] = uint8_t(g), t[2] = uint8_t(b), t[3] = 255;
    };
    auto at = [&](int x, int y) {
        const uint8_t* t = &img.rgba[(size_t(y) * 4 + x) * 4];
        return std::vector<int>{t[0], t[1], t[2], t[3]};
    };
    set(1, 1, 255, 0, 0);  // interior
    set(2, 1, 0, 0, 255);  // interior
    set(3, 3, 0, 255, 0);  // on the outer column and row: never counted
    FillEdgeColours(img);
    EXPECT_EQ(at(0, 0), (std::vector<int>{255, 0, 0, 0}));     // one red neighbour
    EXPECT_EQ(at(1, 2), (std::vector<int>{128, 0, 128, 0}));   // 127.5 rounds to even 128
    EXPECT_EQ(at(3, 0), (std::vector<int>{0, 0, 255, 0}));
    EXPECT_EQ(at(2, 2), (std::vector<int>{128, 0, 128, 0}));   // the green corner does not count
    EXPECT_EQ(at(3, 3), (std::vector<int>{0, 255, 0, 255}));   // opaque texels unchanged
}

TEST(BmpDecode, NormalMapOfFlatAndSlopedHeights) {
    TextureImage img;
    img.width = img.height = img.regionWidth = img.regionHeight = 4;
    img.rgba.assign(4 * 4 * 4, 0);
    for (size_t i = 0; i < 16; ++i) img.rgba[i * 4 + 2] = 200, img.rgba[i * 4 + 3] = 77;
    TextureImage flat = img;
    ConvertToNormalMap(flat);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(flat.rgba[i * 4 + 0], 127);
        EXPECT_EQ(flat.rgba[i * 4 + 1], 127);
        EXPECT_EQ(flat.rgba[i * 4 + 2], 255);
        EXPECT_EQ(flat.rgba[i * 4 + 3], 77);  // alpha kept
    }
    // Column 2 high: at x = 1 the right neighbours are higher, so gx < 0 and red drops below
    // the middle; at x = 3 the left ones are, so red rises. Rows are all alike: green stays.
    for (int y = 0; y < 4; ++y) img.rgba[(size_t(y) * 4 + 2) * 4 + 2] = 255;
    ConvertToNormalMap(img);
    const float gx = -4 * (55 / 255.0f);
    const float k = 1.0f / std::sqrt(gx * gx + 1.0f);
    EXPECT_EQ(img.rgba[(4 + 1) * 4 + 0], int((gx * k + 1) * 0.5f * 255));
    EXPECT_EQ(img.rgba[(4 + 3) * 4 + 0], int((-gx * k + 1) * 0.5f * 255));
    EXPECT_EQ(img.rgba[(4 + 1) * 4 + 1], 127);
    EXPECT_EQ(img.rgba[(4 + 1) * 4 + 2], int((k + 1) * 0.5f * 255));
}

namespace {

// The mipmap filter written the plain way, into a new buffer: texel (x, y) of the next level
// weighs texel (2x, 2y) 4, its right and upper neighbours 2 and the diagonal one 1, leaving out
// those beyond the level's edge, and divides by the weights taken.
Bytes ReferenceNextLevel(const Bytes& level, int w, int h, int& nw, int& nh) {
    nw = std::max(w / 2, 1);
    nh = std::max(h / 2, 1);
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
    return next;
}

// Runs the chain in place and holds every level to the plain filter; returns the level count.
int ExpectChainMatchesReference(Bytes buffer, int w, int h) {
    Bytes reference(buffer.begin(), buffer.begin() + long(w) * h * 4);
    int levels = 1;
    for (int rw = w, rh = h; NextMipLevel(buffer.data(), w, h); ++levels) {
        int nw, nh;
        reference = ReferenceNextLevel(reference, rw, rh, nw, nh);
        EXPECT_EQ(w, nw);
        EXPECT_EQ(h, nh);
        EXPECT_TRUE(std::equal(reference.begin(), reference.end(), buffer.begin()))
            << "level " << levels << " of " << w << " x " << h;
        rw = nw, rh = nh;
    }
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    return levels;
}

} // namespace

TEST(BmpDecode, MipChainsMatchThePlainFilterOnOddAndEvenSizes) {
    // Random texels, a quarter of them transparent (alpha 0, some with a colour as the edge
    // fill leaves them), on every shape the chain meets: odd and even sides, lines, squares.
    std::mt19937 rng(31);
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 1}, {1, 2}, {5, 3}, {3, 5}, {8, 4}, {7, 7},
                                         {33, 17}, {64, 32}, {256, 1}, {1, 128}, {1024, 512}};
    for (const auto& [w, h] : sizes) {
        Bytes texels(size_t(w) * h * 4);
        for (size_t i = 0; i < texels.size(); i += 4) {
            const uint32_t r = rng();
            const bool transparent = r % 4 == 0;
            for (int c = 0; c < 3; ++c) texels[i + c] = transparent && r % 8 == 0 ? 0 : uint8_t(r >> (8 * c));
            texels[i + 3] = transparent ? 0 : uint8_t(r >> 24 | 1);
        }
        int levels = ExpectChainMatchesReference(texels, w, h);
        int expected = 1;
        for (int a = w, b = h; a > 1 || b > 1; a = std::max(a / 2, 1), b = std::max(b / 2, 1)) ++expected;
        EXPECT_EQ(levels, expected) << w << " x " << h;
    }
    // A decoded sprite with the key colour: 5 x 3 gives an 8 x 4 texture, chain 8x4 .. 1x1.
    Bytes rows;
    for (int i = 0; i < 3; ++i) rows.insert(rows.end(), {128, 0, 255, 10, 20, 30, 40, 50, 60, 128, 0, 255, 1, 2, 3, 0});
    Bytes file = MakeBmp(5, 3, 24, {}, rows);
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), BmpLoadOptions{}, 4096, img));
    EXPECT_EQ(ExpectChainMatchesReference(Bytes(img.rgba.begin(), img.rgba.end()), img.width, img.height), 4);
    // The weights 4, 2, 2, 1 and 2 : 1 with integer division, worked by hand.
    Bytes red(8 * 4 * 4, 0);
    red[0] = 255;
    int w = 8, h = 4;
    ASSERT_TRUE(NextMipLevel(red.data(), w, h));
    EXPECT_EQ(red[0], 255 * 4 / 9);
    uint8_t two[8] = {90, 0, 0, 0, 0, 0, 0, 0};
    w = 2, h = 1;
    ASSERT_TRUE(NextMipLevel(two, w, h));
    EXPECT_EQ(two[0], 90 * 4 / 6);
    EXPECT_FALSE(NextMipLevel(two, w, h));
}

TEST(BmpDecode, DecodedTexelsMatchRecordedDigests) {
    // Every texel of the decoded texture (padding included) and of each mip level, for 8-, 24-
    // and 32-bit files with key pixels, odd sizes and rows padded to 4 bytes, whole and in
    // regions reaching past the picture, with the sprite key, the font key and a normal map;
    // the digests were recorded from the reader as it decoded texel by texel.
    auto pixelByte = [](uint32_t i) { return uint8_t((i * 2654435761u) >> 24); };
    auto makeFile = [&](int w, int h, uint16_t bits) {
        const int bytesPerPixel = bits / 8, stride = (w * bytesPerPixel + 3) & ~3;
        Bytes palette, rows(size_t(stride) * h, 0);
        if (bits == 8) {
            for (uint32_t i = 0; i < 12 * 4; ++i) palette.push_back(pixelByte(i + 7));
            palette[5 * 4 + 0] = 128, palette[5 * 4 + 1] = 0, palette[5 * 4 + 2] = 255; // index 5 is the key
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &rows[size_t(y) * stride + size_t(x) * bytesPerPixel];
                const uint32_t i = uint32_t(y * w + x);
                for (int c = 0; c < bytesPerPixel; ++c) p[c] = pixelByte(i * 4 + uint32_t(c));
                if (bits == 8) p[0] = uint8_t(p[0] % 14);          // 12 and 13 lie beyond the palette
                else if (i % 5 == 0) p[0] = 128, p[1] = 0, p[2] = 255; // the key colour
                else if (i % 11 == 0) p[0] = p[1] = p[2] = 0;      // black: the font key
            }
        }
        return MakeBmp(w, h, bits, palette, rows);
    };
    struct Case {
        int w, h;
        uint16_t bits;
        int srcX, srcY, width, height;
        uint32_t key;
        bool normalMap;
        uint64_t digest;
    };
    const Case cases[] = {
        {37, 23, 24, 0, 0, 0, 0, kSpriteColourKey, false, 0x1230a99b64011ae2ull},
        {19, 11, 32, 0, 0, 0, 0, kSpriteColourKey, false, 0x0fda9b120be1e364ull},
        {21, 9, 8, 0, 0, 0, 0, kSpriteColourKey, false, 0x1a84b87303cf4cc6ull},
        {64, 32, 24, 0, 0, 0, 0, kSpriteColourKey, false, 0xf44a0bf16aa74f84ull},
        {37, 23, 24, -5, 3, 16, 16, kSpriteColourKey, false, 0x498085dcda3232c6ull},
        {37, 23, 24, 30, 20, 16, 16, kSpriteColourKey, false, 0x35a940a0e3297636ull},
        {21, 9, 8, 4, -2, 32, 8, kSpriteColourKey, false, 0xb6a1c66b2637a3d8ull},
        {37, 23, 24, 0, 0, 0, 0, 0, false, 0x59bde321f89bc3baull},
        {19, 11, 32, 0, 0, 0, 0, 0, false, 0x852946dcae1b0c06ull},
        {37, 23, 24, 0, 0, 0, 0, kSpriteColourKey, true, 0x855d46bffb06e559ull},
    };
    for (const Case& c : cases) {
        const Bytes file = makeFile(c.w, c.h, c.bits);
        BmpLoadOptions o;
        o.srcX = c.srcX, o.srcY = c.srcY, o.width = c.width, o.height = c.height;
        o.colourKey = c.key;
        o.normalMap = c.normalMap;
        TextureImage img;
        ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 4096, img));
        uint64_t digest = 14695981039346656037ull;
        auto mix = [&](const uint8_t* bytes, size_t n) {
            for (size_t i = 0; i < n; ++i) digest = (digest ^ bytes[i]) * 1099511628211ull;
        };
        int w = img.width, h = img.height;
        do {
            mix(img.rgba.data(), size_t(w) * h * 4);
        } while (NextMipLevel(img.rgba.data(), w, h));
        EXPECT_EQ(digest, c.digest) << c.w << " x " << c.h << " " << c.bits << " bits, region " << c.srcX
                                    << ", " << c.srcY << ", " << c.width << " x " << c.height;
    }
}

TEST(BmpDecode, DamagedAndHostileHeadersAreRefusedWithoutReadingBeyondTheFile) {
    Bytes good = MakeBmp(2, 2, 24, {}, Bytes(16, 7));
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(good.data(), good.size(), NoKey(), 4096, img));

    Bytes noMagic = good;
    noMagic[0] = 'X';
    EXPECT_FALSE(DecodeBmp(noMagic.data(), noMagic.size(), NoKey(), 4096, img));

    Bytes shortPixels(good.begin(), good.end() - 1);  // header promises one byte more
    EXPECT_FALSE(DecodeBmp(shortPixels.data(), shortPixels.size(), NoKey(), 4096, img));

    Bytes hugeOffset = good;
    hugeOffset[10] = hugeOffset[11] = hugeOffset[12] = hugeOffset[13] = 0xFF;
    EXPECT_FALSE(DecodeBmp(hugeOffset.data(), hugeOffset.size(), NoKey(), 4096, img));

    Bytes tinyOffset = good;
    tinyOffset[10] = 20;  // pixel data inside the headers
    EXPECT_FALSE(DecodeBmp(tinyOffset.data(), tinyOffset.size(), NoKey(), 4096, img));

    for (uint32_t side : {0x7FFFFFFFu, 0x80000000u, 0x00100000u}) {
        Bytes absurd = good;
        for (int i = 0; i < 4; ++i) absurd[18 + i] = uint8_t(side >> (8 * i));
        EXPECT_FALSE(DecodeBmp(absurd.data(), absurd.size(), NoKey(), 4096, img)) << side;
    }

    for (uint16_t bits : {1, 4, 16, 0, 255}) {
        Bytes odd = good;
        odd[28] = uint8_t(bits);
        EXPECT_FALSE(DecodeBmp(odd.data(), odd.size(), NoKey(), 4096, img)) << bits;
    }

    // A negative height is read bottom-up like a positive one.
    Bytes negative = MakeBmp(1, -2, 24, {}, {1, 1, 1, 0, 2, 2, 2, 0});
    ASSERT_TRUE(DecodeBmp(negative.data(), negative.size(), NoKey(), 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0)[0], 2);

    // Truncated at any length: never accepted, never read beyond.
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_FALSE(DecodeBmp(cut.data(), cut.size(), NoKey(), 4096, img)) << n;
    }
}

TEST(BmpDecode, RegionsAndTheTextureLimit) {
    // 3 x 2 picture, a 4 x 4 region from (2, 1): one pixel of the picture, the rest transparent.
    Bytes rows = {0, 0, 10, 0, 0, 20, 0, 0, 30, 0, 0, 0,
                  0, 0, 40, 0, 0, 50, 0, 0, 60, 0, 0, 0};
    Bytes file = MakeBmp(3, 2, 24, {}, rows);
    BmpLoadOptions o = NoKey();
    o.srcX = 2, o.srcY = 1, o.width = 4, o.height = 4;
    TextureImage img;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 4096, img));
    EXPECT_EQ(TexelFromTop(img, 0, 0), (std::vector<int>{30, 0, 0, 255}));
    EXPECT_EQ(TexelFromTop(img, 1, 0)[3], 0);
    EXPECT_EQ(TexelFromTop(img, 0, 1)[3], 0);
    // A region larger than GL's limit is cut to it.
    o.srcX = o.srcY = 0;
    o.width = o.height = 0;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), o, 2, img));
    EXPECT_EQ(img.regionWidth, 2);
    EXPECT_EQ(img.width, 2);
}

TEST(BmpWrite, WrittenFilesHaveTheLayoutAndImageMagickReadsThem) {
    // 5 x 3 pixels: rows of 16 bytes (15 rounded up), 54 + 48 bytes.
    std::vector<uint8_t> pixels(5 * 3 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 5);
    const std::string path = TempPath("w.bmp");
    ASSERT_EQ(WriteBmp24(path.c_str(), pixels.data(), 5, 3, 5, false), 1);
    Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 102u);
    EXPECT_EQ(file[2], 102);
    EXPECT_EQ(file[38], 0x10);  // 10000 pixels per metre
    EXPECT_EQ(file[39], 0x27);
    EXPECT_EQ(file[54 + 15], 0);  // padding
    Bytes rgb = Magick(path + " -depth 8 rgb:-");
    ASSERT_EQ(rgb.size(), 45u);
    // ImageMagick's first row is the top row: our source row 2 (rows are bottom-up).
    EXPECT_EQ(rgb[0], pixels[2 * 15 + 2]);
    EXPECT_EQ(rgb[1], pixels[2 * 15 + 1]);
    EXPECT_EQ(rgb[2], pixels[2 * 15 + 0]);

    ASSERT_EQ(WriteBmp24(path.c_str(), pixels.data(), 5, 3, 5, true), 1);
    rgb = Magick(path + " -depth 8 rgb:-");
    EXPECT_EQ(rgb[2], pixels[0]);  // flipped: the top row is source row 0

    // A stride beyond the width skips the rest of each source row.
    ASSERT_EQ(WriteBmp24(path.c_str(), pixels.data(), 2, 3, 5, false), 1);
    EXPECT_EQ(ReadAll(path).size(), 54u + 8 * 3);
    std::remove(path.c_str());

    EXPECT_EQ(WriteBmp24(nullptr, pixels.data(), 5, 3, 5, false), 0);
    EXPECT_EQ(WriteBmp24("/nonexistent-dir/x.bmp", pixels.data(), 5, 3, 5, false), 0);
}

} // namespace
