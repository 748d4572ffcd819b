// The game's main routine. Until the game loop exists it sets up the game's variables and
// arrays as a (re)start does, then ends the program normally.
#include "app.h"
#include "globals.h"

void GameMain() {
    ResetGameGlobals(gGame);
    DimGameArrays(gGameArrays);
    End();
}
