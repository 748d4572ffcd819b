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
//                 are) that checks the runtime had already shut SDL down; a fault there ends
//                 the process with status 98. Status 97: RuntimeStart changed the handling of
//                 SIGSEGV (installed SDL's fatal-signal handler). It keeps a log of its own.
#include <SDL/SDL.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"

namespace {

void EndAgainAtExit() { End(); }

void ExpectShutDownAlready() {
    std::remove(ErrorLogPath());
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        std::fputs("an exit handler registered after the start ran before the runtime's shutdown\n", stderr);
        _exit(98);
    }
}

struct sigaction SegvHandling() {
    struct sigaction now;
    sigaction(SIGSEGV, nullptr, &now);
    return now;
}

int ReturnAfterTextures() {
    ShowScreen();
    DrawRect(0, 0, 31, 31, 0x00FF00);
    for (int id = 0; id < 8; ++id) GrabSprite(id, 0, 0, 16 + id, 16);
    std::string bmp = "/tmp/voxa_exit_probe_" + std::to_string(getpid()) + ".bmp";
    SaveScreenshot(DynString(bmp.c_str()));
    for (int id = 8; id < 16; ++id) LoadSprite(DynString(bmp.c_str()), id);
    std::remove(bmp.c_str());
    for (int id = 0; id < 16; ++id) DrawSprite(id, id, id);
    ShowScreen();
    std::atexit(ExpectShutDownAlready);
    return 7;
}

} // namespace

int main(int argc, char** argv) {
    const char* how = argc > 1 ? argv[1] : "end";
    gSettings.screenWidth = 64;
    gSettings.screenHeight = 48;
    gSettings.fullscreen = 0;
    gSettings.framesPerSecond = 60;
    gSettings.debugMode = std::strncmp(how, "debug-", 6) == 0 ? 1 : 0;
    if (std::strcmp(how, "debug-nested") == 0) std::atexit(EndAgainAtExit);
    bool textures = std::strcmp(how, "textures") == 0;
    // Run many times in a row: a log of its own leaves the shared one to other programs.
    std::string log = "/tmp/voxa_exit_probe_" + std::to_string(getpid()) + ".log";
    if (textures) SetErrorLogPathForTesting(log.c_str());
    struct sigaction segvBefore = SegvHandling();
    RuntimeStart(0, nullptr, "probe", nullptr, "probe");
    if (textures && SegvHandling().sa_handler != segvBefore.sa_handler) {
        std::remove(log.c_str());
        return 97;
    }
    char cwd[PATH_MAX];
    std::printf("cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    std::fflush(stdout);
    if (std::strcmp(how, "debug-return") == 0) return 0;
    if (textures) return ReturnAfterTextures();
    if (std::strcmp(how, "debug-array") == 0) {
        SetLinePosition(3, 77);
        DynArray never;
        never.At(0);
    }
    End();
}
