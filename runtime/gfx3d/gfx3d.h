// 3D engine: model files, object store, scene state, rendering with shadows, queries.
#pragma once

#include "basics/dynstring.h"

// Model files and object slots (ids 0..4095; any other id is refused)
bool LoadObject(DynString& file, double id);    // .ddd file (binary or text) into slot id; file becomes the resolved path; 1 when the model has a frame 0 with items, 0 when not found (slot kept), unreadable (slot cleared, read errors logged) or id bad
bool SaveObject(const DynString& file, double id); // slot id in the binary encoding; 1 written, 0 when the file cannot be written or id is bad

// Building an object in code: one triangle strip after another, in one frame
void StartObject(double id);                     // empties slot id and starts building it; a bad id builds nothing
void AddObjectVertex(double x, double y, double z, double u, double v, double colour); // appends a vertex (colour R + G*256 + B*65536); nothing when no object is being built
void NewObjectStrip();                           // the following vertices start a new strip; nothing when no object is being built
void EndObject();                                // finishes it: normals, triangles, bounds; fewer than two vertices (or more than 255 colours) leave the slot empty
