// A pack file made with the pack tool and read at run time: the loaders find a background, a
// font, a sprite and a sound inside it by name; ResolveFile serves the program's own loader.
//
//   echo "Hello from the pack" > greeting.txt
//   build/bin/voxapack create build/examples/demo.pak greeting.txt -C build/bin start.bmp
//                     font_mid.bmp pfeil_rechts.bmp click.wav       (one command line)
//   pack [PACK]      PACK: the pack to read (default demo.pak beside the program)
//
// A name is found in a pack when it ends with an entry's name, without regard to case; a plain
// file of that name beside the program wins over the pack.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "voxa/runtime.h"

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "A pack file");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    // The runtime starts without a usable pack; the working directory is the program's own.
    SetPackFiles(argc > 1 ? DynString(argv[1]) : GetCurrentDir() + "demo.pak", "");
    const char* names[] = {"START.BMP", "font_mid.bmp", "Pfeil_Rechts.BMP", "click.wav", "greeting.txt", "level9.txt"};
    bool found[6];
    for (int i = 0; i < 6; ++i) {
        DynString path; // an entry is unpacked to a file under /tmp/ that lasts until the next lookup
        found[i] = ResolveFile(names[i], path);
        std::printf("%s: %s\n", names[i], found[i] ? path.CStr() : "not found");
    }
    // Every loader looks the same way: plain file first, then the pack.
    LoadBmp(names[0]);
    LoadFont(names[1], 1);
    std::printf("loaded: sprite %g, sound %g\n", LoadSprite(names[2], 1), LoadSound(names[3], 0, 1));

    // The program's own loader: resolve the name, then open the resolved path at once.
    char greeting[256] = "(no greeting.txt)";
    DynString path;
    if (ResolveFile(names[4], path)) {
        if (FILE* f = std::fopen(path.CStr(), "r")) {
            if (!std::fgets(greeting, sizeof greeting, f)) greeting[0] = 0;
            std::fclose(f);
        }
    }
    greeting[std::strcspn(greeting, "\r\n")] = 0;
    std::printf("greeting: %s\n", greeting);
    std::fflush(stdout);
    PlaySound(0, 0, 1);

    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        SetFont(1);
        PrintText(greeting, 320 - std::strlen(greeting) * 8, 100);
        for (int i = 0; i < 6; ++i) {
            double y = 212 + i * 36;
            if (found[i]) DrawSprite(1, 50 + 6 * Sin(frame * 6 + i * 40), y);
            PrintText(DynString(names[i]) + (found[i] ? "" : " (not in the pack)"), 100, y);
        }
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
