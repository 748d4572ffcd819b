// PNG, JPEG and TGA pictures under real GL: a PNG's alpha blends, JPEG and TGA sprites draw
// their pixels, and every loader (sprites, bump textures, fonts, background layers, files in a
// pack) makes from a picture exactly what it makes from a BMP of the same pixels, whatever the
// file's name says.
#include <gtest/gtest.h>

#include "files/lookup.h"
#include "gfx2d/renderer.h"
#include "gl_fixture.h"
#include "packtool.h"
#include "support/picture_files.h"

using namespace gltest;
using voxatest::Pixels;
using voxatest::Rgba;

namespace {

using PictureDraw = GL;

std::string Save(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempPath(name);
    voxatest::WriteBytesTo(path, bytes);
    return path;
}

// The same pixels as a 24-bit BMP.
std::string SaveBmp(const std::string& name, const Pixels& p) {
    return MakeBitmap(name, p.w, p.h, [&](int x, int y) {
        const Rgba c = p.at[size_t(y) * p.w + x];
        return Rgb(c.r, c.g, c.b);
    });
}

// Level `level` of a GL texture as RGBA bytes.
std::vector<uint8_t> Texels(uint32_t name, int level) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<uint8_t> texels(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!texels.empty()) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// 24 x 20 of varied opaque colours, with the sprite key colour in one pixel.
Pixels Varied() {
    Pixels p(24, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x) p(x, y) = {uint8_t(x * 10), uint8_t(y * 12), uint8_t((x * y) % 256), 255};
    p(5, 5) = {255, 0, 128, 255};
    return p;
}

void ExpectNear(uint32_t got, int r, int g, int b, int tolerance, const std::string& what) {
    EXPECT_NEAR(int(got & 0xFF), r, tolerance) << what;
    EXPECT_NEAR(int((got >> 8) & 0xFF), g, tolerance) << what;
    EXPECT_NEAR(int((got >> 16) & 0xFF), b, tolerance) << what;
}

TEST_F(PictureDraw, PngAlphaBlendsAndJpegAndTgaSpritesDrawTheirPixels) {
    Pixels gradient(16, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x) gradient(x, y) = {200, 100, 50, uint8_t(17 * x)};
    ASSERT_EQ(LoadSprite(DynString(Save("gradient.png", voxatest::PngBytes(gradient, true)).c_str()), 50), 1.0);
    DrawRect(0, 0, 639, 479, Rgb(0, 0, 200));
    SetAlphaMode(-1);
    DrawSprite(50, 100, 100);
    // Translucent mode blends by the texel's alpha; the alpha test drops alpha up to 0.15.
    for (int x : {0, 2, 3, 8, 15}) {
        const double a = x >= 3 ? 17.0 * x / 255 : 0;
        ExpectNear(Back(100 + x, 102), int(200 * a + 0.5), int(100 * a + 0.5), int(50 * a + 200 * (1 - a) + 0.5), 2,
                   "column " + std::to_string(x));
    }
    SetAlphaMode(0);

    Pixels quadrants(32, 32);
    const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) quadrants(x, y) = colours[(y / 16) * 2 + x / 16];
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int tolerance;
    } cases[] = {{"q.jpg", voxatest::JpegBytes(quadrants, 95), 12},
                 {"q.tga", voxatest::TgaBytes(quadrants, 24, true), 0}};
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_EQ(LoadSprite(DynString(Save(c.name, c.bytes).c_str()), 51), 1.0) << c.name;
        DrawSprite(51, 200, 100);
        for (int q = 0; q < 4; ++q) {
            const Rgba want = colours[q];
            ExpectNear(Back(200 + 8 + 16 * (q % 2), 100 + 8 + 16 * (q / 2)), want.r, want.g, want.b, c.tolerance,
                       std::string(c.name) + " quadrant " + std::to_string(q));
        }
        EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{200, 100, 232, 132})) << c.name;
    }
}

TEST_F(PictureDraw, EveryLoaderMakesFromAPictureWhatItMakesFromTheSameBmp) {
    const Pixels varied = Varied();
    // Named against their content: the first bytes decide.
    const std::string bmp = SaveBmp("varied_bmp.png", varied);
    const std::string png = Save("varied_png.bmp", voxatest::PngBytes(varied, false));
    const std::string tga = Save("varied.tga", voxatest::TgaBytes(varied, 24));

    for (const std::string& picture : {png, tga}) {
        ASSERT_EQ(LoadSprite(DynString(bmp.c_str()), 60), 1.0);
        ASSERT_EQ(LoadSprite(DynString(picture.c_str()), 61), 1.0) << picture;
        const TextureEntry &a = gRenderer2D.textures[60], &b = gRenderer2D.textures[61];
        EXPECT_EQ(b.imageWidth, 24);
        EXPECT_EQ(b.textureHeight, 32);
        EXPECT_EQ(Texels(a.plainName, 0), Texels(b.plainName, 0)) << picture;
        EXPECT_EQ(Texels(a.mipmappedName, 2), Texels(b.mipmappedName, 2)) << picture;
        ASSERT_EQ(LoadBumpTexture(DynString(bmp.c_str()), 62), 1.0);
        ASSERT_EQ(LoadBumpTexture(DynString(picture.c_str()), 63), 1.0);
        EXPECT_EQ(Texels(gRenderer2D.textures[62].plainName, 0), Texels(gRenderer2D.textures[63].plainName, 0));
    }

    // A font: 128 x 64 cells of 8 x 8 (black is transparent in fonts, as in BMP fonts).
    Pixels font(128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) font(x, y) = (x + y) % 3 ? Rgba{0, 0, 0, 255} : Rgba{uint8_t(x * 2), 250, uint8_t(y * 4), 255};
    std::vector<uint32_t> drawn[2];
    const std::string fonts[2] = {SaveBmp("font.bmp", font), Save("font.png", voxatest::PngBytes(font, false))};
    for (int i = 0; i < 2; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        LoadFont(DynString(fonts[i].c_str()), 5);
        PrintText(DynString("Az~"), 10, 10);
        drawn[i] = BackFrame();
    }
    const std::vector<int> ink = InkBox(drawn[1]);
    EXPECT_GE(ink[0], 10);
    EXPECT_GT(ink[2], 26);  // the third character drew too
    EXPECT_LE(ink[3], 18);
    EXPECT_TRUE(drawn[0] == drawn[1]);

    // A background layer of 100 x 70, cut into 64 x 64 tiles.
    Pixels back(100, 70);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 100; ++x) back(x, y) = {uint8_t(x * 2), uint8_t(y * 3), 90, 255};
    const std::string layers[2] = {SaveBmp("back.bmp", back), Save("back.png", voxatest::PngBytes(back, true))};
    for (int i = 0; i < 2; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_EQ(LoadBmp(DynString(layers[i].c_str())), 1.0);
        drawn[i] = BackFrame();
    }
    BlackScreen();
    EXPECT_EQ(drawn[1][size_t(69) * 640 + 99], Rgb(198, 207, 90));
    EXPECT_EQ(InkBox(drawn[1]), (std::vector<int>{0, 0, 100, 70}));
    EXPECT_TRUE(drawn[0] == drawn[1]);
}

TEST_F(PictureDraw, APngInsideAPackLoadsAndDamagedPicturesMakeNoTexture) {
    const Pixels varied = Varied();
    const std::string bmp = SaveBmp("packed_ref.bmp", varied);
    const std::string png = Save("packed_src.png", voxatest::PngBytes(varied, false));
    const std::string pack = TempPath("pictures.pak");
    std::string error;
    ASSERT_TRUE(CreatePack(pack, {{"art/packed.png", png}}, error)) << error;
    CreatePackStates();
    SetPackFiles(DynString(pack.c_str()), DynString(""));
    ASSERT_EQ(LoadSprite(DynString("data/ART/Packed.PNG"), 70), 1.0);
    ASSERT_EQ(LoadSprite(DynString(bmp.c_str()), 71), 1.0);
    EXPECT_EQ(Texels(gRenderer2D.textures[70].plainName, 0), Texels(gRenderer2D.textures[71].plainName, 0));
    SetPackFiles(DynString(""), DynString(""));
    ReleasePackStates();

    // A header that passes over a body that does not decode: as a BMP with a short body, the
    // id records the header's size and holds no texture. Data that is no picture loads nothing.
    const std::vector<uint8_t> damaged = voxatest::ScrambledPng(voxatest::PngBytes(varied, false));
    EXPECT_EQ(LoadSprite(DynString(Save("damaged.png", damaged).c_str()), 72), 1.0);
    EXPECT_EQ(gRenderer2D.textures[72].plainName, 0u);
    EXPECT_EQ(gRenderer2D.textures[72].imageWidth, 24);
    EXPECT_EQ(LoadSprite(DynString(Save("words.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}).c_str()), 73), 0.0);
    EXPECT_EQ(gRenderer2D.textures[73].plainName, 0u);
}

} // namespace
