// Pictures under real GL: every loader (sprites, bump textures, fonts, background layers, files
// in a pack) makes from a picture exactly what it makes from a BMP of the same pixels, whatever
// the file's name says.
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

TEST_F(PictureDraw, EveryLoaderMakesFromAPictureWhatItMakesFromTheSameBmp) {
    const Pixels varied = Varied();
    // Named against their content: the first bytes decide.
    const std::string bmp = SaveBmp("varied_bmp.png", varied);
    const std::string png = Save("varied_png.bmp", voxatest::PngBytes(varied, false));
    ASSERT_EQ(LoadSprite(DynString(bmp.c_str()), 60) + LoadSprite(DynString(png.c_str()), 61), 2.0);
    ASSERT_EQ(LoadBumpTexture(DynString(bmp.c_str()), 62) + LoadBumpTexture(DynString(png.c_str()), 63), 2.0);
    auto t = [](int id) -> const TextureEntry& { return gRenderer2D.textures[id]; };
    EXPECT_EQ(Texels(t(60).plainName, 0), Texels(t(61).plainName, 0));
    EXPECT_EQ(Texels(t(60).mipmappedName, 2), Texels(t(61).mipmappedName, 2));
    EXPECT_EQ(Texels(t(62).plainName, 0), Texels(t(63).plainName, 0));
    // A font of 128 x 64 (black is transparent in fonts, as in BMP fonts), and a background layer
    // of 100 x 70 (cut into tiles of 64) drawn from either file.
    Pixels font(128, 64), back(100, 70);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x)
            font(x, y) = (x + y) % 3 ? Rgba{0, 0, 0, 255} : Rgba{uint8_t(x * 2), 250, uint8_t(y * 4), 255};
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 100; ++x) back(x, y) = {uint8_t(x * 2), uint8_t(y * 3), 90, 255};
    LoadFont(DynString(SaveBmp("font.bmp", font).c_str()), 5);
    LoadFont(DynString(Save("font.png", voxatest::PngBytes(font, false)).c_str()), 6);
    EXPECT_EQ(Texels(t(kFontTextureBase + 5).plainName, 0), Texels(t(kFontTextureBase + 6).plainName, 0));
    const std::string layers[2] = {SaveBmp("back.bmp", back), Save("back.png", voxatest::PngBytes(back, true))};
    std::vector<uint32_t> drawn[2];
    for (int i = 0; i < 2; ++i) drawn[i] = Drawn([&] { ASSERT_EQ(LoadBmp(DynString(layers[i].c_str())), 1.0); });
    BlackScreen();
    EXPECT_TRUE(drawn[0] == drawn[1]);
    EXPECT_EQ(InkBox(drawn[1]), (std::vector<int>{0, 0, 100, 70}));
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
