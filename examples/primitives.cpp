// Primitives, blending and polygons: pixels, lines and rectangles, translucent and additive
// blending, Gouraud-shaded polygons, and a viewport that moves the 2D origin.
//
//   primitives       (Escape quits)
//
// Colours are red + green * 256 + blue * 65536, written here as 0xBBGGRR.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A regular polygon with one colour at the centre and another at the rim, turned by `angle`.
// PolyVector takes the vertices counter-clockwise on screen; the fan starts at the centre.
static void Star(double cx, double cy, double r, double angle, double centre, double rim) {
    StartPoly(-1);
    PolyVector(cx, cy, 0, 0, centre);
    for (int i = 0; i <= 10; ++i) {
        double a = angle + i * 36, radius = i % 2 ? r / 2 : r;
        PolyVector(cx + radius * Cos(a), cy - radius * Sin(a), 0, 0, rim);
    }
    EndPoly();
}

int main() {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Primitives, blending and polygons");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        // Pixels and lines: a star field and a fan of lines (both end pixels are drawn).
        SeedRandom(7); // the same random star field every frame
        for (int i = 0; i < 200; ++i) SetPixel(Rnd(639), Rnd(219), kWhite);
        for (int a = 0; a < 180; a += 10) DrawLine(110, 200, 110 + 90 * Cos(a + frame), 200 - 90 * Sin(a + frame), 0x40C0FF);

        // Rectangles: opaque red, then blue at half strength over it, translucent (< 0) on the
        // left and additive (> 0) on the right.
        DrawRect(240, 40, 599, 119, kRed);
        SetAlphaMode(-0.5);
        DrawRect(260, 80, 399, 159, kBlue);
        SetAlphaMode(0.5);
        DrawRect(440, 80, 579, 159, kBlue);
        SetAlphaMode(0);

        // Gouraud polygons: colours blend from vertex to vertex.
        StartPoly(-1);
        PolyVector(40, 460, 0, 0, kRed);
        PolyVector(200, 460, 0, 0, kGreen);
        PolyVector(120, 300, 0, 0, kBlue);
        EndPoly();
        Star(320, 380, 80, frame * 2, kWhite, 0x8000C0);

        // A viewport: the 2D origin moves to its top-left corner, so (0, 0) is (460, 300) here.
        SetViewport(460, 300, 160, 160);
        DrawRect(0, 0, 159, 159, 0x404040);
        Star(80, 80, 60, -frame * 3, kGreen, 0x006000);
        SetViewport(0, 0, 0, 0);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
