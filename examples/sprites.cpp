// Sprites and pixel-exact collision: a ring and a ball are drawn with primitives, grabbed, saved
// as BMP files and loaded back, so RGB(255, 0, 128) turns transparent; then the ball flies through.
//
//   sprites          (Escape quits)
//
// While the ball crosses the ring's hole the two pictures' boxes overlap but no pixels touch;
// the program prints each change of that state.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kKey = 0x8000FF;     // RGB(255, 0, 128): transparent in sprite bitmaps
constexpr double kRing = 1, kBall = 2; // sprite ids
constexpr double kRingX = 256, kRingY = 176, kRingSize = 128;
constexpr double kBallSize = 32;

// A ring of quads between two circles (a disc when inner is 0); vertices run counter-clockwise on
// screen, as polygons must. A polygon in the key colour would be invisible, so holes stay undrawn.
static void Ring(double cx, double cy, double outer, double inner, double colour) {
    for (double a = 0; a < 360; a += 7.5) {
        StartPoly(-1);
        PolyVector(cx + outer * Cos(a), cy - outer * Sin(a), 0, 0, colour);
        PolyVector(cx + outer * Cos(a + 7.5), cy - outer * Sin(a + 7.5), 0, 0, colour);
        PolyVector(cx + inner * Cos(a + 7.5), cy - inner * Sin(a + 7.5), 0, 0, colour);
        PolyVector(cx + inner * Cos(a), cy - inner * Sin(a), 0, 0, colour);
        EndPoly();
    }
}

// Draws a picture on the key colour, grabs it and round-trips it through a BMP file: the file
// is what a paint program would hand a game, and loading it applies the colour key.
static void MakeSprite(double id, double size, const char* file, double outer, double inner, double colour) {
    DrawRect(0, 0, size - 1, size - 1, kKey);
    Ring(size / 2, size / 2, outer, inner, colour);
    Ring(size / 2 - outer / 2, size / 2 - outer / 2, outer / 5, 0, 0xF0F0F0); // a highlight
    GrabSprite(id, 0, 0, size, size);
    if (SaveSprite(id, file) == 0 || LoadSprite(file, id) == 0) std::printf("could not write %s\n", file);
}

static void Checkerboard() {
    for (int y = 0; y < 480; y += 40)
        for (int x = 0; x < 640; x += 40) DrawRect(x, y, x + 39, y + 39, ((x + y) / 40) % 2 ? 0x503020 : 0x302010);
}

int main() {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Sprites and pixel collision");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    MakeSprite(kRing, kRingSize, "ring.bmp", 60, 36, 0x20A0E0);  // gold (colours are 0xBBGGRR)
    MakeSprite(kBall, kBallSize, "ball.bmp", 14, 0, 0xD04020);   // blue
    double w, h;
    GetSpriteSize(kRing, w, h);
    std::printf("ring.bmp: %g x %g pixels\n", w, h);

    const char* states[] = {"apart", "boxes overlap, pixels apart", "pixels touch"};
    int shown = -1;
    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        // The ball bounces between the screen's sides along the ring's middle row, 4 pixels a frame.
        double x = 40 + Abs(Mod(frame * 4 + 520, 1040) - 520), y = kRingY + (kRingSize - kBallSize) / 2;
        bool boxes = BoxCollision(x, y, kBallSize, kBallSize, kRingX, kRingY, kRingSize, kRingSize) != 0;
        bool pixels = SpriteCollision(kBall, x, y, kRing, kRingX, kRingY) != 0;
        int state = pixels ? 2 : boxes ? 1 : 0;
        if (state != shown) std::printf("frame %d: %s\n", frame, states[state]);
        shown = state;
        std::fflush(stdout);

        Checkerboard();
        DrawSprite(kRing, kRingX, kRingY);
        if (boxes) {
            // The ball's box while it overlaps the ring's: top and bottom edges, red once pixels touch.
            double colour = pixels ? 0x0000FF : 0x00FFFF;
            DrawLine(x, y, x + kBallSize - 1, y, colour);
            DrawLine(x, y + kBallSize - 1, x + kBallSize - 1, y + kBallSize - 1, colour);
        }
        DrawSprite(kBall, x, y);
        RotoZoomSprite(kRing, 520, 40, frame * 3, 0.5); // turned and scaled about its centre
        if (pixels) PrintText("HIT", 310, 100);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
