// RuntimeStart and EndProgram: the only code that knows every subsystem, because start-up and
// shutdown touch them all in a fixed order.
//
// EndProgram is the one way out of the program (Escape, the window's close button, fatal load and
// array errors, End). It runs at most once: the atexit registration made by RuntimeStart finds
// the shutdown done and returns, and a call that arrives while the shutdown is running (a fatal
// error inside it) ends the process at once, so no store is ever released twice.
//
// A program may also just return from main. The shutdown must then run before anything else at
// exit: the GL driver, and the compiler library behind it, are loaded when the window opens
// (after RuntimeStart's atexit registration) and some of their parts later still, and exit
// handlers and static destructors run in the reverse order of their registration. Shut down
// from the atexit handler, SDL_Quit destroyed the GL context inside a driver that had already
// torn itself down; it crashed there now and then, and SDL's fatal-signal handler then hung in
// a second SDL_Quit. The C++ exit sequence destroys the exiting thread's thread_local objects
// before it calls any exit handler or static destructor, so a thread_local guard made on the
// main thread runs the shutdown first, while every library is whole. SDL is also started
// without its fatal-signal handler (window/window.cpp): a crash ends the process as a crash.
#include <SDL/SDL.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/clock.h"
#include "base/errors.h"
#include "base/timers.h"
#include "devices/lifecycle.h"
#include "files/lookup.h"
#include "net/lifecycle.h"
#include "voxa/basics.h"
#include "voxa/core.h"
#include "voxa/gfx2d.h"
#include "voxa/window.h"
#include "window/window.h"

namespace {

enum class Phase { NotEnded, ShuttingDown, Exiting };

// The state of the core folder (the thread_local guard below is a registration, not state). It
// is set once per process and never reset: the phase only moves forward.
struct CoreState {
    Phase phase = Phase::NotEnded; // how far EndProgram has come
};
CoreState gCore;

// The program's own directory: the path in "_" resolved by realpath and cut at its last
// separator (index 0 is never examined, so "/voxa" stays whole). Empty when "_" is unset or
// cannot be resolved.
std::string ProgramDirectory() {
    const char* underscore = std::getenv("_");
    char resolved[PATH_MAX];
    if (underscore == nullptr || realpath(underscore, resolved) == nullptr) return "";
    std::string path(resolved);
    for (size_t i = path.size(); i >= 1; --i) {
        if (path[i] == '/' || path[i] == '\\') {
            path.resize(i);
            break;
        }
    }
    return path;
}

// "%g" in the C locale, whatever locale the program selected.
void WriteNumber(double value) { WriteErrorLog(DynString(value).CStr()); }

// Steps 1..8 of the shutdown. Returns false when the shutdown had already begun.
bool ShutDownStores() {
    if (gCore.phase != Phase::NotEnded) return false;
    gCore.phase = Phase::ShuttingDown;
    StopMusicForExit();
    if (gSettings.debugMode != 0) {
        WriteErrorLog("-End On Line");
        WriteNumber(gErrors.errorCode);
        WriteNumber(gErrors.errorLine - 1);
        WriteNumber(gErrors.currentLine);
        WriteNumber(gErrors.currentModule);
    }
    SDL_WM_GrabInput(SDL_GRAB_OFF);
    SDL_Quit();
    DestroyInputDevices();
    FreeSoundSlots();
    DestroyAudioDevice();
    ShutdownNetGame();
    ReleasePackStates();
    return true;
}

void EndProgramAtExit() { ShutDownStores(); }

// Fonts 0 (built-in, then "smalfont.bmp") and "Loading..." in the middle of the screen.
void ShowLoadingScreen() {
    LoadFont(DynString(""), 0);
    LoadFont(DynString("smalfont.bmp"), 0);
    double w = 0, h = 0;
    GetFontSize(w, h);
    PrintText(DynString("Loading..."), (gSettings.screenWidth - 10 * w) * 0.5,
              (gSettings.screenHeight - h) * 0.5);
    ShowScreen();
}

// Destroyed when the main thread leaves through exit, before every exit handler and static
// destructor (see the top of this file).
struct ShutDownFirstAtExit {
    ~ShutDownFirstAtExit() { ShutDownStores(); }
};

void ShutDownFirstWhenMainReturns() {
    if (getpid() != gettid()) return; // another thread's exit is no process exit
    static thread_local ShutDownFirstAtExit guard;
    (void)guard;
}

} // namespace

void EndProgram() {
    if (gCore.phase == Phase::NotEnded) ShutDownStores();
    if (gCore.phase == Phase::Exiting) _exit(0); // re-entered from an exit handler: exit may not run twice
    gCore.phase = Phase::Exiting;
    std::fflush(nullptr);
    std::exit(0);
}

int RuntimeStart(int, char**, const char*, char**, const char* caption) {
    gSettings.caption.Assign(caption ? caption : "");
    std::remove(ErrorLogPath());
    std::atexit(EndProgramAtExit);
    ShutDownFirstWhenMainReturns();
    CreateInputDevices();
    CreateAudioDevice();
    CreateSoundSlots();
    CreateNetGame();
    StartWindow(gSettings.screenWidth, gSettings.screenHeight, 0, gSettings.framesPerSecond);
    SeedRandom(GetTicks());
    SetWindowFullscreen(gSettings.fullscreen != 0);
    StartInputDevices();
    SDL_WM_SetCaption(gSettings.caption.CStr(), "");
    if (gSettings.grabInput != 0) SDL_WM_GrabInput(SDL_GRAB_ON);
    SetFont(0);
    std::string dir = ProgramDirectory();
    // A failed change (empty or unreadable path) keeps the working directory the program was
    // started in.
    [[maybe_unused]] int changed = chdir(dir.c_str());
    WriteErrorLog("Current Dir");
    WriteErrorLog(dir.c_str());
    CreatePackStates();
    SetPackFiles(DynString(dir.c_str()), DynString(dir.c_str()));
    PresentStartFrame();
    ResetFrameTimers();
    ShowLoadingScreen();
    ResetFrameTimers();
    return 0;
}
