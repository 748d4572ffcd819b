// Objects the rendering and query tests build in code: quads, cubes and a two-frame model.
#pragma once

#include <utility>

#include "gfx3d/gfx3d.h"
#include "gfx3d/objectstore.h"

namespace shapes {

struct P3 {
    double x, y, z;
};

// One strip of four vertices a, b, c, d: triangles (a b c) and (c b d), both wound like a b c.
inline void AddQuad(P3 a, P3 b, P3 c, P3 d, double colour = 0xFFFFFF) {
    NewObjectStrip();
    AddObjectVertex(a.x, a.y, a.z, 0, 0, colour);
    AddObjectVertex(b.x, b.y, b.z, 1, 0, colour);
    AddObjectVertex(c.x, c.y, c.z, 0, 1, colour);
    AddObjectVertex(d.x, d.y, d.z, 1, 1, colour);
}

// A square of side 2 * half in the plane z = z0, counter-clockwise seen from +z (clockwise when
// reversed).
inline void MakeQuad(int id, double half = 1, double z0 = 0, bool reversed = false, double cx = 0) {
    StartObject(id);
    if (!reversed) AddQuad({cx - half, -half, z0}, {cx + half, -half, z0}, {cx - half, half, z0}, {cx + half, half, z0});
    else AddQuad({cx - half, -half, z0}, {cx - half, half, z0}, {cx + half, -half, z0}, {cx + half, half, z0});
    EndObject();
}

// A floor in the plane y = 0, counter-clockwise seen from above.
inline void MakeFloor(int id, double half) {
    StartObject(id);
    AddQuad({-half, 0, half}, {half, 0, half}, {-half, 0, -half}, {half, 0, -half});
    EndObject();
}

// A closed cube with corners at -h and +h, every face counter-clockwise seen from outside.
inline void MakeCube(int id, double h = 1, double colour = 0xFFFFFF) {
    StartObject(id);
    struct Face {
        P3 n, u, v;
    };
    const Face faces[6] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                           {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                           {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    for (const Face& f : faces) {
        auto at = [&](double su, double sv) {
            return P3{h * (f.n.x + su * f.u.x + sv * f.v.x), h * (f.n.y + su * f.u.y + sv * f.v.y),
                      h * (f.n.z + su * f.u.z + sv * f.v.z)};
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
