// The game's routines: the main loop and menus, the player's side of the table, the target side,
// and the scene passes with the HUD. Every routine reads and writes the game's globals.
#pragma once

#include "globals.h"

// ---- Main loop and menus
enum class FrameEnd { Shown, Restart };
void StartRound();          // loads the assets, resets the globals and arrays, fastest frame rate
FrameEnd RunFrame();        // one frame; Restart when R or the end of "Game Over" restarts the game
void ApplyStepRule();       // frameStep and previousStep from the time since the last frame
void DrawMenus();           // the title, options and controls pages for one frame
double MenuGlow(double row, double cursor); // glow (alpha) of one menu row
double MenuCursor(double menu);             // moves menu 0 (main) or 1 (options) on key release
void ToggleMusic();         // the music key

// ---- Scene and HUD
void DrawScene();           // the 3D scene in its two passes; advances the simulation
void DrawBackWall();        // with its bump texture
void DrawTable();
void DrawRim();
void DrawHudScore();        // score line, before the menu pages
void DrawHudGame();         // "Game:" line, after the menu pages

// ---- The player's side
void UpdatePointers(double a, double b, double c, double active);
void UpdateTubes(double a, double b, double c, double active);
void UpdateStriker();
void UpdateBall();
struct BallPair {
    double z1, x1, vz1, vx1; // ball 1
    double z2, x2, vz2, vx2; // ball 2
};
BallPair CollideBalls(double r, double z1, double x1, double vz1, double vx1, double z2, double x2,
                      double vz2, double vx2);
double BounceSide(double x, double v);
double KeyReleased(double keyState);
double PulseValue(double slot, double high, double low);
double SpinAngle(double slot, double rate, double offset);

// ---- The target side
void UpdateTarget(double i);
void UpdateSpikes();
void UpdateRod();
