// Shows a model converted by voxamodel from a modelling program's file: LoadObject reads the
// .ddd file, LoadSprite its texture beside it, and DrawObjectAnim turns and animates it.
//
//   voxamodel import robot.gltf robot.ddd --center --scale 0.02
//   imported_model robot.ddd [--frames-in-model N] [--distance D]
//
// --frames-in-model: how many frames voxamodel wrote (it prints it), to play them in a loop.
// --distance: the camera's distance from the origin (default 5; a model of about 2 units fits).
// Escape or closing the window ends the program.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "voxa/runtime.h"

namespace {

struct Options {
    std::string model;
    double framesInModel = 1;
    double distance = 5;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (std::strcmp(argv[i], "--frames-in-model") == 0 && value) {
            o.framesInModel = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--distance") == 0 && value) {
            o.distance = std::atof(argv[++i]);
        } else if (argv[i][0] != '-' && o.model.empty()) {
            o.model = argv[i];
        } else {
            return false;
        }
    }
    return !o.model.empty() && o.framesInModel >= 1 && o.distance > 0;
}

// The runtime works in the program's own directory, so names given relative to where the user
// started it are made absolute first.
std::string Absolute(const std::string& path) {
    char dir[4096];
    if (path.empty() || path[0] == '/' || getcwd(dir, sizeof dir) == nullptr) return path;
    return std::string(dir) + "/" + path;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: imported_model MODEL.ddd [--frames-in-model N] [--distance D]\n");
        return 2;
    }
    o.model = Absolute(o.model);
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(argc, argv, "", nullptr, "imported model");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");

    DynString model(o.model.c_str());
    if (!LoadObject(model, 1)) {
        std::fprintf(stderr, "imported_model: %s is not a model LoadObject reads\n", o.model.c_str());
        return 1;
    }
    // voxamodel writes the texture beside the model, under the same name ending in .bmp.
    std::string texture = o.model.substr(0, o.model.rfind('.')) + ".bmp";
    const bool textured = LoadSprite(DynString(texture.c_str()), 1) == 1;

    for (double frame = 0; !frames || frame < std::atoi(frames); ++frame) {
        Enter3DMode(0.1, 1000, 45);
        SetCamera(0, o.distance * 0.3, o.distance, 0, 0, 0);
        SetCullMode(-1);  // sources wind their faces counter-clockwise seen from outside
        SetSpotLight(0, 0xFFFFFF, 0, 0, 0, -0.3, -0.4, -1, 180);  // white, from behind the viewer
        SetTexture(textured ? 1 : -1, -1);
        RotateObject(frame * 0.5, 0, 1, 0);
        // Ten model frames a second, blended between neighbours for a smooth loop.
        const double time = frame / 6.0;
        const double from = double(int(time) % int(o.framesInModel));
        const double to = from + 1 < o.framesInModel ? from + 1 : 0;
        DrawObjectAnim(1, from, to, 1 - (time - int(time)), 0);
        Enter2DMode();
        PrintText(DynString(textured ? "textured model" : "model without texture"), 8, 8);
        ShowScreen();
    }
    if (shot) SaveScreenshot(DynString(shot));  // the last frame shown
    End();
}
