// The generated sounds and music through the runtime's own commands (LoadSound, PlaySound,
// PlayMusic), heard through SDL's disk audio driver.
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/bin_dir.h"
#include "support/disk_audio.h"
#include "voxa/devices.h"

namespace {

using voxatest::BinDir;

// The runtime's audio device and sound slots, opened onto a private disk-audio file.
class AssetSoundTest : public voxatest::DiskAudioTest {
  protected:
    void SetUp() override {
        DiskAudioTest::SetUp();
        Open();
    }
    int Peak() {
        int peak = 0;
        for (int16_t s : Output()) peak = std::max(peak, std::abs(int{s}));
        return peak;
    }
};

TEST_F(AssetSoundTest, EveryEffectLoadsAndIsHeard) {
    const char* names[] = {"click.wav", "cork_pop.wav", "clong_3.wav", "hit1.wav", "beep.wav",
                           "zeiger.wav", "punch.wav", "reset.wav", "spiess.wav"};
    for (int slot = 0; slot < 9; ++slot)
        ASSERT_EQ(LoadSound(DynString((BinDir() + "/" + names[slot]).c_str()), slot, 1), 1) << names[slot];
    for (int slot = 0; slot < 9; ++slot) {
        voxatest::WithMixerHeld([&] {
            PlaySound(slot, 0, 1);
            EXPECT_EQ(Mix_Playing(-1), 1) << names[slot] << " did not start: its slot is empty";
        });
        ASSERT_TRUE(voxatest::Within([] { return Mix_Playing(-1) == 0; })) << names[slot] << " does not end";
    }
    EXPECT_GT(Peak(), 3000);
    EXPECT_EQ(Log(), "");
}

TEST_F(AssetSoundTest, MusicPlaysByItsPlainNameFromTheGameDirectory) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(BinDir().c_str()), 0);
    PlayMusic(DynString("voxa1.mp3"));
    ASSERT_TRUE(WaitForOutput(8));     // three quarters of a second of it
    EXPECT_EQ(Mix_PlayingMusic(), 1);  // looping, still on
    StopMusic();
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_GT(Peak(), 3000);
    EXPECT_EQ(Log(), "");  // no "PLAYMUSIC:" failure
}

}  // namespace
