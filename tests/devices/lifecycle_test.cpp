// The input and sound stores through the runtime's own start-up and shutdown: RuntimeStart
// creates them, a program uses them, and EndProgram (which quits SDL before it frees them)
// ends the process cleanly with a sound and the music still playing.
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "runtime.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 16-bit mono WAV at 44.1 kHz holding one constant level.
void WriteLevelWav(const std::string& path, uint32_t frames, int16_t level) {
    std::string out = "RIFF";
    auto u32 = [&out](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(char(v >> (8 * i))); };
    auto u16 = [&out](uint16_t v) { out.push_back(char(v)); out.push_back(char(v >> 8)); };
    u32(36 + frames * 2);
    out += "WAVEfmt ";
    u32(16); u16(1); u16(1); u32(44100); u32(88200); u16(2); u16(16);
    out += "data";
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>(level));
    std::ofstream(path, std::ios::binary) << out;
}

// Runs in the child: exits with status 0 only through EndProgram, with other codes when a
// check fails before it.
[[noreturn]] void StartPlayAndEnd(const std::string& dir) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "10", 1);
    SetErrorLogPathForTesting((dir + "/log.txt").c_str());
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "devices");
    if (Mix_QuerySpec(nullptr, nullptr, nullptr) != 1) _exit(2);
    double x, y, l, r;
    GetMouseState(x, y, l, r);
    if (x != 100 || y != 100) _exit(3);
    if (LoadSound(DynString((dir + "/level.wav").c_str()), 7, 1) != 1) _exit(4);
    PlaySound(7, 0, 1);
    if (Mix_Playing(-1) != 1) _exit(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EndProgram();
}

TEST(DevicesLifecycleDeathTest, RuntimeStartOpensTheDevicesAndEndProgramReleasesThem) {
    char pattern[] = "/tmp/voxa-devlife-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    WriteLevelWav(dir + "/level.wav", 44100 * 4, 1234);
    EXPECT_EXIT(StartPlayAndEnd(dir), ::testing::ExitedWithCode(0), "");
    // The sample reached the disk driver's file before the shutdown closed it.
    std::string raw = ReadFile(dir + "/out.raw");
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, static_cast<int>(s));
    EXPECT_EQ(peak, 1234);
    if (!HasFailure()) std::system(("rm -rf " + dir).c_str());
}

} // namespace
