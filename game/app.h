// The game's entry: argument joining, application setup and the main routine.
#pragma once

#include <string>

#include "voxa/runtime.h"

void JoinArguments(int argc, char** argv, DynString& commandLine); // appends each argument and one blank
void ApplyAppSettings(const char* text); // 640 x 480, full screen, 60 fps, no debug, no grab; commandLine = text
[[noreturn]] void AppSetup(int argc, char** argv, const char* text, char** envp); // settings, RuntimeStart, GameMain
[[noreturn]] void GameMain();                                                      // the game; never returns

// Launch options (launch.cpp): recording, replay and snapshots.
struct LaunchOptions {
    std::string record;     // file to record the run into, or empty
    std::string replay;     // file to replay, or empty
    std::string snapshots;  // directory for the snapshots at frames 1, 2, 4, 8, ..., or empty
};
extern LaunchOptions gLaunch;  // set by main before AppSetup
LaunchOptions ReadLaunchOptions(int argc, char** argv); // --record/--replay/--snapshots, else VOXA_RECORD/VOXA_REPLAY/VOXA_SNAPSHOTS; paths made absolute
void StartLaunchOptions();     // after RuntimeStart: starts the replay or the recording
void NoteShownFrame();         // after each shown frame: a snapshot when one is due
