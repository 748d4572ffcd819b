// The 3D table scene in its two passes, and the HUD. The object routines run inside both passes,
// so this order is also the order of the simulation.
#include "draw.h"
#include "game.h"

namespace {

constexpr double kWhite = 16777215;
constexpr double kHudGold = 4235456; // red 192, green 160, blue 64

void RunObjectRoutines() {
    if (gGame.gameState == 1) UpdateTarget(0);
    DrawRim();
    UpdateTubes(-160, 0, 160, gGame.activeBase);
    UpdateStriker();
    UpdateRod();
    UpdateBall();
    UpdateSpikes();
    UpdatePointers(-160, 0, 160, gGame.activeBase);
}

} // namespace

void DrawScene() {
    Enter2DMode();
    Enter3DMode(1, 2000, 45);
    SetCamera(0, 400, -900, 0, 0, -340);
    for (gGame.passIndex = 0; gGame.passIndex <= 1; gGame.passIndex += 1) {
        if (gGame.passIndex != 1) {
            // The lit pass: the static scene, then every moving object.
            SetCullMode(-1);
            SetSpotLight(0, kWhite, 100, 200, -600, 0, -1, 0, 360);
            DrawBackWall();
            DrawTable();
        } else {
            // The shadow pass: the moving objects cast their shadows from the same light.
            SetCullMode(1);
            SetSpotLight(-3, kWhite, 100, 200, -600, 0, -1, 0, 360);
        }
        RunObjectRoutines();
    }
}

void DrawBackWall() {
    PlaceObject(0, -10, 400);
    SetTexture(3, 4);
    DrawObject(3, 0);
}

void DrawTable() {
    PlaceObject(0, 0, 0);
    SetTexture(0, -1);
    DrawObject(0, 0);
}

void DrawRim() {
    PlaceObject(0, 10, 0);
    ScaleObject(1, 1, 1);
    SetTexture(5, -1);
    DrawObject(5, 0);
}

void DrawHudScore() {
    Enter2DMode();
    SetFont(2);
    PrintNumber(gGame.score, 539, 40);
    PrintText(":", 577, 40);
    PrintNumber(gGame.ballsPlayed, 600, 40);
    DrawLine(540, 36, 634, 36, kHudGold);
}

void DrawHudGame() {
    SetFont(2);
    PrintText("Game:", 500, 10);
    PrintNumber(gGame.ballsPerGame, 600, 10);
}
