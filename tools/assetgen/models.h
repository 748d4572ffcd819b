// The game's nine models, built in the game's own coordinates: x across the table (+x on the
// player's left), y up, z up the table away from the player. Each is positioned by the game
// with MoveObject, so the numbers below are relative to where the game draws the model.
#pragma once

#include "mesh.h"

namespace assetgen {

// Ball radius shared by the player's ball, the striker and the target ball.
constexpr double kBallRadius = 20;

Mesh MakeTableModel();    // surface at y = 0 over x -340..340, z -700..900, sides down to y = -40
Mesh MakeSphereModel();   // radius 20 about the origin
Mesh MakePointerModel();  // flat arrow on top of the tube, pointing to -z (up the table once turned)
Mesh MakeBackWallModel(); // drawn at (0, -10, 400): the wall's face stands at z 880 in the world
Mesh MakeRimModel();      // drawn at (0, 10, 0): side rails just outside the bounce lines, near rail
Mesh MakeTubeModel();     // barrel around the origin, muzzle toward -z
Mesh MakeSpikeModel();    // cone: apex 9.5 above the origin, base 30 below
Mesh MakeRodModel();      // thin pole rising from the origin
Mesh MakeSuckerModel();   // cup under the origin whose rim sits on a ball 30 below it

}  // namespace assetgen
