// Converted models under real GL: a textured cube from OBJ and from glTF shows its texture's
// quadrants, upright and unmirrored, where ProjectPoint puts the face; an animation's in-between
// pose draws between its two frames.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "gfx2d/gl_fixture.h"
#include "support/bin_dir.h"

namespace {

using gltest::Back;
using gltest::BackFrame;
using gltest::InkBox;

class ConvertedModels : public gltest::GL {
protected:
    void SetUp() override {
        GL::SetUp();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Enter3DMode(1, 100, 45);
        SetCamera(0, 0, 10, 0, 0, 0);
    }
    void TearDown() override { Enter2DMode(); }
    // Converts source with the model tool and loads the model into slot.
    static void Load(const std::string& source, const std::string& model, double slot, const std::string& flags = "") {
        ASSERT_EQ(RunCommand(voxatest::BinDir() + "/voxamodel import " + source + " " + model + flags + " > /dev/null"), 0);
        DynString file(model.c_str());
        ASSERT_TRUE(LoadObject(file, slot));
    }
    static std::pair<int, int> Screen(double x, double y, double z) {
        double sx = -1, sy = -1, sz = -1;
        EXPECT_TRUE(ProjectPoint(x, y, z, sx, sy, sz));
        return {int(std::lround(sx)), int(std::lround(sy))};
    }
    static void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
    // What is drawn spans the projections of the box x0..x1, y0..y1, z0..z1 to within 2 pixels.
    static void ExpectBox(double x0, double x1, double y0, double y1, double z0, double z1) {
        std::vector<int> want = {640, 480, 0, 0};
        for (int corner = 0; corner < 8; ++corner) {
            const auto [sx, sy] = Screen(corner & 1 ? x1 : x0, corner & 2 ? y1 : y0, corner & 4 ? z1 : z0);
            want = {std::min(want[0], sx), std::min(want[1], sy), std::max(want[2], sx), std::max(want[3], sy)};
        }
        const std::vector<int> box = InkBox(BackFrame());
        for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR(box[edge], want[edge], 2) << "edge " << edge;
    }

    ScratchDir dir;
};

TEST_F(ConvertedModels, TexturedCubesShowTheirTextureWhereTheProjectionSays) {
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    for (const std::string& source : {fixtures::CubeObj(dir.Path(), "cube.png"), fixtures::CubeGltf(dir.Path(), true)}) {
        SCOPED_TRACE(source);
        Clear();
        Load(source, dir / "cube.ddd", 20);
        ASSERT_EQ(LoadSprite(DynString((dir / "cube.bmp").c_str()), 21), 1.0);
        SetCullMode(-1);  // counter-clockwise faces, as the sources wind their outsides
        SetTexture(21, -1);
        DrawObject(20, 0);
        SetTexture(-1, -1);
        SetCullMode(0);
        // The face toward the camera (+z): the image's top-left quadrant at the face's top-left.
        const uint32_t colours[4] = {gltest::Rgb(255, 0, 0), gltest::Rgb(0, 255, 0), gltest::Rgb(0, 0, 255), gltest::Rgb(255, 255, 0)};
        for (int q = 0; q < 4; ++q) {
            const auto [sx, sy] = Screen(q % 2 ? 0.5 : -0.5, q < 2 ? 0.5 : -0.5, 1);
            EXPECT_EQ(Back(sx, sy), colours[q]) << "quadrant " << q;
        }
        ExpectBox(-1, 1, 1, -1, 1, 1);
    }
}

TEST_F(ConvertedModels, AnInBetweenPoseDrawsBetweenItsTwoFrames) {
    Load(fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node), dir / "moving.ddd", 22, " --frames 2 --fps 1");
    const struct {
        double from, to, t, x;  // the pose t of the way from one frame to the other, and its centre
    } poses[] = {{0, 0, 0, 0}, {1, 1, 0, 4}, {0, 1, 0.5, 2}, {0, 1, 0.25, 1}};
    for (const auto& pose : poses) {
        SCOPED_TRACE(pose.t);
        Clear();
        DrawObjectAnim(22, pose.from, pose.to, 1 - pose.t, 0);
        ExpectBox(pose.x - 0.5, pose.x + 0.5, 0.5, -0.5, 0.5, -0.5);  // the cube of side 1 around (x, 0, 0)
    }
}

} // namespace
