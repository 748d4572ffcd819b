// A model built in code: a gem made of triangle strips with StartObject, AddObjectVertex and
// EndObject, saved as gem.ddd with SaveObject, loaded back into another slot with LoadObject.
//
//   model_code       (Escape quits)
//
// The built gem turns on the left, the loaded one on the right; a ray cast down onto each
// shows that the file keeps the shape.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kBuilt = 1, kLoaded = 2; // object slots
constexpr int kSides = 8;

// A point on a ring of the gem: side i of kSides at the given radius and height.
static void Vertex(int i, double radius, double y, double colour) {
    double a = i * 360.0 / kSides;
    AddObjectVertex(radius * Cos(a), y, radius * Sin(a), 0, 0, colour);
}

// A table (flat top), a crown down to the girdle, a pavilion down to the point. Each strip's
// triangles are (v0, v1, v2), (v1, v2, v3), ...; the point is repeated to close the pavilion.
static void BuildGem(double id) {
    const double rainbow[kSides] = {0x3030FF, 0x3090FF, 0x30FFFF, 0x30FF30, 0xFFFF30, 0xFF6030, 0xFF30A0, 0xA030FF};
    StartObject(id);
    const int order[kSides] = {0, 1, 7, 2, 6, 3, 5, 4}; // a zig-zag across the octagon
    for (int i : order) Vertex(i, 0.5, 0.6, 0xE0B080);
    NewObjectStrip();
    for (int i = 0; i <= kSides; ++i) {
        Vertex(i, 0.5, 0.6, 0xE0B080);
        Vertex(i, 1.0, 0.2, rainbow[i % kSides]);
    }
    NewObjectStrip();
    for (int i = 0; i <= kSides; ++i) {
        Vertex(i, 1.0, 0.2, rainbow[i % kSides]);
        AddObjectVertex(0, -1, 0, 0, 0, 0x402010);
    }
    EndObject(); // quantizes the positions, smooths the normals, builds the triangles and bounds
}

int main() {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "A model built in code");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    BuildGem(kBuilt);
    DynString file = "gem.ddd";
    if (!SaveObject(file, kBuilt) || !LoadObject(file, kLoaded)) {
        std::printf("could not save and load gem.ddd\n");
        End();
    }
    // Queries work on the model's triangles, drawn or not: a ray from 5 units above the middle,
    // straight down, meets the table at 0.6.
    for (double id : {kBuilt, kLoaded})
        std::printf("slot %g: the ray down meets the gem %.2f below its start\n", id, CollideRay(id, 0, 0, 5, 0, 0, -1, 0));
    std::fflush(stdout);

    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        Enter3DMode(0.5, 50, 45);
        SetCamera(0, 1.8, -5, 0, 0, 0);       // looking along +z: +x is on the left of the screen
        SetCullMode(0);                        // both sides of every triangle
        SetSpotLight(0, 0xC0C0C0, 0, 0, 0, -1, -2, 1, 180); // cutoff 180: directional, along (-1, -2, 1)
        SetCameraLight(1, 0x505050);           // and a dim one from the viewer
        SetTexture(-1, -1);                    // vertex colours only
        for (double id : {kBuilt, kLoaded}) {
            MoveObject(id == kBuilt ? 1.4 : -1.4, 0, 0);
            RotateObject(frame * 1.5, 0, 1, 0);
            RotateObject(-15, 1, 0, 0);  // the top tipped toward the viewer
            DrawObject(id, 0);
        }
        Enter2DMode();
        PrintText("built in code", 120, 380);
        PrintText("loaded from gem.ddd", 400, 380);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
