// GameMain: the outer loop that (re)starts the game and the inner loop of frames.
//
// The step rule: the simulation advances by frameStep milliseconds per routine call. In the menu
// state only previousStep follows the measured frame time (frameStep stays 0, so the idle
// animations stand still); in play a measured step is used only when it equals previousStep to
// within half a millisecond. Both are whole milliseconds, so in practice the step measured in the
// frame that confirmed START holds for the whole game.
#include "app.h"
#include "assets.h"
#include "game.h"
#include "voxa/runtime.h"

void ApplyStepRule() {
    double measured = static_cast<double>(static_cast<long long>(GetTimerAll() - gGame.lastFrameTime));
    if (gGame.gameState == 0) {
        gGame.previousStep = measured;
        return;
    }
    gGame.frameStep = measured;
    if (measured > gGame.previousStep + 0.5 || measured < gGame.previousStep - 0.5) gGame.frameStep = gGame.previousStep;
    gGame.previousStep = gGame.frameStep;
}

void StartRound() {
    LoadAssets();
    ResetGameGlobals(gGame);
    DimGameArrays(gGameArrays);
    SetFrameRate(-1);
}

FrameEnd RunFrame() {
    ToggleMusic();
    ApplyStepRule();
    gGame.lastFrameTime = GetTimerAll();
    DrawScene();
    DrawHudScore();
    if (gGame.gameState == 0) DrawMenus();
    if (KeyDown(KEY_R) == 1) return FrameEnd::Restart;
    DrawHudGame();
    if (gGame.ballsPlayed >= gGame.ballsPerGame) gGame.gameOverTime += gGame.frameStep;
    if (gGame.gameOverTime > 0) {
        SetFont(0);
        PrintText("Game Over", 200, 200);
    }
    if (gGame.gameOverTime >= 3000) {
        gGame.gameOverTime = 0;
        return FrameEnd::Restart;
    }
    ShowScreen();
    return FrameEnd::Shown;
}

void GameMain() {
    for (;;) {
        StartRound();
        while (RunFrame() == FrameEnd::Shown) NoteShownFrame();
    }
}
