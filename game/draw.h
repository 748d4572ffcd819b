// The drawing sequence every game object uses: texture offset, position, scale and rotations,
// then the object's own texture (no bump texture) and the object itself.
#pragma once

#include "voxa/runtime.h"

struct Rotation {
    double angle, ax, ay, az;
};

inline void PlaceObject(double x, double y, double z) {
    SetTextureOffset(0, 0);
    MoveObject(x, y, z);
}

inline void DrawTextured(double object) {
    SetTexture(object, -1);
    DrawObject(object, 0);
}

// Object n at (x, y, z) with scale 1 and the given rotations, in order.
inline void DrawAt(double object, double x, double y, double z, std::initializer_list<Rotation> rotations) {
    PlaceObject(x, y, z);
    ScaleObject(1, 1, 1);
    for (const Rotation& r : rotations) RotateObject(r.angle, r.ax, r.ay, r.az);
    DrawTextured(object);
}
