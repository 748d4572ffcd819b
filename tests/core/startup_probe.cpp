// A small program the start-up tests run: it starts the runtime windowed with its error log at
// the path of its second argument, prints its working directory and leaves as its first argument
// says: end (End()); in debug mode debug-end, debug-return (main returns), debug-array (an array
// read before Dim, code 8) or debug-nested (End() again from an exit handler); or textures: it
// makes textures from the screen and a BMP file and returns 7, and an exit handler registered
// after the start (as the GL driver's are) ends it with 98 if SDL still runs. 97: the start
// installed SDL's SIGSEGV handler.
#include <SDL/SDL.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "voxa/runtime.h"
#include "voxa/testing.h"

namespace {

std::string gTemp = "/tmp/voxa_exit_probe_" + std::to_string(getpid());

int ReturnAfterTextures() {
    ShowScreen();
    DrawRect(0, 0, 31, 31, 0x00FF00);
    for (int id = 0; id < 8; ++id) GrabSprite(id, 0, 0, 16 + id, 16);
    const DynString bmp((gTemp + ".bmp").c_str());
    SaveScreenshot(bmp);
    for (int id = 8; id < 16; ++id) LoadSprite(bmp, id);
    std::remove(bmp.CStr());
    for (int id = 0; id < 16; ++id) DrawSprite(id, id, id);
    ShowScreen();
    std::atexit([] {
        if (SDL_WasInit(SDL_INIT_VIDEO) != 0) _exit(98);
    });
    return 7;
}

} // namespace

int main(int argc, char** argv) {
    const std::string how = argc > 1 ? argv[1] : "end";
    gSettings.screenWidth = 64;
    gSettings.screenHeight = 48;
    gSettings.fullscreen = 0;
    gSettings.framesPerSecond = 60;
    gSettings.debugMode = how.rfind("debug-", 0) == 0;
    if (how == "debug-nested") std::atexit([] { End(); });
    if (argc > 2) SetErrorLogPathForTesting(argv[2]);
    struct sigaction before, after;
    sigaction(SIGSEGV, nullptr, &before);
    RuntimeStart(0, nullptr, "probe", nullptr, "probe");
    sigaction(SIGSEGV, nullptr, &after);
    if (how == "textures" && after.sa_handler != before.sa_handler) return 97;
    char cwd[PATH_MAX];
    std::printf("cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    std::fflush(stdout);
    if (how == "debug-return") return 0;
    if (how == "textures") return ReturnAfterTextures();
    if (how == "debug-array") {
        SetLinePosition(3, 77);
        DynArray never;
        never.At(0);
    }
    End();
}
