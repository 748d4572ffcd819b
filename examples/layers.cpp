// Background layers and a crossfade: a day picture drawn in code becomes the background with
// UseScreenAsBmp, a night picture saved as a BMP fades in with LoadBmpFade, a frame stays on top.
//
//   layers           (Escape quits; the night falls after two seconds)
//
// The background (layer 0) is drawn by ShowScreen under every frame, so each frame draws only
// what moves; the frame around the view is a sprite as large as the screen with a clear window.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kKey = 0x8000FF;          // RGB(255, 0, 128): transparent in loaded sprites
constexpr double kScratch = 1, kFrame = 2; // sprite ids
constexpr int kNightFrame = 120;           // when the night falls

// A filled disc as a polygon fan, counter-clockwise on screen.
static void Disc(double cx, double cy, double r, double colour) {
    StartPoly(-1);
    for (int a = 0; a < 360; a += 10) PolyVector(cx + r * Cos(a), cy - r * Sin(a), 0, 0, colour);
    EndPoly();
}

// A sky from one colour at the top to another at the horizon, a sun or moon, and hills.
static void Landscape(double top, double horizon, double light, double hills) {
    StartPoly(-1);
    PolyVector(0, 0, 0, 0, top);
    PolyVector(0, 479, 0, 0, horizon);
    PolyVector(639, 479, 0, 0, horizon);
    PolyVector(639, 0, 0, 0, top);
    EndPoly();
    Disc(470, 130, 40, light);
    Disc(140, 700, 360, hills);
    Disc(560, 760, 380, hills);
}

// The picture drawn so far, as a BMP file: grabbed into a sprite, then written.
static void SaveDrawing(const char* file) {
    GrabSprite(kScratch, 0, 0, 640, 480);
    if (SaveSprite(kScratch, file) == 0) std::printf("could not write %s\n", file);
}

int main() {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Background layers and a crossfade");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    // The pictures are drawn into the back buffer before the first frame is shown.
    Landscape(0x401008, 0x803020, 0xC0E0F0, 0x103010);  // night: dark blue, a pale moon
    SeedRandom(3);
    for (int i = 0; i < 150; ++i) {
        double x = Rnd(639), y = Rnd(300);
        if (Abs(x - 470) > 44 || Abs(y - 130) > 44) SetPixel(x, y, 0xFFFFFF); // not on the moon
    }
    SaveDrawing("night.bmp");
    DrawRect(0, 0, 639, 479, 0x204060);                 // a brown frame around a key-coloured window
    DrawRect(16, 16, 623, 463, kKey);
    SaveDrawing("frame.bmp");
    LoadSprite("frame.bmp", kFrame);                    // loading makes the window transparent
    Landscape(0xF0A040, 0xF0E0C0, 0x40E0FF, 0x30A040);  // day: blue sky, a yellow sun
    UseScreenAsBmp();
    std::fflush(stdout);

    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        if (frame == kNightFrame) {
            LoadBmpFade("night.bmp"); // 52 frames from the screen to the picture, then it is layer 0
            std::printf("frame %d: night.bmp faded in and is the background now\n", frame);
            std::fflush(stdout);
        }
        // A balloon drifts over whatever background is in place.
        double x = 60 + frame % 600, y = 300 - 40 * Sin(frame * 2);
        DrawLine(x - 14, y + 20, x - 6, y + 44, 0x303030);
        DrawLine(x + 14, y + 20, x + 6, y + 44, 0x303030);
        Disc(x, y, 26, 0x2020D0);
        DrawRect(x - 7, y + 44, x + 7, y + 54, 0x205080);
        DrawSprite(kFrame, 0, 0);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
