// The generated bitmaps through the runtime's own loaders in a real GL window: fonts, sprites and
// the bump map load at the sizes the game draws them with, and LoadAssets fills every slot the
// game uses, again at a restart.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "assets.h"
#include "base/errors.h"
#include "devices/lifecycle.h"
#include "gfx2d/gl_fixture.h"
#include "gfx3d/objectstore.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"

namespace {

class AssetLoading : public gltest::GL {
  protected:
    void SetUp() override {
        GL::SetUp();
        log_ = voxatest::PrivateLogPath("asset_loading");
        SetErrorLogPathForTesting(log_.c_str());
    }
    void TearDown() override {
        EXPECT_TRUE(voxatest::ReadLogLines(log_).empty());
        std::remove(log_.c_str());
    }
    std::string log_;
};

TEST_F(AssetLoading, FontsSpritesAndTheBumpMapLoadAtTheirSizes) {
    // The fonts are 16-column grids of 32 x 32, 10 x 16 and 16 x 16 cells.
    const struct {
        const char* file;
        int kind;  // 0 sprite, 1 font, 2 bump texture
        double w, h;
    } files[] = {{"font.bmp", 1, 32, 32},       {"font_small.bmp", 1, 10, 16},    {"font_mid.bmp", 1, 16, 16},
                 {"table.bmp", 0, 256, 512},    {"sphere.bmp", 0, 128, 64},       {"sphere_1.bmp", 0, 128, 64},
                 {"sphere_2.bmp", 0, 128, 64},  {"zeiger.bmp", 0, 64, 64},        {"back.bmp", 0, 256, 128},
                 {"rand.bmp", 0, 128, 32},      {"tube.bmp", 0, 64, 64},          {"peak.bmp", 0, 32, 32},
                 {"stab.bmp", 0, 32, 64},       {"start.bmp", 0, 640, 480},       {"day.bmp", 0, 16, 16},
                 {"maus.bmp", 0, 16, 16},       {"test.bmp", 0, 8, 8},            {"highlight.bmp", 0, 32, 16},
                 {"pfeil_rechts.bmp", 0, 32, 16}, {"pfeil_links.bmp", 0, 32, 16}, {"back_bump.bmp", 2, 256, 128}};
    double id = 500;
    for (const auto& f : files) {
        DynString path((voxatest::BinDir() + "/" + f.file).c_str());
        double w = 0, h = 0;
        if (f.kind == 1) {
            LoadFont(path, 0);
            GetFontSize(w, h);
        } else {
            ASSERT_EQ(f.kind ? LoadBumpTexture(path, id) : LoadSprite(path, id), 1) << f.file;
            GetSpriteSize(id++, w, h);
        }
        EXPECT_EQ(w, f.w) << f.file;
        EXPECT_EQ(h, f.h) << f.file;
    }
}

TEST_F(AssetLoading, LoadAssetsFillsEverySlotTheGameUses) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(voxatest::BinDir().c_str()), 0);
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
            ASSERT_TRUE(slot && slot->frames.Count() == 1) << "object " << id;
            EXPECT_GE(slot->frames[0].triangles.Count(), 3) << "object " << id;
        }
        // Objects 1, 10 and 20 share one model; the last font loaded (2, the menu font) is current.
        EXPECT_EQ(gRenderer3D.Slot(1)->frames[0].items.Count(), gRenderer3D.Slot(10)->frames[0].items.Count());
        EXPECT_EQ(gRenderer3D.Slot(1)->frames[0].items.Count(), gRenderer3D.Slot(20)->frames[0].items.Count());
        double w = 0, h = 0;
        GetFontSize(w, h);
        EXPECT_EQ(w, 16);
    }
    FreeSoundSlots();
    DestroyAudioDevice();
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
