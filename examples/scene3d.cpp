// 3D objects with lights, fog and stencil shadows: the game's table and balls loaded from model
// files, lit by two point lights, fading into fog, casting shadows, labelled with ProjectPoint.
//
//   scene3d [ASSETS]   ASSETS: the folder with table.ddd, sphere.ddd and their bitmaps (default ../bin/)
//
// A frame draws the scene lit, then opens the shadow pass and draws the shadow casters again:
// they only mark their shadow volumes, and the shadowed pixels darken when the pass closes.
#include <cstdio>
#include <cstdlib>

#include "voxa/runtime.h"

constexpr double kWhite = 0xFFFFFF, kFog = 0x503020; // colours are 0xBBGGRR: the fog is dark blue
constexpr double kTable = 0, kBall = 1;              // object slots; the table's texture is 0, the balls' 1..3
constexpr double kLightX = 260, kLightY = 180, kLightZ = -420;
const double kBalls[3][2] = {{-120, -330}, {40, -180}, {170, -420}}; // x, z on the table

static bool Load(const DynString& assets, const char* model, double slot) {
    DynString file = assets + model; // LoadObject writes the resolved path back into its text
    return LoadObject(file, slot);
}

static void DrawBalls(int frame) {
    for (int i = 0; i < 3; ++i) {
        MoveObject(kBalls[i][0], 20, kBalls[i][1]);  // position first, rotations after it
        RotateObject(frame * (i + 1), 0, 1, 0);
        SetTexture(kBall + i, -1);
        DrawObject(kBall, 0);
    }
}

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "3D objects, lights, fog and shadows");
    // Headless runs: EXAMPLE_FRAMES=n stops after n frames, EXAMPLE_SCREENSHOT=file keeps the last.
    const char* frames = std::getenv("EXAMPLE_FRAMES");
    const char* shot = std::getenv("EXAMPLE_SCREENSHOT");
    const DynString assets = argc > 1 ? DynString(argv[1]) + "/" : DynString("../bin/");

    if (!Load(assets, "table.ddd", kTable) || !Load(assets, "sphere.ddd", kBall)) {
        std::printf("the models are not in %s\n", assets.CStr());
        End();
    }
    LoadSprite(assets + "table.bmp", kTable);
    LoadSprite(assets + "sphere.bmp", kBall);
    LoadSprite(assets + "sphere_1.bmp", kBall + 1);
    LoadSprite(assets + "sphere_2.bmp", kBall + 2);

    for (int frame = 1; !frames || frame <= std::atoi(frames); ++frame) {
        Enter3DMode(1, 2000, 45);                  // near and far planes, vertical field of view
        SetCamera(0, 220, -700, 0, 0, -250);       // eye, then the point it looks at
        double labels[3][2], depth;                // where a point above each ball shows on screen
        for (int i = 0; i < 3; ++i) ProjectPoint(kBalls[i][0], 45, kBalls[i][1], labels[i][0], labels[i][1], depth);
        SetFog(kFog, 0, 700, 1600);                // linear from 700 to 1600 units away
        SetCullMode(-1);                           // the models' front faces are counter-clockwise
        SetSpotLight(0, kWhite, kLightX, kLightY, kLightZ, 0, 0, 0, 360);   // cutoff > 90: a point light
        SetSpotLight(1, 0x1060C0, -500, 120, -600, 0, 0, 0, 360);          // a dim orange one
        MoveObject(0, 0, 0);
        SetTexture(kTable, -1);
        DrawObject(kTable, 0);
        DrawBalls(frame);

        // The shadow pass, from the white light's position: the casters are drawn once more.
        SetCullMode(1);                            // the volumes count clockwise faces as front faces
        SetSpotLight(-3, kWhite, kLightX, kLightY, kLightZ, 0, 0, 0, 1);
        DrawBalls(frame);
        Enter2DMode();                              // closes the pass: shadowed pixels darken

        const char* names[3] = {"ball", "striker", "target"}; // their parts in the game
        for (int i = 0; i < 3; ++i) PrintText(names[i], labels[i][0] - 18, labels[i][1] - 12);
        PrintText("two point lights, linear fog, stencil shadows", 10, 10);
        ShowScreen();
    }
    if (shot) SaveScreenshot(shot);
    End();
}
