// The target side of the table: the target ball that rolls toward the player, its respawn and
// the score, the row of spikes at the near end, and the rod that fetches the spent ball.
#include "draw.h"
#include "game.h"

namespace {

constexpr double kFarEnd = 840;
constexpr double kNearEnd = -450;
constexpr double kRestZ = -500; // the player's ball at its base

// A new target ball at the far end; counts one ball.
void RespawnTarget(int i) {
    gGameArrays.targetZ.At(i) = kFarEnd;
    gGameArrays.targetX.At(i) = Rnd(560) - 320 + 40;
    gGameArrays.targetVZ.At(i) = gGame.frameStep * -0.04 * (gGame.ballsPlayed / 6 + 1);
    gGameArrays.targetVX.At(i) = (Rnd(16) / 100 - 0.08) * gGame.frameStep;
    gGame.ballsPlayed += 1;
    gGame.targetRollAxisX = 0;
    gGame.targetRollAxisZ = 0;
}

void HitTarget(int i) {
    gGame.ballLost = 1;
    gGame.ballLostTime = gGame.lastFrameTime;
    BallPair r = CollideBalls(20, gGame.ballZ, gGame.ballX, gGame.ballVZ, gGame.ballVX, gGameArrays.targetZ.At(i), gGameArrays.targetX.At(i),
                              gGameArrays.targetVZ.At(i), gGameArrays.targetVX.At(i));
    gGame.ballZ = r.z1;
    gGame.ballX = r.x1;
    gGame.ballVZ = r.vz1;
    gGame.ballVX = r.vx1;
    gGameArrays.targetZ.At(i) = r.z2;
    gGameArrays.targetX.At(i) = r.x2;
    gGameArrays.targetVZ.At(i) = r.vz2;
    gGameArrays.targetVX.At(i) = r.vx2;
    PlaySound(3, 0, 1);
}

bool Within(double a, double b, double step) { return a >= b - step && a <= b + step; }

void FetchBall(double step) {
    if (gGame.rodHasBall == 0) {
        PlaySound(7, 0, 1);
        if (gGame.rodX < gGame.ballX) gGame.rodX += step;
        if (gGame.ballX < gGame.rodX) gGame.rodX -= step;
        if (gGame.rodZ < gGame.ballZ) gGame.rodZ += step;
        if (gGame.ballZ < gGame.rodZ) gGame.rodZ -= step;
        if (Within(gGame.rodX, gGame.ballX, step) && Within(gGame.rodZ, gGame.ballZ, step)) {
            gGame.rodX = gGame.ballX;
            gGame.rodZ = gGame.ballZ;
            gGame.rodHasBall = 1;
        }
    }
    if (gGame.rodHasBall != 1) return;
    PlaySound(7, 0, 1);
    gGame.ballLift = 40;
    // Each test sees the result of the one before it, so a step that overshoots is taken back.
    if (gGame.ballX < gGame.baseX) {
        gGame.ballX += step;
        gGame.rodX = gGame.ballX;
    }
    if (gGame.baseX < gGame.ballX) {
        gGame.ballX -= step;
        gGame.rodX = gGame.ballX;
    }
    if (kRestZ < gGame.ballZ) {
        gGame.ballZ -= step;
        gGame.rodZ = gGame.ballZ;
    }
    if (gGame.ballZ < kRestZ) {
        gGame.ballZ += step;
        gGame.rodZ = gGame.ballZ;
    }
    gGame.ballVX = 0;
    gGame.ballVZ = 0;
    if (Within(gGame.ballX, gGame.baseX, step)) {
        gGame.ballX = gGame.baseX;
        gGame.rodX = gGame.baseX;
        gGame.rodXHome = 1;
    }
    if (Within(gGame.ballZ, kRestZ, step)) {
        gGame.ballZ = kRestZ;
        gGame.rodZ = kRestZ;
        gGame.rodZHome = 1;
    }
    if (gGame.rodXHome == 1 && gGame.rodZHome == 1) {
        gGame.ballLost = 0;
        gGame.ballReady = 1;
        gGame.rodXHome = 0;
        gGame.rodZHome = 0;
        gGame.rodHasBall = 0;
        gGame.ballLift = 0;
        gGame.ballRollAxisX = 1;
        gGame.ballRollAxisZ = 0;
    }
}

void GoHome(double step) {
    if (gGame.rodHomeX < gGame.rodX) gGame.rodX -= step;
    if (gGame.rodX < gGame.rodHomeX) gGame.rodX += step;
    if (gGame.rodHomeZ < gGame.rodZ) gGame.rodZ -= step;
    if (gGame.rodZ < gGame.rodHomeZ) gGame.rodZ += step;
    if (Abs(gGame.rodX - gGame.rodHomeX) < 20) gGame.rodX = gGame.rodHomeX;
    if (Abs(gGame.rodZ - gGame.rodHomeZ) < 20) gGame.rodZ = 0;
}

} // namespace

void UpdateTarget(double index) {
    int i = static_cast<int>(index);
    if (gGame.spikeHeight > 0) gGame.targetScale -= 0.005;
    if (gGame.targetScale <= 0) gGame.targetScale = 0;
    if (gGame.spikeHeight == 0) gGame.targetScale = 1;
    PlaceObject(gGameArrays.targetX.At(i), 20, gGameArrays.targetZ.At(i));
    ScaleObject(gGame.targetScale, gGame.targetScale, gGame.targetScale);
    RotateObject(gGame.targetRoll, gGame.targetRollAxisX, 0, gGame.targetRollAxisZ);
    DrawTextured(20);

    gGameArrays.targetVX.At(i) = BounceSide(gGameArrays.targetX.At(i), gGameArrays.targetVX.At(i));
    bool spikesDown = gGame.spikeRising == 0 && gGame.spikeHeight == 0;
    if (spikesDown) {
        gGameArrays.targetX.At(i) += gGameArrays.targetVX.At(i);
        gGameArrays.targetZ.At(i) += gGameArrays.targetVZ.At(i);
    }
    if (gGameArrays.targetZ.At(i) <= kNearEnd && gGame.gameOverTime == 0) {
        gGameArrays.targetZ.At(i) = kNearEnd;
        if (gGame.spikeRising == 0 && gGame.spikeHeight > 0 && gGame.spikeHeight < 2) RespawnTarget(i);
        if (gGame.spikeHeight == 0) gGame.spikeRising = 1;
    }
    if (gGameArrays.targetZ.At(i) > kFarEnd && gGame.gameOverTime == 0) {
        RespawnTarget(i);
        gGame.score += 1;
    }
    if (gGame.spikeRising == 0 && gGame.spikeHeight == 0 && (gGameArrays.targetVX.At(i) != 0 || gGameArrays.targetVZ.At(i) != 0)) {
        double vx = gGameArrays.targetVX.At(i);
        double vz = gGameArrays.targetVZ.At(i);
        double speed = Sqr(vz * vz + vx * vx);
        gGame.targetRoll += speed;
        if (vx != 0) gGame.targetRollAxisZ = -vx / speed;
        if (vz != 0) gGame.targetRollAxisX = vz / speed;
    }
    double dz = gGame.ballZ - gGameArrays.targetZ.At(i);
    double dx = gGame.ballX - gGameArrays.targetX.At(i);
    if (dz * dz + dx * dx <= 1600 && gGame.ballLost == 0) HitTarget(i);
}

void UpdateSpikes() {
    if (gGame.spikeRising == 1) gGame.spikeHeight += 1;
    if (gGame.spikeHeight >= 20) gGame.spikeRising = 0;
    if (gGame.spikeRising == 0) gGame.spikeHeight -= 0.2;
    if (gGame.spikeHeight <= 0) gGame.spikeHeight = 0;
    if (gGame.spikeHeight > 0) {
        PlaySound(8, 0, 1);
        for (double x = -300; x <= 300; x += 20) DrawAt(8, x, gGame.spikeHeight - 10, -440, {{0, 0, 0, 0}});
    }
}

void UpdateRod() {
    double step = gGame.frameStep;
    DrawAt(9, gGame.rodX, gGame.rodY, gGame.rodZ, {});
    DrawAt(11, gGame.rodX, gGame.rodY, gGame.rodZ, {{180, 0, 0, 1}, {180, 1, 0, 0}});
    if (gGame.lastFrameTime - gGame.ballLostTime >= 1000 && gGame.ballLost == 1) FetchBall(step);
    if (gGame.ballLost == 0) GoHome(step);
}
