// Sound effects and music, heard through SDL's disk audio driver: every test opens the audio
// device onto its own output file, plays, closes the device and reads back what was mixed.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/disk_audio.h"

namespace {

using voxatest::WithMixerHeld;
using voxatest::WriteWav;

// The peak of each burst of sound in the output, bursts being separated by at least a tenth
// of a second (4410 stereo frames) of exact silence.
std::vector<int> BurstPeaks(const std::vector<int16_t>& samples) {
    std::vector<int> peaks;
    size_t quiet = 1u << 30;
    for (int16_t s : samples) {
        const int a = std::abs(int(s));
        if (a == 0) {
            ++quiet;
            continue;
        }
        if (quiet >= 8820) peaks.push_back(0);
        quiet = 0;
        peaks.back() = std::max(peaks.back(), a);
    }
    return peaks;
}

class SoundTest : public voxatest::DiskAudioTest {
protected:
    DynString Wav(const char* name, double seconds, int amplitude, bool square = true) {
        WriteWav(Path(name), seconds, amplitude, square);
        return DynString(Path(name).c_str());
    }
};

TEST_F(SoundTest, The44100HzStereoDeviceScalesVolumeIgnoresPanAndMixesSixteenChannels) {
    const DynString tone = Wav("tone.wav", 0.2, 12800), level = Wav("long.wav", 2.0, 1000, false);
    Open();
    int rate = 0, channels = 0;
    ASSERT_EQ(Mix_QuerySpec(&rate, nullptr, &channels), 1);
    EXPECT_EQ(rate * 10 + channels, 441002);
    ASSERT_EQ(LoadSound(tone, 3, 0), 1);
    for (const auto& p : {std::pair{0, 1.0}, {0, 0.5}, {5, 1e20}, {0, 0.01}, {0, -1}, {0, 0.5}}) {
        EXPECT_EQ(PlaySound(3, p.first, p.second), 1);
        ASSERT_TRUE(WaitForSilence());
    }
    for (int id = 0; id < 17; ++id) ASSERT_EQ(LoadSound(level, id + 10, 0), 1);
    WithMixerHeld([] {
        for (int id = 0; id < 17; ++id) PlaySound(id + 10, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 16);
    });
    ASSERT_TRUE(WaitForSilence());
    // 100 -> chunk volume 128, 50 -> 64, 1 -> 1, 0 -> nothing heard at all; then sixteen levels
    // of 1000 mixed, not seventeen.
    EXPECT_EQ(BurstPeaks(Output()), (std::vector<int>{12800, 6400, 12800, 100, 6400, 16000}));
}

// Ids above 127 take the last slot, negative ones are refused; a name is found whatever its
// case; a missing file keeps the slot's sample, a file found but not decodable (or of a rate
// SDL cannot convert) empties the slot.
TEST_F(SoundTest, SlotsOfEveryIdAndFile) {
    const DynString tone = Wav("tone.wav", 5.0, 1000);
    const std::string wav = voxatest::ReadFileBytes(Path("tone.wav"));
    std::string huge = wav.substr(0, 40) + "\xf0\xf0\xf0\xff" + std::string(100, '\0');  // data of ~4 GB
    std::string odd = wav;
    odd.replace(22, 6, std::string("\xa0\x0f\x01\0\0\0", 6));  // 4000 channels at 1 Hz
    // Samples of 2 Hz in SDL_mixer's other formats, an AIFF and a voice file, and a FLAC sample
    // (refused: a stream whose frames differ from its header crashes SDL_mixer's reader).
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 " + Path("stereo.flac") + " synth 1 sine 440").c_str()), 0);
    const std::string aiff("FORM\0\0\1\0AIFFCOMM\0\0\0\x12\0\1\0\0\0\x64\0\x10\x40\0\x80\0\0\0\0\0\0\0SSND\0\0\0\xd0", 46);
    const std::string voice("Creative Voice File\x1a\x1a\0\x0a\x01\x29\x11\x09\xd4\0\0\x02\0\0\0\x08\x01\0\0\0\0\0\0", 42);
    const std::pair<const char*, std::string> bad[] = {{"noise.wav", std::string(4000, 'Z')}, {"huge.wav", huge},
        {"odd.wav", odd}, {"slow.aiff", aiff + std::string(208, '\0')}, {"slow.voc", voice + std::string(200, '\x80')},
        {"stereo.flac", voxatest::ReadFileBytes(Path("stereo.flac"))}};
    for (const auto& b : bad) std::ofstream(Path(b.first), std::ios::binary) << b.second;
    Open();
    EXPECT_EQ(LoadSound(DynString(Path("TONE.wav").c_str()), 300, 0), 1) << "found and loaded whatever its case";
    EXPECT_EQ(LoadSound(tone, -1, 0) + LoadSound(tone, std::nan(""), 0), 0);
    EXPECT_EQ(LoadSound(DynString(Path("missing.wav").c_str()), 127, 0), 0);
    WithMixerHeld([] {
        for (double id : {0.0, -1.0, -1.5, std::nan(""), 5.0}) EXPECT_EQ(PlaySound(id, 0, 1), 1);
        EXPECT_EQ(Mix_Playing(-1), 0) << "slots 0 and 5 are empty, the rest refused";
        PlaySound(127, 0, 1);
        PlaySound(1e20, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 2) << "the sample of id 300 is still there";
        StopAllSounds();
        EXPECT_EQ(Mix_Playing(-1), 0);
    });
    for (const auto& b : bad) {
        ASSERT_EQ(LoadSound(tone, 4, 0), 1);
        EXPECT_EQ(LoadSound(DynString(Path(b.first).c_str()), 4, 0), 1) << b.first << " is found";
        PlaySound(4, 0, 1);
        EXPECT_EQ(Mix_Playing(-1), 0) << b.first << ": the slot is empty now";
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(SoundTest, MusicFromAnMp3IsHeardAndAMissingTrackIsLogged) {
    WriteWav(Path("music.wav"), 1.0, 8000);
    ASSERT_EQ(std::system(("lame --quiet " + Path("music.wav") + " " + Path("music.mp3")).c_str()), 0)
        << "lame must be installed (scripts/setup.sh)";
    Open();
    PlayMusic(DynString(Path("music.mp3").c_str()));
    ASSERT_TRUE(WaitForOutput(8));  // three quarters of a second of the track
    EXPECT_EQ(Log(), "");
    PlayMusic(DynString(Path("missing.mp3").c_str()));
    EXPECT_EQ(Mix_PlayingMusic(), 0) << "the old track was stopped";
    const std::string log = Log();
    ASSERT_EQ(log.rfind("PLAYMUSIC:\r\n", 0), 0u) << log;
    EXPECT_EQ(log.find("\r\n", 12), log.size() - 2) << "exactly one more line, SDL's error text: " << log;
    EXPECT_GT(log.size(), 15u);
    // A FIFO named as the track is refused at once like a missing one (an open that waited for a
    // writer would hang the program; the alarm ends this test instead).
    ASSERT_EQ(mkfifo(Path("fifo.mp3").c_str(), 0600), 0);
    alarm(60);
    PlayMusic(DynString(Path("fifo.mp3").c_str()));
    alarm(0);
    EXPECT_EQ(Log().compare(log.size(), 12, "PLAYMUSIC:\r\n"), 0);
    // Tracks that cannot be decoded fail the same way, and the file opened for them is closed
    // again. (SDL_mixer's MP3 and MIDI decoders take any bytes as a track, as they always did.)
    // So do tracks its players cannot take: WAVs of 2 Hz (which overran SDL's converter), without
    // "fmt " before "data" (freed twice) or without "data" (sought for good), and FLAC (a mono
    // track made its player spin for good). The alarm ends this test should one hang. MP3s whose
    // frames, converted, overran the player's buffer: one at 8 kHz (grown eightfold) and one
    // whose stereo frames follow mono ones (converted as mono).
    const auto mp3 = [this](const char* name, int rate, int channels) {
        const std::string wav = Path(name) + ".wav", to = Path(name) + ".mp3";
        return std::system(("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + wav +
                            " synth 1 sine 440 && lame --quiet --resample " + std::to_string(rate / 1000.0) + " " + wav + " " + to).c_str()) == 0
                   ? voxatest::ReadFileBytes(to) : std::string();
    };
    ASSERT_FALSE(mp3("low", 8000, 1).empty());
    const std::string mixed = mp3("mono", 22050, 1) + mp3("stereo", 16000, 2);
    std::ofstream(Path("mixed.mp3"), std::ios::binary) << mixed;
    std::ofstream(Path("oggs.mp3"), std::ios::binary) << "OggS" + mixed; // the name picks the MP3 player
    const std::string track = voxatest::ReadFileBytes(Path("music.wav"));
    std::ofstream(Path("slow.wav"), std::ios::binary) << std::string(track).replace(24, 4, std::string("\2\0\0\0", 4));
    std::ofstream(Path("nofmt.wav"), std::ios::binary) << track.substr(0, 12) + track.substr(36);
    std::ofstream(Path("nodata.wav"), std::ios::binary) << track.substr(0, 36);
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 " + Path("mono.flac") + " synth 1 sine 440").c_str()), 0);
    const auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = descriptors();
    alarm(60);
    for (const char* name : {"noise.ogg", "noise.wav", "noise.flac", "noise", "mono.flac", "slow.wav", "nofmt.wav", "nodata.wav",
                             "low.mp3", "mixed.mp3", "oggs.mp3"}) {
        if (std::strncmp(name, "noise", 5) == 0) std::ofstream(Path(name)) << std::string(3000, '\x7f');
        const size_t logged = Log().size();
        PlayMusic(DynString(Path(name).c_str()));
        EXPECT_EQ(Log().compare(logged, 12, "PLAYMUSIC:\r\n"), 0) << name;
        EXPECT_EQ(Mix_PlayingMusic(), 0) << name;
    }
    EXPECT_EQ(descriptors(), before) << "a file opened for a track was left open";
    const std::vector<int> peaks = BurstPeaks(Output());
    ASSERT_FALSE(peaks.empty());
    EXPECT_GT(peaks[0], 4000) << "the decoded track reached the output";
    alarm(0);
}

// Runs after devices were opened and closed by the tests above, which leaves SDL_mixer with
// freed channels behind a stale channel count (its channel queries would crash now). Movies
// only write their log line.
TEST_F(SoundTest, WithoutAnAudioDeviceEverythingRunsSilentlyAndMoviesOnlyLog) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const DynString tone = Wav("tone.wav", 0.2, 1000);
    Open();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(LoadSound(tone, 1, 0) + PlaySound(1, 0, 1), 2);
    StopAllSounds();
    EXPECT_EQ(PlayMovie(DynString("intro.avi")) + LoopMovie(DynString("intro.avi")), 0);
    const std::string movies = "PLAYMOVIE + LOOPMOVIE only on Win32\r\nPLAYMOVIE + LOOPMOVIE only on Win32\r\n";
    EXPECT_EQ(Log(), movies);
    PlayMusic(DynString(Path("missing.mp3").c_str()));
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(Log().compare(movies.size(), 12, "PLAYMUSIC:\r\n"), 0);
}

} // namespace
