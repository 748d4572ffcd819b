// Converted models under real GL: a textured cube from OBJ and from glTF shows its texture's
// quadrants, upright and unmirrored, where ProjectPoint puts the face; an animation's in-between
// pose draws between its two frames.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "tools/tool_files.h"
#include "fixtures.h"
#include "gfx2d/gl_fixture.h"
#include "support/bin_dir.h"
#include "support/picture_files.h"

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
    void Convert(const std::string& source, const std::string& out, const std::string& flags = "") {
        const std::string command = voxatest::BinDir() + "/voxamodel import " + source + " " + out + flags + " > /dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }
    static std::pair<int, int> Screen(double x, double y, double z) {
        double sx = -1, sy = -1, sz = -1;
        EXPECT_TRUE(ProjectPoint(x, y, z, sx, sy, sz));
        return {int(std::lround(sx)), int(std::lround(sy))};
    }
    static void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

    ScratchDir dir;
};

TEST_F(ConvertedModels, TexturedCubesShowTheirTextureWhereTheProjectionSays) {
    voxatest::WriteBytesTo(dir / "cube.png", fixtures::QuadrantPng());
    const std::string sources[] = {fixtures::CubeObj(dir.Path(), {}, "cube.png"), fixtures::CubeGltf(dir.Path(), {}, true)};
    for (const std::string& source : sources) {
        Clear();
        Convert(source, dir / "cube.ddd");
        DynString model((dir / "cube.ddd").c_str());
        ASSERT_TRUE(LoadObject(model, 20)) << source;
        ASSERT_EQ(LoadSprite(DynString((dir / "cube.bmp").c_str()), 21), 1.0);
        SetCullMode(-1);  // counter-clockwise faces, as the sources wind their outsides
        SetTexture(21, -1);
        DrawObject(20, 0);
        SetTexture(-1, -1);
        SetCullMode(0);
        // The face toward the camera (+z): the image's top-left quadrant at the face's top-left.
        const struct {
            double x, y;
            uint32_t colour;
        } quadrants[] = {{-0.5, 0.5, gltest::Rgb(255, 0, 0)},
                         {0.5, 0.5, gltest::Rgb(0, 255, 0)},
                         {-0.5, -0.5, gltest::Rgb(0, 0, 255)},
                         {0.5, -0.5, gltest::Rgb(255, 255, 0)}};
        for (const auto& q : quadrants) {
            const auto [sx, sy] = Screen(q.x, q.y, 1);
            EXPECT_EQ(Back(sx, sy), q.colour) << source << " at " << q.x << ", " << q.y;
        }
        const auto [left, top] = Screen(-1, 1, 1);
        const auto [right, bottom] = Screen(1, -1, 1);
        const std::vector<int> box = InkBox(BackFrame());
        EXPECT_NEAR(box[0], left, 2) << source;
        EXPECT_NEAR(box[1], top, 2) << source;
        EXPECT_NEAR(box[2], right, 2) << source;
        EXPECT_NEAR(box[3], bottom, 2) << source;
    }
}

TEST_F(ConvertedModels, AnInBetweenPoseDrawsBetweenItsTwoFrames) {
    Convert(fixtures::AnimatedGltf(dir.Path(), fixtures::Motion::node), dir / "moving.ddd", " --frames 2 --fps 1");
    DynString model((dir / "moving.ddd").c_str());
    ASSERT_TRUE(LoadObject(model, 22));
    const struct {
        double from, to, t, x;  // the pose t of the way from one frame to the other, and its centre
    } poses[] = {{0, 0, 0, 0}, {1, 1, 0, 4}, {0, 1, 0.5, 2}, {0, 1, 0.25, 1}};
    for (const auto& pose : poses) {
        Clear();
        DrawObjectAnim(22, pose.from, pose.to, 1 - pose.t, 0);
        // The cube of side 1 around (x, 0, 0): its eight corners bound what is drawn.
        std::vector<int> want = {640, 480, 0, 0};
        for (int corner = 0; corner < 8; ++corner) {
            const auto [sx, sy] = Screen(pose.x + (corner & 1 ? 0.5 : -0.5), corner & 2 ? 0.5 : -0.5, corner & 4 ? 0.5 : -0.5);
            want = {std::min(want[0], sx), std::min(want[1], sy), std::max(want[2], sx), std::max(want[3], sy)};
        }
        const std::vector<int> box = InkBox(BackFrame());
        for (int edge = 0; edge < 4; ++edge) EXPECT_NEAR(box[edge], want[edge], 2) << pose.t << " edge " << edge;
    }
}

} // namespace
