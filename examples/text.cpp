// Text and fonts: the built-in font, bitmap fonts loaded from files (here the game's), text
// centred with GetFontSize, numbers, and text blended translucent and additive.
//
//   text [ASSETS]    ASSETS: the folder with font.bmp, font_mid.bmp, font_small.bmp (default ../bin/)
//
// A font bitmap is a grid of 16 x 8 cells holding the characters 0..127 (16 x 16 cells for
// 0..255 when it is taller than wide); pure black is transparent.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

// Prints a text with its middle at x.
static void PrintCentred(const DynString& text, double x, double y) {
    double w, h;
    GetFontSize(w, h);
    PrintText(text, x - Len(text) * w / 2, y);
}

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Text and fonts");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");
    const DynString assets = argc > 1 ? DynString(argv[1]) + "/" : DynString("../bin/");

    // Font 0 is the built-in font (or smalfont.bmp beside the program). Each LoadFont makes its
    // font current; a file that is missing gives the built-in font instead.
    LoadFont(assets + "font.bmp", 1);
    LoadFont(assets + "font_mid.bmp", 2);
    LoadFont(assets + "font_small.bmp", 3);
    LoadFont("no such font.bmp", 4);
    for (int n = 0; n <= 4; ++n) {
        double w, h;
        SetFont(n);
        GetFontSize(w, h);
        std::printf("font %d: cells of %g x %g pixels\n", n, w, h);
    }
    std::fflush(stdout);

    const DynString news = "Fixed-pitch text: every character is one cell wide. ";
    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        DrawRect(0, 0, 639, 479, 0x402010); // dark blue
        SetFont(1);
        PrintCentred("VOXA TEXT", 320, 24);
        SetFont(2);
        PrintCentred("font_mid.bmp: menus and the HUD", 320, 90);
        SetFont(3);
        PrintCentred("font_small.bmp: small print, 10 x 16 cells", 320, 120);
        SetFont(0);
        PrintCentred("The built-in font: 7 x 8 cells, always there", 320, 150);

        // Every character of a font, 32 to 126, in rows of 32.
        SetFont(2);
        for (int c = 32; c < 127; ++c) PrintText(Chr(c), 64 + (c % 32) * 16, 190 + (c / 32 - 1) * 20);

        // Translucent text lets what is below show through; additive text brightens it.
        DrawRect(40, 270, 299, 329, 0x2060C0);  // orange
        DrawRect(340, 270, 599, 329, 0x2060C0);
        SetAlphaMode(-0.5);
        PrintText("translucent", 82, 292);
        SetAlphaMode(0.6);
        PrintText("additive", 406, 292);
        SetAlphaMode(0);

        // Numbers print as "%g" text; a text scrolls by one character cell after another.
        PrintText("frame", 40, 360);
        PrintNumber(frame, 140, 360);
        PrintNumber(frame / 7.0, 240, 360);
        int start = frame / 8 % int(Len(news));
        PrintText(MidText(news + news, start, 36), 40, 410);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
