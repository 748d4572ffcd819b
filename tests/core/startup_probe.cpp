// A small program on the runtime, run by the start-up tests as a child process. It starts the
// runtime as a game does (windowed, small), prints the working directory it ended up in, and
// then leaves the way its one argument says:
//   end           End(), the program's normal end
//   debug-end     the same in debug mode (the end-of-line report is written)
//   debug-return  debug mode, main returns: the shutdown runs from the exit handler
//   debug-array   debug mode, an array read before Dim at a reported source line (code 8)
//   debug-nested  debug mode, End() again from an exit handler while the process exits
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime.h"

namespace {

void EndAgainAtExit() { End(); }

} // namespace

int main(int argc, char** argv) {
    const char* how = argc > 1 ? argv[1] : "end";
    gSettings.screenWidth = 64;
    gSettings.screenHeight = 48;
    gSettings.fullscreen = 0;
    gSettings.framesPerSecond = 60;
    gSettings.debugMode = std::strncmp(how, "debug-", 6) == 0 ? 1 : 0;
    if (std::strcmp(how, "debug-nested") == 0) std::atexit(EndAgainAtExit);
    RuntimeStart(0, nullptr, "probe", nullptr, "probe");
    char cwd[PATH_MAX];
    std::printf("cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    std::fflush(stdout);
    if (std::strcmp(how, "debug-return") == 0) return 0;
    if (std::strcmp(how, "debug-array") == 0) {
        SetLinePosition(3, 77);
        DynArray never;
        never.At(0);
    }
    End();
}
