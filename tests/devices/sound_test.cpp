// Sound effects and music, heard through SDL's disk audio driver: every test opens the audio
// device onto its own output file, plays, closes the device and reads back what was mixed.
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/errors.h"
#include "support/disk_audio.h"
#include "voxa/devices.h"

namespace {

using voxatest::WithMixerHeld;
using voxatest::WriteWav;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) { return voxatest::ReadFileBytes(path); }

// The peak of each burst of sound in the output, bursts being separated by at least a tenth
// of a second of exact silence.
std::vector<int> BurstPeaks(const std::vector<int16_t>& samples) {
    std::vector<int> peaks;
    size_t quiet = 1u << 30;
    for (int16_t s : samples) {
        int a = s < 0 ? -s : s;
        if (a == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= 8820) peaks.push_back(0);  // 4410 stereo frames of silence end a burst
        quiet = 0;
        if (a > peaks.back()) peaks.back() = a;
    }
    return peaks;
}

using SoundTest = voxatest::DiskAudioTest;

TEST_F(SoundTest, DeviceOpensAt44100HzStereo16BitWith16Channels) {
    Open();
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_EQ(Mix_QuerySpec(&rate, &format, &channels), 1);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(format, AUDIO_S16SYS);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(Mix_AllocateChannels(-1), 16);
}

TEST_F(SoundTest, VolumeScalesTheSampleAndPanIsIgnored) {
    WriteWav(Path("tone.wav"), 0.2, 12800);
    Open();
    ASSERT_EQ(LoadSound(DynString(Path("tone.wav").c_str()), 3, 0), 1);
    const double plays[][2] = {{0, 1}, {0, 0.5}, {5, 2}, {-5, 1}, {0, 0.01}, {0, -1}, {0, 0.5}};
    for (const auto& p : plays) {
        EXPECT_EQ(PlaySound(3, p[0], p[1]), 1);
        ASSERT_TRUE(WaitForSilence());
    }
    // 100 -> chunk volume 128, 50 -> 64, 1 -> 1, 0 -> nothing heard at all.
    std::vector<int> peaks = BurstPeaks(Output());
    EXPECT_EQ(peaks, (std::vector<int>{12800, 6400, 12800, 12800, 100, 6400}));
}

TEST_F(SoundTest, SeventeenLongSoundsAtOncePlaySixteen) {
    WriteWav(Path("long.wav"), 2.0, 1000, false);
    Open();
    for (int id = 0; id < 17; ++id) ASSERT_EQ(LoadSound(DynString(Path("long.wav").c_str()), id, 0), 1);
    WithMixerHeld([] {
        for (int id = 0; id < 17; ++id) PlaySound(id, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 16);
    });
    ASSERT_TRUE(WaitForSilence());
    std::vector<int> peaks = BurstPeaks(Output());
    ASSERT_EQ(peaks.size(), 1u);
    EXPECT_EQ(peaks[0], 16000);  // sixteen levels of 1000 mixed, not seventeen
}

TEST_F(SoundTest, StopAllSoundsHaltsEveryChannel) {
    WriteWav(Path("long.wav"), 5.0, 1000);
    Open();
    LoadSound(DynString(Path("long.wav").c_str()), 0, 0);
    WithMixerHeld([] {
        PlaySound(0, 0, 1);
        PlaySound(0, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 2);
        StopAllSounds();
        EXPECT_EQ(Mix_Playing(-1), 0);
    });
}

TEST_F(SoundTest, SlotIdsAboveTheTableTakeTheLastSlotAndNegativeIdsAreRefused) {
    WriteWav(Path("tone.wav"), 0.5, 1000);
    Open();
    const DynString tone(Path("tone.wav").c_str());
    EXPECT_EQ(LoadSound(tone, 300, 0), 1);
    WithMixerHeld([] {
        PlaySound(127, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 1);
        PlaySound(1e20, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 2);
        StopAllSounds();
    });
    EXPECT_EQ(LoadSound(tone, -1, 0), 0);
    EXPECT_EQ(LoadSound(tone, std::nan(""), 0), 0);
    for (double id : {0.0, -1.0, -0.5 - 1, std::nan(""), 5.0}) EXPECT_EQ(PlaySound(id, 0, 1), 1);
    EXPECT_EQ(Mix_Playing(-1), 0);  // slots 0 and 5 are empty, the rest refused
}

TEST_F(SoundTest, MissingFileKeepsTheSlotAndUndecodableFilesEmptyIt) {
    WriteWav(Path("tone.wav"), 0.5, 1000);
    WriteFile(Path("noise.wav"), std::string(4000, '\x5a'));
    // A RIFF file whose sample chunk claims nearly 4 GB.
    std::string huge = ReadFile(Path("tone.wav")).substr(0, 44);
    huge[40] = huge[41] = huge[42] = '\xf0';
    huge[43] = '\xff';
    WriteFile(Path("huge.wav"), huge + std::string(100, '\0'));
    // A format chunk naming 4000 channels at 1 Hz.
    std::string odd = ReadFile(Path("tone.wav"));
    odd[22] = '\xa0';
    odd[23] = '\x0f';
    odd[24] = 1;
    odd[25] = odd[26] = odd[27] = 0;
    WriteFile(Path("odd.wav"), odd);
    Open();
    const DynString tone(Path("tone.wav").c_str());
    ASSERT_EQ(LoadSound(tone, 4, 0), 1);
    EXPECT_EQ(LoadSound(DynString(Path("missing.wav").c_str()), 4, 0), 0);
    WithMixerHeld([] {
        PlaySound(4, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 1);  // the old sample is still there
        StopAllSounds();
    });
    for (const char* bad : {"noise.wav", "huge.wav", "odd.wav"}) {
        ASSERT_EQ(LoadSound(tone, 4, 0), 1);
        EXPECT_EQ(LoadSound(DynString(Path(bad).c_str()), 4, 0), 1) << bad;  // found
        PlaySound(4, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 0) << bad;  // but the slot is empty now
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(SoundTest, MusicFromAnMp3IsHeardAndAMissingTrackIsLogged) {
    WriteWav(Path("music.wav"), 1.0, 8000);
    std::string encode = "lame --quiet " + Path("music.wav") + " " + Path("music.mp3");
    ASSERT_EQ(std::system(encode.c_str()), 0) << "lame must be installed (scripts/setup.sh)";
    Open();
    PlayMusic(DynString(Path("music.mp3").c_str()));
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(Mix_VolumeMusic(-1), MIX_MAX_VOLUME);
    ASSERT_TRUE(WaitForOutput(8));  // three quarters of a second of the track
    EXPECT_EQ(Log(), "");
    PlayMusic(DynString(Path("missing.mp3").c_str()));
    EXPECT_EQ(Mix_PlayingMusic(), 0);  // the old track was stopped
    std::string log = Log();
    ASSERT_EQ(log.rfind("PLAYMUSIC:\r\n", 0), 0u) << log;
    std::string error = log.substr(12);
    ASSERT_GE(error.size(), 3u);
    EXPECT_EQ(error.substr(error.size() - 2), "\r\n");
    EXPECT_EQ(error.find("\r\n"), error.size() - 2);  // exactly one more line: SDL's error text
    std::vector<int> peaks = BurstPeaks(Output());
    ASSERT_FALSE(peaks.empty());
    EXPECT_GT(peaks[0], 4000);  // the decoded track reached the output
}

TEST_F(SoundTest, MoviesOnlyWriteTheirLogLine) {
    EXPECT_EQ(PlayMovie(DynString("intro.avi")), 0);
    EXPECT_EQ(LoopMovie(DynString("intro.avi")), 0);
    EXPECT_EQ(Log(), "PLAYMOVIE + LOOPMOVIE only on Win32\r\nPLAYMOVIE + LOOPMOVIE only on Win32\r\n");
}

// Runs after devices were opened and closed by the tests above, which leaves SDL_mixer with
// freed channels behind a stale channel count (its channel queries would crash now).
TEST_F(SoundTest, WithoutAnAudioDeviceEverythingRunsSilently) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    WriteWav(Path("tone.wav"), 0.2, 1000);
    Open();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(LoadSound(DynString(Path("tone.wav").c_str()), 1, 0), 1);
    EXPECT_EQ(PlaySound(1, 0, 1), 1);
    StopAllSounds();
    EXPECT_EQ(Log(), "");
    PlayMusic(DynString(Path("missing.mp3").c_str()));
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(Log().rfind("PLAYMUSIC:\r\n", 0), 0u);
}

} // namespace
