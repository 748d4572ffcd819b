// Sound effects and music: a tone that the program writes as a WAV file plays as an effect (at
// the start and on Space), and the game's music loops from the first second until M stops it.
//
//   sound [ASSETS]   ASSETS: the folder with voxa1.mp3 (default ../bin/)
//
// Effects go into slots 0..127 and play on any of 16 channels; music is one track at a time.
// Without a sound device the program runs silent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kTone = 0; // the effect's slot

// A 16-bit mono WAV at 44.1 kHz: 0.3 s of a square wave at 441 Hz (100 samples a period).
static bool WriteTone(const char* file, int amplitude) {
    FILE* f = std::fopen(file, "wb");
    if (!f) return false;
    const uint32_t samples = 13230, bytes = samples * 2;
    auto u16 = [f](uint32_t v) { std::fputc(int(v & 255), f), std::fputc(int(v >> 8 & 255), f); };
    auto u32 = [&u16](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    std::fputs("RIFF", f), u32(36 + bytes), std::fputs("WAVEfmt ", f);
    u32(16), u16(1), u16(1), u32(44100), u32(88200), u16(2), u16(16); // PCM, mono, 2 bytes a sample
    std::fputs("data", f), u32(bytes);
    for (uint32_t i = 0; i < samples; ++i) u16(uint16_t(i % 100 < 50 ? amplitude : -amplitude));
    return std::fclose(f) == 0;
}

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Sound effects and music");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");
    const DynString music = (argc > 1 ? DynString(argv[1]) + "/" : DynString("../bin/")) + "voxa1.mp3";

    if (!WriteTone("tone.wav", 8000) || LoadSound("tone.wav", kTone, 1) == 0) std::printf("no tone.wav\n");
    bool musicOn = false;
    int toneFrame = -100;
    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        DynString key = LowerCase(InKey());  // one character per key press, "" for none
        if (frame == 10 || key == " ") {
            PlaySound(kTone, 0, 1);         // slot, pan (sounds play centred), volume 0..1
            toneFrame = frame;
            std::printf("frame %d: tone\n", frame);
        }
        if (frame == 60 || key == "m") {
            musicOn = !musicOn;
            if (musicOn) PlayMusic(music);  // loops until stopped; a missing file is noted in the error log
            else StopMusic();
            std::printf("frame %d: music %s\n", frame, musicOn ? "on" : "off");
        }
        std::fflush(stdout);

        // The tone lights its lamp for a third of a second; the music moves its bars.
        DrawRect(60, 120, 279, 339, frame - toneFrame < 20 ? 0x40E0FF : 0x204050);
        for (int i = 0; i < 8; ++i) {
            double h = musicOn ? 30 + 80 * Abs(Sin(frame * 4 + i * 50)) : 10;
            DrawRect(340 + i * 30, 339 - h, 360 + i * 30, 339, 0x60C040);
        }
        PrintText("Space: the tone", 100, 360);
        PrintText(musicOn ? "M: music off" : "M: music on", 400, 360);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
