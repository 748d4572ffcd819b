// A small program on the runtime, run by the start-up tests as a child process. It starts the
// runtime as a game does (windowed, small), prints the working directory it ended up in, and
// then leaves the way its one argument says:
//   end           End(), the program's normal end
//   debug-end     the same in debug mode (the end-of-line report is written)
//   debug-return  debug mode, main returns: the shutdown runs from the exit handler
//   debug-array   debug mode, an array read before Dim at a reported source line (code 8)
//   debug-nested  debug mode, End() again from an exit handler while the process exits
//   textures      draws, makes textures from the screen and a BMP file, then returns 7 from
//                 main, with an exit handler registered after the start (as the GL driver's
//                 are) that ends the process with 98 if the runtime has not shut SDL down yet.
//                 Status 97: RuntimeStart installed SDL's fatal-signal handler for SIGSEGV.
//                 It keeps a log of its own (it runs many times in a row).
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

using SignalHandler = void (*)(int);

SignalHandler SegvHandler() {
    struct sigaction now;
    sigaction(SIGSEGV, nullptr, &now);
    return now.sa_handler;
}

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
        std::remove((gTemp + ".log").c_str());
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
    if (how == "textures") SetErrorLogPathForTesting((gTemp + ".log").c_str());
    const auto segvBefore = SegvHandler();
    RuntimeStart(0, nullptr, "probe", nullptr, "probe");
    if (how == "textures" && SegvHandler() != segvBefore) {
        std::remove((gTemp + ".log").c_str());
        return 97;
    }
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
