// Sprites and the texture store under real GL: placement and rounding, the colour key,
// stretching and zooming, rotation, grabbing, collision, the mipmapped twin, normal maps and
// refused ids.
#include "gfx2d/renderer.h"
#include "gl_fixture.h"

using namespace gltest;

namespace {

constexpr uint32_t kKey = 0x8000FF;

// A 10 x 10 sprite: red, with a green top-left pixel and the key colour at the bottom-right.
double LoadMarkedSprite(double id) {
    static std::string path = MakeBitmap("marked.bmp", 10, 10, [](int x, int y) {
        if (x == 0 && y == 0) return Rgb(0, 255, 0);
        if (x == 9 && y == 9) return kKey;
        return Rgb(255, 0, 0);
    });
    return LoadSprite(DynString(path.c_str()), id);
}

using Sprites = GL;

TEST_F(Sprites, DrawSpriteRoundsUpAndHidesTheKeyColour) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    DrawSprite(1, 10.2, 5.7);  // top-left at (11, 6)
    EXPECT_EQ(Back(11, 6), Rgb(0, 255, 0));
    EXPECT_EQ(Back(12, 6), Rgb(255, 0, 0));
    EXPECT_EQ(Back(10, 6), 0u);
    EXPECT_EQ(Back(11, 5), 0u);
    EXPECT_EQ(Back(20, 15), 0u);  // the key pixel stays background
    EXPECT_EQ(Back(19, 15), Rgb(255, 0, 0));
    EXPECT_EQ(Back(20, 14), Rgb(255, 0, 0));
    EXPECT_EQ(Back(21, 14), 0u);
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{11, 6, 21, 16}));
    double w, h;
    GetSpriteSize(1, w, h);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 10);
}

TEST_F(Sprites, StretchZoomAndNegativeSizes) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    StretchSprite(1, 100, 100, 30, 20);
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{100, 100, 130, 120}));
    glClear(GL_COLOR_BUFFER_BIT);
    ZoomSprite(1, 200, 200, 2, 2);  // 20 x 20 about the centre: (195, 195)..(215, 215)
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{195, 195, 215, 215}));
    glClear(GL_COLOR_BUFFER_BIT);
    ZoomSprite(1, 50, 60, -1, 1);  // the sign is ignored: like DrawSprite, not mirrored
    EXPECT_EQ(Back(50, 60), Rgb(0, 255, 0));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{50, 60, 60, 70}));
    glClear(GL_COLOR_BUFFER_BIT);
    StretchSprite(1, 100, 100, -30, 20);  // winding turned: culled
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
}

TEST_F(Sprites, RotationTurnsCounterClockwiseAboutTheCentre) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    RotoSprite(1, 100, 100, 0);
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{100, 100, 110, 110}));
    glClear(GL_COLOR_BUFFER_BIT);
    RotoSprite(1, 100, 100, 90);  // the green top-left corner turns to the bottom-left
    EXPECT_EQ(Back(100, 109), Rgb(0, 255, 0));
    std::vector<uint32_t> turned = BackFrame();
    glClear(GL_COLOR_BUFFER_BIT);
    RotoZoomSprite(1, 100, 100, -270, 1);  // -270 equals 90
    EXPECT_EQ(BackFrame(), turned);
    glClear(GL_COLOR_BUFFER_BIT);
    RotoZoomSprite(1, 100, 100, 0, 0);  // zoom 0: natural size
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{100, 100, 110, 110}));
    glClear(GL_COLOR_BUFFER_BIT);
    RotoZoomSprite(1, 100, 100, 0, 2);  // twice the size about the same centre
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{95, 95, 115, 115}));
}

TEST_F(Sprites, GrabSpriteCopiesTheFrameDrawnSoFar) {
    DrawRect(0, 0, 39, 19, Rgb(0, 0, 255));
    DrawRect(0, 0, 3, 3, Rgb(255, 255, 0));
    GrabSprite(7, 0, 0, 40, 20);
    TextureEntry& e = gRenderer2D.textures[7];
    EXPECT_EQ(e.textureWidth, 64);
    EXPECT_EQ(e.textureHeight, 32);
    EXPECT_EQ(e.mipmappedName, 0u);
    double w, h;
    GetSpriteSize(7, w, h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 20);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawSprite(7, 300, 200);
    EXPECT_EQ(Back(300, 200), Rgb(255, 255, 0));
    EXPECT_EQ(Back(303, 203), Rgb(255, 255, 0));
    EXPECT_EQ(Back(304, 204), Rgb(0, 0, 255));
    EXPECT_EQ(Back(339, 219), Rgb(0, 0, 255));
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{300, 200, 340, 220}));
}

// A grab of no width or height empties the id and leaves a texture of 32 (or the other side's
// power of two) with an image of that size: nothing to draw, nothing to collide with.
TEST_F(Sprites, GrabSpriteOfNoSizeLeavesAnEmptyImage) {
    const struct {
        double w, h;
        int textureW, textureH, imageW, imageH;
    } cases[] = {{0, 0, 32, 32, 0, 0}, {0.9, 40, 32, 64, 0, 40}, {12, 0, 32, 32, 12, 0}, {-5, -3, 32, 32, 0, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(LoadMarkedSprite(9), 1.0);
        ASSERT_EQ(SpriteCollision(9, 0, 0, 9, 0, 0), 1.0); // the alpha mask is fetched and kept
        DrawRect(0, 0, 60, 60, Rgb(0, 0, 255));
        GrabSprite(9, 0, 0, c.w, c.h);
        const TextureEntry& e = gRenderer2D.textures[9];
        EXPECT_EQ(e.textureWidth, c.textureW) << c.w << " x " << c.h;
        EXPECT_EQ(e.textureHeight, c.textureH) << c.w << " x " << c.h;
        EXPECT_EQ(e.mipmappedName, 0u);
        EXPECT_EQ(e.alphaMask, nullptr);
        ASSERT_NE(e.plainName, 0u);
        GLint heldW = 0, heldH = 0;
        glBindTexture(GL_TEXTURE_2D, e.plainName);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &heldW);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &heldH);
        EXPECT_EQ(heldW, c.textureW);
        EXPECT_EQ(heldH, c.textureH);
        double w = -1, h = -1;
        GetSpriteSize(9, w, h);
        EXPECT_EQ(w, c.imageW);
        EXPECT_EQ(h, c.imageH);
        glClear(GL_COLOR_BUFFER_BIT);
        DrawSprite(9, 100, 100);
        EXPECT_EQ(InkBox(BackFrame())[2], 0) << c.w << " x " << c.h;
        EXPECT_EQ(SpriteCollision(9, 0, 0, 9, 0, 0), 0.0);
    }
}

TEST_F(Sprites, CollisionIsPixelExact) {
    static std::string solid = MakeBitmap("solid.bmp", 10, 10, [](int, int) { return Rgb(9, 9, 9); });
    // Top half transparent, and only the left column of the bottom half opaque: not symmetric.
    static std::string half = MakeBitmap("half.bmp", 10, 10, [](int x, int y) {
        return y < 5 || x > 0 ? kKey : Rgb(200, 0, 0);
    });
    ASSERT_EQ(LoadSprite(DynString(solid.c_str()), 20), 1.0);
    ASSERT_EQ(LoadSprite(DynString(half.c_str()), 21), 1.0);
    EXPECT_EQ(SpriteCollision(20, 0, 0, 20, 5, 5), 1.0);
    EXPECT_EQ(SpriteCollision(20, 0, 0, 20, 10, 0), 0.0);  // touching edges only
    EXPECT_EQ(SpriteCollision(20, 0, 0, 20, 0, 10), 0.0);
    EXPECT_EQ(SpriteCollision(20, 0, 0, 20, 9, 9), 1.0);   // one pixel of overlap
    // Sprite 21 at (0, 0): its opaque pixels are column 0, rows 5..9.
    EXPECT_EQ(SpriteCollision(21, 0, 0, 20, 0, -5), 0.0);  // covers rows 0..4 only
    EXPECT_EQ(SpriteCollision(21, 0, 0, 20, 0, 5), 1.0);
    EXPECT_EQ(SpriteCollision(21, 0, 0, 20, 1, 0), 0.0);  // columns 1..9: all transparent
    EXPECT_EQ(SpriteCollision(21, 0, 0, 20, 0, 9), 1.0);
    EXPECT_EQ(SpriteCollision(21, 0, 0, 20, 0, 10), 0.0);
    EXPECT_EQ(SpriteCollision(20, 0, 0, 21, 0, 0), 1.0);
    EXPECT_EQ(SpriteCollision(20, 0, 0, 60000, 0, 0), 0.0);  // empty id: zero size
    EXPECT_EQ(SpriteCollision(20, 0, 0, 70000, 0, 0), 0.0);  // refused id
}

TEST_F(Sprites, MipmappedTwinAndSizes) {
    static std::string path = MakeBitmap("five.bmp", 5, 3, [](int, int) { return Rgb(10, 20, 30); });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 30), 1.0);
    TextureEntry& e = gRenderer2D.textures[30];
    EXPECT_EQ(e.textureWidth, 8);
    EXPECT_EQ(e.textureHeight, 4);
    ASSERT_NE(e.mipmappedName, 0u);
    glBindTexture(GL_TEXTURE_2D, e.mipmappedName);
    std::vector<std::pair<int, int>> levels;
    for (int level = 0; level < 5; ++level) {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        if (w > 0) levels.emplace_back(w, h);
    }
    EXPECT_EQ(levels, (std::vector<std::pair<int, int>>{{8, 4}, {4, 2}, {2, 1}, {1, 1}}));
    // A nonzero texture variant binds the twin.
    BindTextures(30, -1, 1);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), e.mipmappedName);
    BindTextures(30, -1, 0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), e.plainName);
    SetTextureVariant(2);
    EXPECT_EQ(TextureVariant(), 2);
}

TEST_F(Sprites, BumpTextureHoldsANormalMap) {
    static std::string path = MakeBitmap("flat.bmp", 4, 4, [](int, int) { return Rgb(1, 2, 3); });
    ASSERT_EQ(LoadBumpTexture(DynString(path.c_str()), 31), 1.0);
    glBindTexture(GL_TEXTURE_2D, gRenderer2D.textures[31].plainName);
    std::vector<uint8_t> texels(4 * 4 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 127);
    EXPECT_EQ(texels[1], 127);
    EXPECT_EQ(texels[2], 255);
}

TEST_F(Sprites, MissingFilesAndRefusedIdsChangeNothing) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    EXPECT_EQ(LoadSprite(DynString("/no/such/sprite.bmp"), 1), 0.0);
    DrawSprite(1, 0, 0);  // the old sprite is still there
    EXPECT_EQ(Back(0, 0), Rgb(0, 255, 0));
    glClear(GL_COLOR_BUFFER_BIT);
    static std::string path = MakeBitmap("any.bmp", 4, 4, [](int, int) { return Rgb(1, 2, 3); });
    EXPECT_EQ(LoadSprite(DynString(path.c_str()), 65536), 0.0);
    EXPECT_EQ(LoadSprite(DynString(path.c_str()), -1), 0.0);
    EXPECT_EQ(LoadSprite(DynString(path.c_str()), std::nan("")), 0.0);
    for (double id : {-1.0, 65536.0, 1e12, -1e12}) {
        DrawSprite(id, 0, 0);
        StretchSprite(id, 0, 0, 10, 10);
        RotoZoomSprite(id, 0, 0, 10, 2);
        GrabSprite(id, 0, 0, 10, 10);
        double w = 5, h = 5;
        GetSpriteSize(id, w, h);
        EXPECT_EQ(w + h, 0);
    }
    EXPECT_EQ(InkBox(BackFrame())[2], 0);
    // A bitmap that is found but has no usable pixels: the id records the header's size and
    // holds no texture.
    std::string odd = TempPath("odd.bmp");
    std::vector<uint8_t> header(54, 0);
    header[0] = 'B', header[1] = 'M', header[10] = 54, header[14] = 40, header[18] = 3, header[22] = 3,
    header[28] = 16;
    FILE* f = std::fopen(odd.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), f);
    std::fclose(f);
    EXPECT_EQ(LoadSprite(DynString(odd.c_str()), 40), 1.0);
    EXPECT_EQ(gRenderer2D.textures[40].plainName, 0u);
    EXPECT_EQ(gRenderer2D.textures[40].imageWidth, 3);
    EXPECT_EQ(SpriteCollision(40, 0, 0, 40, 0, 0), 0.0);
}

TEST_F(Sprites, BillboardStandsOnItsPointFacingTheCamera) {
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    // The 2D projection with an identity modelview: the camera's right is x, its up is GL's y.
    DrawSpriteBillboard(1, 100, -200, 0, 2);  // (10 div 4) * 2 = 4 each side, (10 div 2) * 2 = 10 high
    EXPECT_EQ(InkBox(BackFrame()), (std::vector<int>{96, 190, 104, 200}));
    EXPECT_EQ(gRenderer2D.textures.binding.id, 1);
    BindTextures(-1, -1, 0);
    DrawSpriteBillboard(1, 300, -200, 0, 1);  // the binding it found is restored
    EXPECT_EQ(gRenderer2D.textures.binding.id, -1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glEnable(GL_TEXTURE_2D);
}

TEST_F(Sprites, BindTexturesUsesBothUnitsWhenMultitexturing) {
    ASSERT_NE(gWindow.gl.activeTexture, nullptr);
    ASSERT_EQ(LoadMarkedSprite(1), 1.0);
    static std::string path = MakeBitmap("second.bmp", 4, 4, [](int, int) { return Rgb(1, 2, 3); });
    ASSERT_EQ(LoadSprite(DynString(path.c_str()), 2), 1.0);
    BindTextures(1, 2, 0);
    GLint bound = 0;
    gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), gRenderer2D.textures[1].plainName);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), gRenderer2D.textures[2].plainName);
    BindTextures(1, -1, 0);  // unit 1 off, unit 0 shows the first texture
    gWindow.gl.activeTexture(GL_TEXTURE1_ARB);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    gWindow.gl.activeTexture(GL_TEXTURE0_ARB);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), gRenderer2D.textures[1].plainName);
    BindTextures(-1, -1, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(gRenderer2D.textures.binding.id, -1);
}

} // namespace
