// The game's main routine.
#include "app.h"
#include "runtime.h"

void GameMain() {
    SetErrorCode(0);
    EndProgram();
}
