// The game's entry: application setup and the main routine.
#pragma once

[[noreturn]] void AppSetup(int argc, char** argv, const char* text, char** envp); // settings, RuntimeStart, GameMain
[[noreturn]] void GameMain();                                                      // the game; never returns
