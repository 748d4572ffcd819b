// 3D engine: model files, object store, scene state, rendering with shadows, queries.
#pragma once

#include "voxa/dynstring.h"

// Model files and object slots (ids 0..4095; any other id is refused)
bool LoadObject(DynString& file, double id);    // .ddd file (binary or text) into slot id; file becomes the resolved path; 1 when the model has a frame 0 with items, 0 when not found (slot kept), unreadable (slot cleared, read errors logged) or id bad
bool SaveObject(const DynString& file, double id); // slot id in the binary encoding; 1 written, 0 when the file cannot be written or id is bad

// Building an object in code: one triangle strip after another, in one frame
void StartObject(double id);                     // empties slot id and starts building it; a bad id builds nothing
void AddObjectVertex(double x, double y, double z, double u, double v, double colour); // appends a vertex (colour R + G*256 + B*65536); nothing when no object is being built
void NewObjectStrip();                           // the following vertices start a new strip; nothing when no object is being built
void EndObject();                                // finishes it: normals, triangles, bounds; fewer than two vertices (or more than 255 colours) leave the slot empty

// Scene state: projection, camera, transform stack, culling, lights and fog. Without a window
// every command still updates its own state (camera, transform stack, modes) and makes no GL call.
void Enter3DMode(double near, double far, double fov);  // perspective with fov degrees (vertical), orthographic when fov <= 0; closes a shadow pass
void Enter2DMode();                                      // closes a shadow pass, back to the whole-screen 2D state
void SetCamera(double x, double y, double z, double tx, double ty, double tz); // eye and target; resets the transform stack
void SetCameraUp(double x, double y, double z);          // up vector for the next SetCamera; Enter3DMode resets it to (0, 1, 0)
void MoveObject(double x, double y, double z);           // translation of the current transform level; drops its rotations
void ScaleObject(double x, double y, double z);          // scale of the current level; drops its rotations
void RotateObject(double angle, double x, double y, double z); // adds a rotation (degrees about the axis) to the current level; at most 16
void PushTransform();                                    // a new identity level on top (levels 0..15; a 17th push is refused)
void PopTransform();                                     // back to the level below; nothing at level 0
void SetCullMode(double mode);                           // 1 clockwise faces shown, -1 counter-clockwise, 0 both
void SetSpotLight(double id, double colour, double x, double y, double z, double dx, double dy, double dz, double cutoff); // light id mod 8 (cutoff 0 off, 180 directional, > 90 point, else spot); id -1 bump, -3 shadow pass, other negative ids toon
void SetCameraLight(double id, double colour);           // a light shining from the viewer
void SetFog(double colour, double mode, double start, double end); // colour -1 off; mode 0 linear start..end (0, 0: near..far), else exponential with density start
void ClearDepthBuffer();                                 // clears the depth buffer

// Drawing objects (slot ids 0..4095; bad ids, frames out of range and empty slots draw nothing)
void DrawObject(double id, double frame);                // frame of the object with the transform stack, texture and lights
void DrawObjectAnim(double id, double fromFrame, double toFrame, double t, double interpolate); // pose t of the way from one frame to another (interpolate 0: frame from blended with to by t)
void SetTexture(double texture, double bumpTexture);     // texture ids for the next draws; -1 untextured, second id -1 for none
void SetTextureOffset(double u, double v);               // added to texture coordinates on every draw (not accumulated)
void DrawSprite3D(double id, double x, double y, double z, double scale); // camera-facing sprite standing at (x, y, z)
void PrintText3D(const DynString& text, double x, double y, double z, double size); // text of the current font at (x, y, z)

// Queries about an object placed by the transform stack (no GL needed), projection and markers
double CollideSphere(double id, double frame, double radius, double x, double y, double z); // 1 when the sphere meets a triangle, else 0
double CollideBox(double id, double frame, double x, double y, double z, double width, double height); // 1 when the box (half-extents width/2, height/2, width/2) meets a triangle, else 0
double CollideRay(double id, double frame, double x, double y, double z, double dx, double dy, double dz); // distance to the nearest hit in front, else minus that behind, 0 when none
bool ProjectPoint(double x, double y, double z, double& sx, double& sy, double& sz); // world to pixels from the top-left and depth 0..1; false (outputs kept) when w is 0
bool UnprojectPoint(double sx, double sy, double sz, double& x, double& y, double& z); // screen point and depth to world; false when it cannot be inverted
void DrawDot3D(double x, double y, double z, double size, double colour);  // point, size 1..512 pixels
void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double width, double colour); // line, width 1..512 pixels
void DrawAxes(double x, double y, double z);             // red, green and blue arrows 20 units long along x, y and z
