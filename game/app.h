// The game's entry: argument joining, application setup and the main routine.
#pragma once

#include "runtime.h"

void JoinArguments(int argc, char** argv, DynString& commandLine); // appends each argument and one blank
void ApplyAppSettings(const char* text); // 640 x 480, full screen, 60 fps, no debug, no grab; commandLine = text
[[noreturn]] void AppSetup(int argc, char** argv, const char* text, char** envp); // settings, RuntimeStart, GameMain
[[noreturn]] void GameMain();                                                      // the game; never returns
