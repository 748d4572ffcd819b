// The generated bitmaps through the runtime's own loaders and drawing commands, in a real GL
// window: fonts, sprites and the bump map load at their sizes, the title background lets the
// scene through its window only, and LoadAssets fills every slot the game uses.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "assets.h"
#include "base/errors.h"
#include "devices/lifecycle.h"
#include "gfx3d/objectstore.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"
#include "window/window.h"

namespace {

using voxatest::BinDir;

DynString Asset(const char* name) { return DynString((BinDir() + "/" + name).c_str()); }

uint32_t Pixel(int x, int y) {
    uint8_t rgb[3];
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 480 - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return uint32_t(rgb[0]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]) << 16;
}

class AssetLoading : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static bool opened = false;
        if (opened) return;
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        ::testing::internal::CaptureStdout();  // the extension probe
        opened = Window().OpenWindow(640, 480, 0, -1);
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(opened);
    }
    void SetUp() override {
        log_ = voxatest::PrivateLogPath("asset_loading");
        SetErrorLogPathForTesting(log_.c_str());
        Window().Setup2D(0, 0, 0, 0);
        SetAlphaMode(0);
        glClearColor(0, 1, 0, 1);  // green shows where nothing opaque was drawn
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override {
        EXPECT_TRUE(voxatest::ReadLogLines(log_).empty());
        std::remove(log_.c_str());
    }
    std::string log_;
};

TEST_F(AssetLoading, FontsLoadAsSixteenColumnGridsOfTheirCellSize) {
    struct { const char* file; double cellW, cellH; } fonts[] = {
        {"font.bmp", 32, 32}, {"font_small.bmp", 10, 16}, {"font_mid.bmp", 16, 16}};
    for (int n = 0; n < 3; ++n) {
        LoadFont(Asset(fonts[n].file), n);
        double w = 0, h = 0;
        GetFontSize(w, h);
        EXPECT_EQ(w, fonts[n].cellW) << fonts[n].file;
        EXPECT_EQ(h, fonts[n].cellH) << fonts[n].file;
    }
    // "VOXA" in the large font: four 32-pixel cells of ink on the green background.
    SetFont(0);
    PrintText(DynString("VOXA"), 100, 100);
    int left = 640, right = -1;
    for (int y = 100; y < 132; ++y)
        for (int x = 90; x < 240; ++x)
            if (Pixel(x, y) != 0x00FF00) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GE(left, 100);
    EXPECT_LT(right, 100 + 4 * 32);
    EXPECT_GT(right - left, 3 * 32);
}

TEST_F(AssetLoading, SpritesAndTheBumpMapLoadAtTheirSizes) {
    struct { const char* file; double w, h; } sprites[] = {
        {"table.bmp", 256, 512}, {"sphere.bmp", 128, 64},  {"sphere_1.bmp", 128, 64}, {"sphere_2.bmp", 128, 64},
        {"zeiger.bmp", 64, 64},  {"back.bmp", 256, 128},   {"rand.bmp", 128, 32},     {"tube.bmp", 64, 64},
        {"peak.bmp", 32, 32},    {"stab.bmp", 32, 64},     {"start.bmp", 640, 480},   {"day.bmp", 16, 16},
        {"maus.bmp", 16, 16},    {"test.bmp", 8, 8},       {"highlight.bmp", 32, 16}, {"pfeil_rechts.bmp", 32, 16},
        {"pfeil_links.bmp", 32, 16}};
    double id = 500;
    for (const auto& s : sprites) {
        ASSERT_EQ(LoadSprite(Asset(s.file), id), 1) << s.file;
        double w = 0, h = 0;
        GetSpriteSize(id, w, h);
        EXPECT_EQ(w, s.w) << s.file;
        EXPECT_EQ(h, s.h) << s.file;
        ++id;
    }
    ASSERT_EQ(LoadBumpTexture(Asset("back_bump.bmp"), id), 1);
    double w = 0, h = 0;
    GetSpriteSize(id, w, h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 128);
}

TEST_F(AssetLoading, StartScreenShowsTheSceneThroughItsWindowOnly) {
    ASSERT_EQ(LoadSprite(Asset("start.bmp"), 99), 1);
    DrawSprite(99, 0, 0);
    // Inside the window the green background stays; around it the picture covers it.
    for (int y : {200, 320, 440})
        for (int x : {40, 320, 600}) EXPECT_EQ(Pixel(x, y), 0x00FF00u) << x << "," << y;
    for (int y : {10, 120, 470})
        for (int x : {5, 320, 635}) EXPECT_NE(Pixel(x, y), 0x00FF00u) << x << "," << y;
    for (int y : {250, 400}) EXPECT_NE(Pixel(10, y), 0x00FF00u);
}

TEST_F(AssetLoading, LoadAssetsFillsEverySlotTheGameUses) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(BinDir().c_str()), 0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    CreateAudioDevice();
    CreateSoundSlots();
    for (int round = 0; round < 2; ++round) {  // a restart loads everything again
        LoadAssets();
        for (double id : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 20, 99, 100, 101, 1000, 1002, 1003, 2000}) {
            double w = 0, h = 0;
            GetSpriteSize(id, w, h);
            EXPECT_GT(w * h, 0) << "texture " << id;
        }
        for (double id : {0, 1, 2, 3, 5, 6, 8, 9, 10, 11, 20}) {
            const MeshObjectX* slot = gRenderer3D.Slot(id);
            ASSERT_NE(slot, nullptr);
            ASSERT_EQ(slot->frames.Count(), 1) << "object " << id;
            EXPECT_GE(slot->frames[0].triangles.Count(), 3) << "object " << id;
        }
        // Objects 1, 10 and 20 share one model.
        EXPECT_EQ(gRenderer3D.Slot(1)->frames[0].items.Count(), gRenderer3D.Slot(10)->frames[0].items.Count());
        EXPECT_EQ(gRenderer3D.Slot(1)->frames[0].items.Count(), gRenderer3D.Slot(20)->frames[0].items.Count());
        // The last font loaded (2, the menu font) is current.
        double w = 0, h = 0;
        GetFontSize(w, h);
        EXPECT_EQ(w, 16);
    }
    FreeSoundSlots();
    DestroyAudioDevice();
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
