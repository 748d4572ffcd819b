// The game's variables: one plain block of doubles (flags and counters included) and the
// game's static arrays. Every game routine reads and writes them.
//
// Each field starts at the value written beside it, and ResetGameGlobals returns it there at
// every (re)start of the game, except the fields marked "kept": those are 0 when the program
// starts and keep their values across a restart.
#pragma once

#include "voxa/runtime.h"

struct GameGlobals {
    // ---- Timing and state
    double frameStep = 0;       // ms the simulation advances per call this frame
    double lastFrameTime = 0;   // GetTimerAll near the start of each frame, after the step rule (ms)
    double previousStep = 0;    // kept: the previous frame's step, compared against by the step rule
    double gameState = 0;       // 0 = title and menus, 1 = playing
    double subMenuOpen = 0;     // 0 = main menu, 1 = the options or controls page is open
    double ballsPerGame = 10;   // balls in one game: 10, 20 or 30
    double ballsPlayed = 0;     // target balls that have ended (scored or lost)
    double score = 0;           // target balls knocked past the far end
    double gameOverTime = 0;    // ms since ballsPlayed reached ballsPerGame
    double passIndex = 0;       // the scene pass of the frame, 0 or 1

    // ---- Player's ball, bases and aim
    double ballX = 0;           // position of the player's ball on the table plane
    double ballZ = -500;
    double ballVX = 0;          // velocity of the player's ball, units per call
    double ballVZ = 0;
    double ballLift = 0;        // height above the ball's normal height (40 while the rod carries it)
    double ballReady = 1;       // 1 = the ball rests at the base and may be shot
    double ballLost = 0;        // 1 = the ball is out of play and waits for the rod
    double ballLostTime = 0;    // kept: lastFrameTime when the ball last hit the target ball
    double resetRequest = 0;    // 1 = the down arrow (give up the ball) was released
    double ballRoll = 0;        // rolling angle of the ball, degrees
    double ballRollAxisX = 0;   // rolling axis of the ball (its y component is 0)
    double ballRollAxisZ = 0;
    double activeBase = 1;      // 0 = right (x = -160), 1 = middle (x = 0), 2 = left (x = +160)
    double baseX = 0;           // x of the active base
    double aimAngle = 0;        // pointer angle in degrees, within -23 ... +23

    // ---- Striker, tubes and pointers
    double strikerX = 0;        // striker position; strikerZ is measured from the base line
    double strikerZ = 0;
    double strikerState = 0;    // 0 = at rest in the tube, 1 = flying out, 2 = coming back
    double strikerRoll = 0;     // rolling angle of the striker, degrees
    double strikerSounded = 0;  // kept: 1 = the flight sound has been played for this shot
    double tubeRecoilState = 0; // 0 = idle, 1 = the active tube moves back, 2 = it snaps forward
    double tubeRecoilZ = 0;     // how far the active tube has moved back along the aim
    double tubeRecoilX = 0;
    double tubeHeight = 200;    // height of the three tubes; drops to 20 when play starts
    double pointerHeight = 200; // height of the three pointers; drops to 20 when play starts
    double dropStep = 2;        // how far tubes and pointers drop per step

    // ---- Target ball, spikes and rod
    double targetScale = 1;     // uniform scale of the target ball
    double targetRoll = 0;      // kept: rolling angle of the target ball, degrees
    double targetRollAxisX = 0; // rolling axis of the target ball
    double targetRollAxisZ = 0;
    double spikeHeight = 0;     // kept: height of the row of spikes (0 = down)
    double spikeRising = 0;     // kept: 1 = the spikes are rising
    double rodHomeX = 280;      // rest position of the retriever rod
    double rodHomeZ = 0;
    double rodX = 280;          // position of the rod and its sucker
    double rodY = 90;
    double rodZ = 0;
    double rodHasBall = 0;      // kept: 1 = the rod has reached the ball and carries it
    double rodXHome = 0;        // kept: 1 = the carried ball has reached the base's x
    double rodZHome = 0;        // kept: 1 = the carried ball has reached the base line

    // ---- Menus, music and layout
    double titleX = 15;         // origin of the title lettering on the main menu
    double titleY = 40;
    double controlsX = 10;      // layout of the controls page (set when the page is drawn)
    double controlsTop = 86;
    double controlsSpacing = 40;
    double musicState = 0;      // 0 = off, 1 = switching on (key held), 2 = playing
    double musicKeyLatch = 1;   // 1 = start the music when the music key is up
    double musicKeyLock = 0;    // 1 = ignore the music key until it has been released
    double pulseFalling = 0;    // direction of the idle pulse, shared by both pulse slots
    double keyWasDown = 0;      // kept: the single key-release detector
    double keyWasReleased = 0;  // kept
};

// The game's arrays of doubles, one index each. Constructed empty before main runs; dimensioned
// (and so zero-filled) at every (re)start by DimGameArrays.
struct GameArrays {
    DynArray targetX;        // 1: x of the target ball
    DynArray targetZ;        // 1: z of the target ball
    DynArray targetVX;       // 1: x velocity of the target ball, units per call
    DynArray targetVZ;       // 1: z velocity of the target ball, units per call
    DynArray menuGlow;       // 3: glow (alpha) of each menu item, by row
    DynArray menuGlowRising; // 3: 1 = that item's glow is rising
    DynArray menuCursor;     // 3: cursor row per menu: 0 = main menu, 1 = options page
    DynArray menuKeyPending; // 3: per menu: +1 = down key held, -1 = up key held
    DynArray spinAngle;      // 100: idle spin accumulators (slots 0 and 1 used)
    DynArray idleAngle;      // 2: last idle spin angle of the ball (0) and the striker (1)
    DynArray pulseScale;     // 2: idle pulse values of the ball (0) and the striker (1)
    DynArray tubeLaneX;      // 3: x of the three tubes, filled by DimLaneArray at each use
    DynArray pointerLaneX;   // 3: x of the three pointers, filled by DimLaneArray at each use
};

extern GameGlobals gGame;
extern GameArrays gGameArrays;

void ResetGameGlobals(GameGlobals& g); // every field back to its starting value, except the kept ones
void DimGameArrays(GameArrays& a);     // dimensions the arrays and sets their starting elements (draws two Rnd)
void DimLaneArray(DynArray& lanes, double a = -160, double b = 0, double c = 160); // Dim(3) and the x of the three lanes
