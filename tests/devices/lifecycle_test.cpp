// The input and sound stores through the runtime's own start-up and shutdown: RuntimeStart
// creates them, a program uses them, and EndProgram (which quits SDL before it frees them)
// ends the process cleanly with a sound and the music still playing.
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/disk_audio.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"

namespace {

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
    bool playing = false;
    voxatest::WithMixerHeld([&] {
        PlaySound(7, 0, 1);
        playing = Mix_Playing(-1) == 1;
    });
    if (!playing) _exit(5);
    // Two buffers written after the start: the first of them at least holds the sound.
    if (!voxatest::WaitForOutput(dir + "/out.raw", 2)) _exit(6);
    EndProgram();
}

TEST(DevicesLifecycleDeathTest, RuntimeStartOpensTheDevicesAndEndProgramReleasesThem) {
    char pattern[] = "/tmp/voxa-devlife-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    voxatest::WriteWav(dir + "/level.wav", 4.0, 1234, false);
    EXPECT_EXIT(StartPlayAndEnd(dir), ::testing::ExitedWithCode(0), "");
    // The sample reached the disk driver's file before the shutdown closed it.
    int peak = 0;
    for (int16_t s : voxatest::ReadSamples(dir + "/out.raw")) peak = std::max(peak, static_cast<int>(s));
    EXPECT_EQ(peak, 1234);
    if (!HasFailure()) std::system(("rm -rf " + dir).c_str());
}

} // namespace
