// Converted models under real GL: a textured cube from OBJ and from glTF shows its texture's
// quadrants, upright and unmirrored, where ProjectPoint puts the face.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "gfx2d/gl_fixture.h"
#include "support/bin_dir.h"

namespace {

using ConvertedModels = gltest::GL;

TEST_F(ConvertedModels, TexturedCubesShowTheirTextureWhereTheProjectionSays) {
    const ScratchDir dir;
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    const uint32_t colours[4] = {gltest::Rgb(255, 0, 0), gltest::Rgb(0, 255, 0), gltest::Rgb(0, 0, 255),
                                 gltest::Rgb(255, 255, 0)};
    for (const std::string& source : {fixtures::CubeObj(dir.Path(), "cube.png"), fixtures::CubeGltf(dir.Path(), true)}) {
        SCOPED_TRACE(source);
        ASSERT_EQ(RunCommand(voxatest::BinDir() + "/voxamodel import " + source + " " + dir / "cube.ddd > /dev/null"), 0);
        DynString model((dir / "cube.ddd").c_str());
        ASSERT_TRUE(LoadObject(model, 20));
        ASSERT_EQ(LoadSprite(DynString((dir / "cube.bmp").c_str()), 21), 1.0);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Enter3DMode(1, 100, 45);
        SetCamera(0, 0, 10, 0, 0, 0);
        SetCullMode(-1);  // counter-clockwise faces, as the sources wind their outsides
        SetTexture(21, -1);
        DrawObject(20, 0);
        // The face toward the camera (+z): the image's top-left quadrant at the face's top-left.
        for (int q = 0; q < 4; ++q) {
            double sx = -1, sy = -1, sz = -1;
            ASSERT_TRUE(ProjectPoint(q % 2 ? 0.5 : -0.5, q < 2 ? 0.5 : -0.5, 1, sx, sy, sz));
            EXPECT_EQ(gltest::Back(int(std::lround(sx)), int(std::lround(sy))), colours[q]) << "quadrant " << q;
        }
        SetTexture(-1, -1);
        SetCullMode(0);
        Enter2DMode();
    }
}

} // namespace
