// The player's side of the table: bases, pointers, the tube's recoil, the striker's flight and
// the player's ball. Each routine advances its part of the game and draws its objects; the scene
// runs them in both passes of a frame, so every change per call happens twice a frame.
#include "draw.h"
#include "game.h"

namespace {

constexpr double kBaseLineZ = -600;     // tubes, pointers and the resting striker
constexpr double kStrikerSpeed = 0.6;   // units per millisecond
constexpr double kTouchSquared = 1600;  // two balls of radius 20 touch
constexpr double kSideWall = 296;

void TurnPointer() {
    if (KeyDown(KEY_LEFT) == 1) {
        PlaySound(5, 0, 1);
        gGame.aimAngle += gGame.frameStep * 0.02;
    }
    if (KeyDown(KEY_RIGHT) == 1) {
        PlaySound(5, 0, 1);
        gGame.aimAngle -= gGame.frameStep * 0.02;
    }
    if (KeyDown(KEY_UP) == 1) {
        PlaySound(6, 0, 1);
        gGame.aimAngle = 0;
    }
    if (gGame.aimAngle >= 23) gGame.aimAngle = 23;
    if (gGame.aimAngle <= -23) gGame.aimAngle = -23;
}

// The tube is home again: the striker fires.
void FireStriker() {
    gGame.tubeRecoilZ = 0;
    gGame.tubeRecoilX = 0;
    gGame.tubeRecoilState = 0;
    gGame.strikerState = 1;
}

void RunShot() {
    if (KeyDown(KEY_SPACE) == 1 && gGame.tubeRecoilState == 0 && gGame.strikerState == 0 && gGame.ballReady == 1 &&
        gGame.spikeHeight == 0) {
        gGame.tubeRecoilState = 1;
    }
    if (gGame.tubeRecoilState == 1) {
        gGame.tubeRecoilZ += gGame.frameStep * 0.1 * Cos(gGame.aimAngle);
        gGame.tubeRecoilX += 0.1 * gGame.frameStep * Sin(gGame.aimAngle);
    }
    if (gGame.tubeRecoilZ * gGame.tubeRecoilZ + gGame.tubeRecoilX * gGame.tubeRecoilX >= 900) {
        PlaySound(2, 0, 1);
        gGame.tubeRecoilState = 2;
    }
    if (gGame.tubeRecoilState == 2) {
        gGame.tubeRecoilZ -= gGame.frameStep * 0.4 * Cos(gGame.aimAngle);
        gGame.tubeRecoilX -= 0.4 * gGame.frameStep * Sin(gGame.aimAngle);
        if (gGame.aimAngle == 0 && gGame.tubeRecoilZ < 0) FireStriker();
        if (gGame.tubeRecoilX * gGame.aimAngle < 0) FireStriker();
    }
}

void ChooseBase(double base, double x) {
    PlaySound(0, 0, 1);
    gGame.aimAngle = 0;
    gGame.activeBase = base;
    gGame.baseX = x;
    gGame.strikerX = x;
    gGame.ballX = x;
}

// The striker is back at its base.
void StopStriker() {
    gGame.strikerZ = 0;
    gGame.strikerX = gGame.baseX;
    gGame.strikerState = 0;
    gGame.strikerSounded = 0;
}

// Moves the striker to where it touches a ball resting 100 units ahead of the base, then lets
// it knock the ball.
void StrikeBall() {
    double beta = ASin(Sin(gGame.aimAngle) * 2.5);
    double c = Cos(beta) * 40;
    double reach = Sqr(c * c + 10000 - 1600) - c;
    gGame.strikerX = Sin(gGame.aimAngle) * reach + gGame.baseX;
    gGame.strikerZ = Cos(gGame.aimAngle) * reach;
    BallPair r = CollideBalls(20, gGame.ballZ, gGame.ballX, gGame.ballVZ, gGame.ballVX, gGame.strikerZ - 600, gGame.strikerX,
                              kStrikerSpeed * gGame.frameStep * Cos(gGame.aimAngle),
                              kStrikerSpeed * gGame.frameStep * Sin(gGame.aimAngle));
    gGame.ballReady = 0;
    gGame.ballZ = r.z1;
    gGame.ballX = r.x1;
    gGame.ballVZ = r.vz1;
    gGame.ballVX = r.vx1;
}

// The menu state's idle animation of the ball (slot 0) or the striker (slot 1): a pulsing scale
// (three successive pulse values: the third for x, the second for y, the first for z) and a spin
// about y.
void IdlePose(int slot, double offset) {
    double z = PulseValue(slot, 1.0, 0.9);
    double y = PulseValue(slot, 1.0, 0.9);
    double x = PulseValue(slot, 1.0, 0.9);
    ScaleObject(x, y, z);
    gGameArrays.idleAngle.At(slot) = SpinAngle(slot, 0.01, offset);
    RotateObject(gGameArrays.idleAngle.At(slot), 0, 1, 0);
}

} // namespace

void UpdatePointers(double a, double b, double c, double active) {
    DimLaneArray(gGameArrays.pointerLaneX, a, b, c);
    for (int lane = 0; lane <= 2; ++lane) {
        double turn = lane == active ? gGame.aimAngle + 180 : 180;
        DrawAt(2, gGameArrays.pointerLaneX.At(lane), gGame.pointerHeight, kBaseLineZ, {{turn, 0, 1, 0}});
        if (gGame.gameState == 1 && lane == active) {
            gGame.pointerHeight -= gGame.dropStep;
            if (gGame.pointerHeight <= 20) gGame.pointerHeight = 20;
            TurnPointer();
        }
    }
}

void UpdateTubes(double a, double b, double c, double active) {
    DimLaneArray(gGameArrays.tubeLaneX, a, b, c);
    for (int lane = 0; lane <= 2; ++lane) {
        if (gGame.gameState == 1) {
            gGame.tubeHeight -= gGame.dropStep;
            if (gGame.tubeHeight <= 20) gGame.tubeHeight = 20;
        }
        if (lane != active) {
            DrawAt(6, gGameArrays.tubeLaneX.At(lane), gGame.tubeHeight, kBaseLineZ, {{180, 0, 1, 0}});
        } else {
            DrawAt(6, gGameArrays.tubeLaneX.At(lane) - gGame.tubeRecoilX, gGame.tubeHeight, kBaseLineZ - gGame.tubeRecoilZ,
                   {{gGame.aimAngle + 180, 0, 1, 0}});
        }
        if (gGame.gameState == 1 && lane == active) RunShot();
    }
}

void UpdateStriker() {
    if (gGame.gameState == 1 && gGame.tubeRecoilState == 0 && gGame.strikerState == 0 && gGame.ballReady == 1) {
        if (KeyDown(KEY_A) == 1) ChooseBase(2, 160);
        if (KeyDown(KEY_S) == 1) ChooseBase(1, 0);
        if (KeyDown(KEY_D) == 1) ChooseBase(0, -160);
    }
    PlaceObject(gGame.strikerX, 20, gGame.strikerZ + kBaseLineZ);
    if (gGame.gameState == 0) IdlePose(1, 180);
    if (gGame.strikerState == 0) {
        RotateObject(gGame.aimAngle, 0, 1, 0);
        gGame.strikerRoll = 0;
    }
    if (gGame.strikerState == 1 || gGame.strikerState == 2) {
        ScaleObject(1, 1, 1);
        RotateObject(gGame.aimAngle, 0, 1, 0);
        RotateObject(gGame.strikerRoll, Cos(gGame.aimAngle), 0, -Sin(gGame.aimAngle));
    }
    DrawTextured(10);

    if (gGame.strikerState == 1) {
        gGame.strikerZ += kStrikerSpeed * gGame.frameStep * Cos(gGame.aimAngle);
        gGame.strikerX += Sin(gGame.aimAngle) * kStrikerSpeed * gGame.frameStep;
        gGame.strikerRoll += kStrikerSpeed * gGame.frameStep;
    }
    double dx = gGame.strikerX - gGame.baseX;
    double d2 = gGame.strikerZ * gGame.strikerZ + dx * dx;
    if (d2 >= 2500 && gGame.strikerSounded == 0) {
        PlaySound(3, 0, 1);
        gGame.strikerSounded = 1;
    }
    if (d2 >= 14400) gGame.strikerState = 2;
    if (gGame.strikerState == 2) {
        double s = kStrikerSpeed * gGame.frameStep / 6;
        gGame.strikerZ -= s * Cos(gGame.aimAngle);
        gGame.strikerX -= Sin(gGame.aimAngle) * s;
        gGame.strikerRoll -= s;
        if (gGame.aimAngle == 0 && gGame.strikerZ < 0) StopStriker();
        if ((gGame.strikerX - gGame.baseX) * gGame.aimAngle < 0) StopStriker();
    }
}

void UpdateBall() {
    gGame.ballX += gGame.ballVX;
    gGame.ballZ += gGame.ballVZ;
    PlaceObject(gGame.ballX, gGame.ballLift + 20, gGame.ballZ);
    if (gGame.gameState == 0) {
        IdlePose(0, 0);
    } else {
        ScaleObject(1, 1, 1);
        RotateObject(gGame.ballRoll, gGame.ballRollAxisX, 0, gGame.ballRollAxisZ);
    }
    DrawTextured(1);

    if (gGame.ballVX != 0 || gGame.ballVZ != 0) {
        double speed = Sqr(gGame.ballVX * gGame.ballVX + gGame.ballVZ * gGame.ballVZ);
        gGame.ballRoll += speed;
        if (gGame.ballVX != 0) gGame.ballRollAxisZ = -gGame.ballVX / speed;
        if (gGame.ballVZ != 0) gGame.ballRollAxisX = gGame.ballVZ / speed;
    }
    gGame.ballVX = BounceSide(gGame.ballX, gGame.ballVX);
    if (gGame.resetRequest == 0 && gGame.gameState == 1) gGame.resetRequest = KeyReleased(KeyDown(KEY_DOWN));
    if (gGame.ballZ > 700 || gGame.ballZ < -500 || gGame.resetRequest != 0) {
        gGame.ballLost = 1;
        gGame.resetRequest = 0;
    }
    if (gGame.ballZ >= 820) gGame.ballZ = 820;
    if (gGame.ballZ > 500 && gGameArrays.targetZ.At(0) < 500) gGame.ballLost = 1;

    double dz = gGame.ballZ - (gGame.strikerZ - 600);
    double dx = gGame.ballX - gGame.strikerX;
    if (dz * dz + dx * dx <= kTouchSquared && gGame.ballLost == 0) StrikeBall();
}

BallPair CollideBalls(double r, double z1, double x1, double vz1, double vx1, double z2, double x2,
                      double vz2, double vx2) {
    BallPair out{0, 0, 0, 0, 0, 0, 0, 0};
    double dz = z2 - z1;
    double dx = x2 - x1;
    double dist = Sqr(dx * dx + dz * dz);
    // Centres that coincide have no normal: the balls are left as they are.
    if (dist == 0) return {z1, x1, vz1, vx1, z2, x2, vz2, vx2};
    double nz = dz / dist;
    double nx = dx / dist;
    double p1 = vx1 * nx + vz1 * nz;
    double p2 = vz2 * nz + vx2 * nx;
    double jz = Abs(nz * p1 - nz * p2) * nz;
    double m = Abs(p1 * nx - p2 * nx);
    double phi = ATan(nz, nx);
    double separation = (r + r + 2) - (r + r);
    out.vz1 = vz1 - jz;
    out.vz2 = vz2 + jz;
    out.vx1 = vx1 - m * nx;
    out.vx2 = vx2 + m * nx;
    out.z1 = z1 - Sin(phi) * separation;
    out.x1 = x1 - Cos(phi) * separation;
    out.z2 = z2 + Sin(phi) * separation;
    out.x2 = x2 + Cos(phi) * separation;
    return out;
}

double BounceSide(double x, double v) {
    if (x <= -kSideWall || x >= kSideWall) {
        PlaySound(4, 0, 1);
        return -v;
    }
    return v;
}

double KeyReleased(double k) {
    if (k == 1) gGame.keyWasDown = 1;
    if (k == 0 && gGame.keyWasDown == 1) gGame.keyWasReleased = 1;
    if (gGame.keyWasDown + gGame.keyWasReleased == 2) {
        gGame.keyWasDown = 0;
        gGame.keyWasReleased = 0;
        return 1;
    }
    return 0;
}

double PulseValue(double slot, double high, double low) {
    double& p = gGameArrays.pulseScale.At(slot);
    if (p <= low) gGame.pulseFalling = 0;
    if (gGame.pulseFalling == 0) p += gGame.frameStep * 0.00004;
    if (p >= high) gGame.pulseFalling = 1;
    if (gGame.pulseFalling == 1) p -= gGame.frameStep * 0.00004;
    return p;
}

double SpinAngle(double slot, double rate, double offset) {
    double& a = gGameArrays.spinAngle.At(slot);
    a += rate * gGame.frameStep;
    if (a >= 360 - rate * gGame.frameStep) a = 0;
    return offset + a;
}
