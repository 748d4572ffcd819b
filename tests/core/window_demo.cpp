// A tiny program on the runtime for the end-to-end test: it starts the runtime (window,
// "Loading..." screen), saves that first screen when asked, then draws frames until the user
// quits with Escape or closes the window.
//   window_demo <fullscreen 0|1> [screenshot path]
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.fullscreen = argc > 1 ? std::atoi(argv[1]) : 0;
    gSettings.framesPerSecond = 60;
    RuntimeStart(argc, argv, "", nullptr, "VOXA window demo");
    if (argc > 2) SaveScreenshot(DynString(argv[2]));
    std::printf("running\n");
    std::fflush(stdout);
    for (double frame = 0;; ++frame) {
        DrawRect(10, 10, 60, 40, 0x00FF00);
        PrintText(DynString("Frame"), 10, 50);
        PrintNumber(frame, 60, 50);
        ShowScreen();
    }
}
