// The GL side of the 3D scene state and of the debug markers. With render.cpp (objects) and
// shadows.cpp (shadow volumes and the pass), glscene.cpp holds every GL call of gfx3d; the
// scene commands keep their own state and call these only while GlReady().
#pragma once

#include <cstdint>

#include "gfx3d/scene.h"

namespace scene3d {

// Enter3DMode's GL state: viewport, projection, identity modelview, no texture, depth test,
// culling, alpha test, smooth shading and the rest of the default 3D state.
void Load3DState(const int32_t viewport[4], const Mat4& projection);
void LoadModelview(const Mat4& modelview);          // replaces GL's modelview
void PushModelview(const float m[16]);              // pushes the modelview and loads m
void PopModelview();
// GL's viewport, projection and modelview as they are now.
void ReadGlTransforms(int32_t viewport[4], Mat4& projection, Mat4& modelview);
void SetGlCulling(int mode);                        // 0 off, 1 clockwise front faces, -1 counter-clockwise; others nothing

// A GL light as SetSpotLight places it.
struct GlLight {
    int index = 0;                      // GL light 0..7
    float diffuse[4] = {0, 0, 0, 1};    // the light's colour
    float position[4] = {0, 0, 1, 0};   // w 0: a direction towards the light
    bool fromViewer = false;            // position set under an identity modelview
    bool specular = false;              // specular = diffuse, else black
    float cutoff = 180;                 // spot cut-off in degrees; 180: no spot
    float direction[3] = {0, 0, -1};    // spot direction, set when cutoff is not 180
};
void SetGlLight(const GlLight& light);             // lighting, the light and colour material on
void SwitchGlLightOff(int index, bool lastLight);  // lastLight: lighting off too
void SetGlFog(bool exponential, float startOrDensity, float end, const float rgb[3]);
void SwitchGlFogOff();

// Markers in the modelview's space, smoothed, in a colour integer; size and width in pixels.
void DrawPointMarker(Vec3 p, double size, double colour);
void DrawLineMarker(Vec3 a, Vec3 b, double width, double colour);
void DrawAxesArrows(float x, float y, float z);    // red x, green y, blue z, 20 units, in world space

} // namespace scene3d
