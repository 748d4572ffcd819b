// The game's variables and arrays, and their (re)start values.
#include "globals.h"

GameGlobals gGame;
GameArrays gGameArrays;

void ResetGameGlobals(GameGlobals& g) {
    GameGlobals fresh;
    // These survive a restart: a restart while the spikes are up leaves them up, one while the
    // rod carries the ball leaves it carried, and the step rule and key-release detector go on.
    fresh.previousStep = g.previousStep;
    fresh.ballLostTime = g.ballLostTime;
    fresh.strikerSounded = g.strikerSounded;
    fresh.targetRoll = g.targetRoll;
    fresh.spikeHeight = g.spikeHeight;
    fresh.spikeRising = g.spikeRising;
    fresh.rodHasBall = g.rodHasBall;
    fresh.rodXHome = g.rodXHome;
    fresh.rodZHome = g.rodZHome;
    fresh.keyWasDown = g.keyWasDown;
    fresh.keyWasReleased = g.keyWasReleased;
    g = fresh;
}

void DimGameArrays(GameArrays& a) {
    a.targetX.Dim(1);
    a.targetX.At(0) = Rnd(560) - 320 + 40;
    a.targetZ.Dim(1);
    a.targetZ.At(0) = 700;
    a.targetVX.Dim(1);
    // Rnd(0.04) is always 0, so the target ball starts at exactly -1.28 units per call.
    a.targetVZ.Dim(1);
    a.targetVZ.At(0) = -(Rnd(0.04) / 100 + 0.04) * 32;
    a.menuGlow.Dim(3);
    a.menuGlowRising.Dim(3);
    a.menuCursor.Dim(3);
    a.menuKeyPending.Dim(3);
    a.spinAngle.Dim(100);
    a.idleAngle.Dim(2);
    a.pulseScale.Dim(2);
    a.pulseScale.At(0) = 0.9;
    a.pulseScale.At(1) = 0.9;
}

void DimLaneArray(DynArray& lanes, double a, double b, double c) {
    lanes.Dim(3);
    lanes.At(0) = a;
    lanes.At(1) = b;
    lanes.At(2) = c;
}
