// Objects the rendering and query tests build in code: quads, cubes and a two-frame model.
#pragma once

#include <utility>

#include "gfx3d/objectstore.h"
#include "voxa/gfx3d.h"

namespace shapes {

struct P3 {
    double x, y, z;
};

// A quad of corners a, b, c, d, at texture coordinates (0, 0), (1, 0), (0, 1), (1, 1), as one
// strip; counter-clockwise a b c is the side it faces when clockwise is false.
inline void AddQuad(P3 a, P3 b, P3 c, P3 d, double colour = 0xFFFFFF, bool clockwise = true) {
    NewObjectStrip();
    if (clockwise) std::swap(b, c);
    const double u[4] = {0, clockwise ? 0.0 : 1.0, clockwise ? 1.0 : 0.0, 1};
    const double v[4] = {0, clockwise ? 1.0 : 0.0, clockwise ? 0.0 : 1.0, 1};
    const P3 p[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) AddObjectVertex(p[i].x, p[i].y, p[i].z, u[i], v[i], colour);
}

// Models face the side from which their triangles are wound clockwise (normals are computed
// that way); SetCullMode(1) shows that side.

// A square of side 2 * half in the plane z = z0, facing +z (facing -z when reversed).
inline void MakeQuad(int id, double half = 1, double z0 = 0, bool reversed = false, double cx = 0) {
    StartObject(id);
    AddQuad({cx - half, -half, z0}, {cx + half, -half, z0}, {cx - half, half, z0}, {cx + half, half, z0}, 0xFFFFFF,
            !reversed);
    EndObject();
}

// A floor in the plane y = 0, facing up.
inline void MakeFloor(int id, double half) {
    StartObject(id);
    AddQuad({-half, 0, half}, {half, 0, half}, {-half, 0, -half}, {half, 0, -half});
    EndObject();
}

// A closed cube with corners at at0 - h and at0 + h, every face facing outward.
inline void MakeCube(int id, double h = 1, double colour = 0xFFFFFF, P3 at0 = {0, 0, 0}) {
    StartObject(id);
    struct Face {
        P3 n, u, v;
    };
    const Face faces[6] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                           {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                           {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    for (const Face& f : faces) {
        auto at = [&](double su, double sv) {
            return P3{at0.x + h * (f.n.x + su * f.u.x + sv * f.v.x), at0.y + h * (f.n.y + su * f.u.y + sv * f.v.y),
                      at0.z + h * (f.n.z + su * f.u.z + sv * f.v.z)};
        };
        AddQuad(at(-1, -1), at(1, -1), at(-1, 1), at(1, 1), colour);
    }
    EndObject();
}

// Slot id gets two frames: a unit quad centred at x = x0 and the same at x = x1 (the spare slot
// is used to build the second frame and left empty).
inline void MakeTwoFrameQuad(int id, int spare, double x0, double x1) {
    MakeQuad(id, 1, 0, false, x0);
    MakeQuad(spare, 1, 0, false, x1);
    MeshObjectX& m = gRenderer3D.objects[id];
    MeshObjectX& other = gRenderer3D.objects[spare];
    m.frames.Append(std::move(other.frames[0]));
    other.ClearSlot(true);
    m.BuildDrawData();
    m.ComputeBounds();
}

} // namespace shapes
