// Test support: hearing what the runtime plays. SDL's disk audio driver writes the mix (raw 16-bit
// stereo at 44.1 kHz) to a file: a DiskAudioTest opens the runtime's device onto a private one.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "devices/lifecycle.h"
#include "support/errorlog_lines.h"
#include "support/scratch_files.h"
#include "support/within.h"
#include "voxa/devices.h"
#include "voxa/testing.h"

namespace voxatest {

// A 16-bit mono WAV at 44.1 kHz: a square wave of the given amplitude with a period of 100
// samples, or a constant level when square is false.
inline void WriteWav(const std::string& path, double seconds, int amplitude, bool square = true) {
    const uint32_t frames = uint32_t(seconds * 44100);
    std::string out = "RIFF";
    auto put = [&out](uint32_t v, int bytes) { for (int i = 0; i < bytes; ++i) out.push_back(char(v >> (8 * i))); };
    put(36 + frames * 2, 4);
    out += "WAVEfmt ";
    for (uint32_t v : {16u, 0x10001u, 44100u, 88200u, 0x100002u}) put(v, 4);  // PCM, mono, 2 bytes a frame, 16 bits
    out += "data";
    put(frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i) put(uint16_t((!square || i % 100 < 50) ? amplitude : -amplitude), 2);
    std::ofstream(path, std::ios::binary) << out;
}

// Makes the audio device opened next write to path, a buffer every 10 ms (nine times real time).
inline void UseDiskAudio(const std::string& path) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "10", 1);
}

// Runs f under SDL's audio lock, which the mixer takes for every buffer: a sound started in f
// still plays at its end however slowly the test runs.
template <typename F>
void WithMixerHeld(F f) {
    SDL_LockAudio();
    f();
    SDL_UnlockAudio();
}

class DiskAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseDiskAudio(output_);
        SetErrorLogPathForTesting((dir_ + "/log.txt").c_str());
    }
    void TearDown() override { Close(); }
    // The device and the sound slots, as RuntimeStart creates them.
    void Open() {
        CreateAudioDevice();
        CreateSoundSlots();
        open_ = true;
    }
    void Close() {
        if (!open_) return;
        StopMusic();
        FreeSoundSlots();
        DestroyAudioDevice();
        open_ = false;
    }
    // Closes the device, and so its output file, and returns the mixed samples.
    std::vector<int16_t> Output() {
        Close();
        const std::string raw = ReadFileBytes(output_);
        std::vector<int16_t> samples(raw.size() / 2);
        std::memcpy(samples.data(), raw.data(), samples.size() * 2);
        return samples;
    }
    // Waits until the output has grown by `buffers` buffers (of 4096 stereo frames) from its size
    // now: tests wait for the mix written, not for time passed.
    bool WaitForOutput(int buffers) const {
        auto size = [this] {
            struct stat st;
            return stat(output_.c_str(), &st) == 0 ? long(st.st_size) : 0L;
        };
        const long target = size() + buffers * 4096L * 4;
        return Within([&] { return size() >= target; });
    }
    // Waits until no channel plays, then for the buffer in which the sound ended and two silent ones.
    bool WaitForSilence() const { return Within([] { return Mix_Playing(-1) == 0; }) && WaitForOutput(4); }
    std::string Path(const char* name) const { return dir_ + "/" + name; }
    std::string Log() const { return ReadFileBytes(dir_ + "/log.txt"); }

    const ScratchDir scratch_;  // removed, with the output and the log, when the test ends
    std::string dir_ = scratch_.Path(), output_ = dir_ + "/out.raw";
    bool open_ = false;
};

} // namespace voxatest
