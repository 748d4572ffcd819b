// The generated sounds and music through the runtime's own commands (LoadSound, PlaySound,
// PlayMusic), heard through SDL's disk audio driver.
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"
#include "core/lifecycle.h"
#include "devices/devices.h"
#include "support/errorlog_lines.h"

namespace {

std::string BinDir() {
    const char* dir = std::getenv("VOXA_BIN_DIR");
    return dir ? dir : "build/bin";
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class AssetSoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/voxa-asset-sound-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        output_ = dir_ + "/out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "10", 1);
        SetErrorLogPathForTesting((dir_ + "/log.txt").c_str());
        CreateAudioDevice();
        CreateSoundSlots();
        open_ = true;
    }
    void TearDown() override {
        Close();
        std::system(("rm -rf " + dir_).c_str());
    }
    void Close() {
        if (!open_) return;
        StopMusic();
        FreeSoundSlots();
        DestroyAudioDevice();
        open_ = false;
    }
    // Closes the device (which closes its output file) and returns the mixed samples.
    std::vector<int16_t> Output() {
        Close();
        std::string raw = voxatest::ReadFileBytes(output_);
        std::vector<int16_t> samples(raw.size() / 2);
        std::memcpy(samples.data(), raw.data(), samples.size() * 2);
        return samples;
    }
    std::string Log() const { return voxatest::ReadFileBytes(dir_ + "/log.txt"); }

    std::string dir_, output_;
    bool open_ = false;
};

int Peak(const std::vector<int16_t>& samples, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i) peak = std::max(peak, std::abs(int{samples[i]}));
    return peak;
}

TEST_F(AssetSoundTest, EveryEffectLoadsAndIsHeard) {
    const char* names[] = {"click.wav", "cork_pop.wav", "clong_3.wav", "hit1.wav", "beep.wav",
                           "zeiger.wav", "punch.wav", "reset.wav", "spiess.wav"};
    // Each sound alone, then the byte count of the output so far marks where the next starts.
    std::vector<size_t> starts;
    for (int slot = 0; slot < 9; ++slot) {
        ASSERT_EQ(LoadSound(DynString((BinDir() + "/" + names[slot]).c_str()), slot, 1), 1) << names[slot];
    }
    for (int slot = 0; slot < 9; ++slot) {
        PlaySound(slot, 0, 1);
        ASSERT_EQ(Mix_Playing(-1), 1) << names[slot] << " did not start: its slot is empty";
        for (int i = 0; i < 500 && Mix_Playing(-1) > 0; ++i) SleepMs(5);
        ASSERT_EQ(Mix_Playing(-1), 0) << names[slot] << " does not end";
    }
    std::vector<int16_t> out = Output();
    EXPECT_GT(Peak(out, 0, out.size()), 3000);
    EXPECT_EQ(Log(), "");
}

TEST_F(AssetSoundTest, MusicPlaysByItsPlainNameFromTheGameDirectory) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(BinDir().c_str()), 0);
    PlayMusic(DynString("voxa1.mp3"));
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    SleepMs(400);
    EXPECT_EQ(Mix_PlayingMusic(), 1);  // looping, still on
    StopMusic();
    ASSERT_EQ(chdir(cwd), 0);
    std::vector<int16_t> out = Output();
    EXPECT_GT(Peak(out, 0, out.size()), 3000);
    EXPECT_EQ(Log(), "");  // no "PLAYMUSIC:" failure
}

}  // namespace
