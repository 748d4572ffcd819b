// PNG, JPEG and TGA pictures without GL: recognition by the first bytes, the header checks
// that run before SDL_image allocates, decoding to the expected texels, and BMP files still
// taking the runtime's own reader.
#include <cstring>

#include "files.h"
#include "gfx2d/picture.h"
#include "gfx2d/renderer.h"
#include "support/picture_files.h"

namespace {

using voxatest::Pixels;
using voxatest::Rgba;
using Bytes = std::vector<uint8_t>;
using Texel = std::vector<int>;
using gltest::TexelFromTop;

// 16 x 4: colour (200, 100, 50), alpha rising 17 per column from 0 to 255.
Pixels AlphaGradient() {
    Pixels p(16, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x) p(x, y) = {200, 100, 50, uint8_t(17 * x)};
    return p;
}

// 32 x 32 in four flat quadrants: red, green (top), blue, white (bottom).
Pixels Quadrants() {
    Pixels p(32, 32);
    const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) p(x, y) = colours[(y / 16) * 2 + x / 16];
    return p;
}

// The same pixels as a 24-bit BMP, written by ImageMagick.
Bytes Bmp24(const Pixels& p) {
    const std::string png = gltest::TempPath("bmp24.png");
    voxatest::WriteBytesTo(png, voxatest::PngBytes(p, false));
    return gltest::Magick(png + " -type TrueColor -compress None BMP3:-");
}

TEST(Pictures, FormatIsToldByTheFirstBytesAndHeadersAreChecked) {
    Bytes png = voxatest::PngBytes(AlphaGradient(), true);
    Bytes jpeg = voxatest::JpegBytes(Quadrants(), 90);
    Bytes tga = voxatest::TgaBytes(Quadrants(), 24), tgaRle = voxatest::TgaBytes(Quadrants(), 32, true);
    Bytes wide = png, huge = png, cutTga(tga.begin(), tga.end() - 1), jpegBig = jpeg, noFrame = {0xFF, 0xD8, 0xFF, 0xDA, 0, 2};
    wide[16] = 0, wide[17] = 1, wide[18] = 0, wide[19] = 0;      // width 65536
    huge[18] = 0x1F, huge[19] = 0x40, huge[22] = 0x1F, huge[23] = 0x40; // 8000 x 8000 in a few hundred bytes
    // The start-of-frame is the first segment libjpeg writes after its APP0 and tables: patch
    // its sides to 16000 x 16000.
    for (size_t i = 2; i + 9 < jpegBig.size(); ++i)
        if (jpegBig[i] == 0xFF && jpegBig[i + 1] == 0xC0) {
            jpegBig[i + 5] = 0x3E, jpegBig[i + 6] = 0x80, jpegBig[i + 7] = 0x3E, jpegBig[i + 8] = 0x80;
            break;
        }
    Bytes lying = png;
    lying[33] = 0x7F, lying[34] = 0xFF;  // the chunk after the header claims 2 GB
    Bytes tgaHuge = tga;
    tgaHuge[12] = tgaHuge[13] = tgaHuge[14] = tgaHuge[15] = 0xFF;
    Bytes tgaRight = tga;
    tgaRight[17] = 0x10;  // rows from the right: not decoded
    const Bytes text = {'D', 'D', 'D', 'A', ' ', '1', '.', '0', '\n', '4', ' ', '0', ' ', '0', ' ', '1', ' ', '0', ' ', '1'};
    const struct {
        const char* name;
        Bytes bytes;
        PictureFormat format;
        int w, h; // 0 x 0: the header is refused
    } cases[] = {
        {"png", png, PictureFormat::png, 16, 4},
        {"jpeg", jpeg, PictureFormat::jpeg, 32, 32},
        {"tga", tga, PictureFormat::tga, 32, 32},
        {"tga rle", tgaRle, PictureFormat::tga, 32, 32},
        {"png 65536 wide", wide, PictureFormat::png, 0, 0},
        {"png 8000 x 8000 in a small file", huge, PictureFormat::png, 0, 0},
        {"png cut before its end", Bytes(png.begin(), png.end() - 1), PictureFormat::png, 0, 0},
        {"png chunk beyond the file", lying, PictureFormat::png, 0, 0},
        {"jpeg 16000 x 16000", jpegBig, PictureFormat::jpeg, 0, 0},
        {"jpeg scan before frame", noFrame, PictureFormat::jpeg, 0, 0},
        {"tga 65535 x 65535", tgaHuge, PictureFormat::none, 0, 0},
        {"tga one byte short", cutTga, PictureFormat::none, 0, 0},
        {"tga rle cut in half", Bytes(tgaRle.begin(), tgaRle.begin() + long(tgaRle.size() / 2)), PictureFormat::none, 0, 0},
        {"tga from the right", tgaRight, PictureFormat::none, 0, 0},
        {"text model", text, PictureFormat::none, 0, 0},
        {"empty", {}, PictureFormat::none, 0, 0},
        {"bmp", Bmp24(Quadrants()), PictureFormat::bmp, 0, 0},
    };
    for (const auto& c : cases) {
        PictureFormat format;
        int w = -1, h = -1;
        EXPECT_EQ(PictureHeader(c.bytes.data(), c.bytes.size(), format, w, h), c.w > 0) << c.name;
        EXPECT_EQ(format, c.format) << c.name;
        EXPECT_EQ(SniffPicture(c.bytes.data(), c.bytes.size()), c.format) << c.name;
        EXPECT_EQ(w * 100000 + h, c.w * 100000 + c.h) << c.name;
        DecodedPicture decoded;
        EXPECT_EQ(DecodePicture(c.bytes.data(), c.bytes.size(), decoded), c.w > 0) << c.name;
    }
}

TEST(Pictures, DecodedPixelsKeepAlphaAndTheKeyOnlyAppliesWithoutIt) {
    // Alpha gradient: colours exact, alpha kept; the fully transparent column is (0, 0, 0, 0).
    PictureFile gradient;
    Bytes png = voxatest::PngBytes(AlphaGradient(), true);
    ASSERT_TRUE(DecodePicture(png.data(), png.size(), gradient.decoded));
    EXPECT_TRUE(gradient.decoded.hasAlpha);
    BmpLoadOptions options;
    options.colourKey = 0;  // no edge fill: the transparent texels stay black
    TextureImage t;
    ASSERT_TRUE(DecodePictureRegion(gradient, options, 4096, t));
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(TexelFromTop(t, x, 2), (x == 0 ? Texel{0, 0, 0, 0} : Texel{200, 100, 50, 17 * x})) << x;

    // The key colour: transparent in an RGB picture (with the edge fill around it, as in a
    // BMP), opaque in one that has alpha, whose own alpha decides.
    Pixels keyed(4, 4, {10, 20, 30, 255});
    keyed(1, 1) = {255, 0, 128, 255};
    for (bool alpha : {false, true}) {
        PictureFile f;
        Bytes bytes = voxatest::PngBytes(keyed, alpha);
        ASSERT_TRUE(DecodePicture(bytes.data(), bytes.size(), f.decoded));
        ASSERT_TRUE(DecodePictureRegion(f, BmpLoadOptions{}, 4096, t));
        EXPECT_EQ(TexelFromTop(t, 1, 1), (alpha ? Texel{255, 0, 128, 255} : Texel{10, 20, 30, 0})) << alpha;
    }

    // JPEG within its loss, TGA (plain and RLE, 24 and 32 bits) and a palettised PNG with
    // transparent entries exactly; a region cut from the middle lands at the texture's origin.
    Pixels quadrants = Quadrants();
    quadrants(31, 31) = {9, 9, 9, 0};
    const struct {
        const char* name;
        Bytes bytes;
        int tolerance;
        bool alpha;
    } cases[] = {{"jpeg", voxatest::JpegBytes(Quadrants(), 95), 12, false},
                 {"tga 24", voxatest::TgaBytes(Quadrants(), 24), 0, false},
                 {"tga 32 rle", voxatest::TgaBytes(quadrants, 32, true), 0, true},
                 {"png palette", voxatest::PngBytes(quadrants, false, true), 0, true}};
    for (const auto& c : cases) {
        PictureFile f;
        ASSERT_TRUE(DecodePicture(c.bytes.data(), c.bytes.size(), f.decoded)) << c.name;
        EXPECT_EQ(f.decoded.hasAlpha, c.alpha) << c.name;
        BmpLoadOptions region;
        region.srcX = 8, region.srcY = 8, region.width = 24, region.height = 24;
        ASSERT_TRUE(DecodePictureRegion(f, region, 4096, t)) << c.name;
        EXPECT_EQ(t.width, 32);
        // The region's quadrants: red, green (top), blue, white (bottom).
        const int probes[4][5] = {{2, 2, 255, 0, 0}, {20, 2, 0, 255, 0}, {2, 20, 0, 0, 255}, {20, 20, 255, 255, 255}};
        for (const auto& q : probes) {
            const Texel p = TexelFromTop(t, q[0], q[1]);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], q[2 + i], c.tolerance) << c.name << " " << q[0] << "," << q[1];
            EXPECT_EQ(p[3], 255) << c.name;
        }
        EXPECT_EQ(TexelFromTop(t, 23, 23)[3], c.alpha ? 0 : 255) << c.name;
    }
}

TEST(Pictures, BmpFilesKeepTheirOwnReaderAndScrambledFilesAreRefused) {
    // A BMP read as a picture file is its bytes, decoded by DecodeBmp exactly.
    Bytes bmp = Bmp24(Quadrants());
    PictureFile f;
    f.bmp = true;
    f.bytes = bmp;
    BmpLoadOptions options;
    TextureImage viaPicture, direct;
    ASSERT_TRUE(DecodePictureRegion(f, options, 4096, viaPicture));
    ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), options, 4096, direct));
    EXPECT_EQ(viaPicture.rgba, direct.rgba);
    // A scrambled picture whose header passes is refused by its decoder.
    const Bytes scrambled = voxatest::ScrambledPng(voxatest::PngBytes(Quadrants(), false));
    DecodedPicture d;
    EXPECT_FALSE(DecodePicture(scrambled.data(), scrambled.size(), d));
    PictureFile empty;
    EXPECT_FALSE(DecodePictureRegion(empty, options, 4096, viaPicture));
}

} // namespace
