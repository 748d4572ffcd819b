// The generated models: every triangle wound toward its normals and closed ones facing outward,
// the distances the game relies on finer than pixels show them, and each model file read back
// by the runtime's own loader as the generator's mesh, to within the file's position quantum.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "base/errors.h"
#include "gfx3d/objectstore.h"
#include "mesh.h"
#include "models.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "voxa/gfx3d.h"
#include "voxa/testing.h"

namespace {

using assetgen::Vec3;

const struct {
    const char* file;
    assetgen::Mesh (*make)();
    bool closed;
} kModels[] = {{"table.ddd", assetgen::MakeTableModel, false}, {"sphere.ddd", assetgen::MakeSphereModel, true},
               {"zeiger.ddd", assetgen::MakePointerModel, true}, {"back.ddd", assetgen::MakeBackWallModel, true},
               {"rand.ddd", assetgen::MakeRimModel, true},       {"tube3.ddd", assetgen::MakeTubeModel, true},
               {"peak.ddd", assetgen::MakeSpikeModel, true},     {"stab.ddd", assetgen::MakeRodModel, true},
               {"sauger.ddd", assetgen::MakeSuckerModel, true}};

// The least and greatest distance of a model's vertices from a point.
std::pair<double, double> Distances(const assetgen::Mesh& mesh, Vec3 from) {
    std::pair<double, double> d{1e9, 0};
    for (const assetgen::Vertex& v : mesh.Vertices()) {
        const double r = std::sqrt(Dot(v.pos - from, v.pos - from));
        d = {std::min(d.first, r), std::max(d.second, r)};
    }
    return d;
}

TEST(GeneratedModels, FacesPointOutwardAndLoadObjectReadsEachAsTheGeneratorsMesh) {
    const std::string log = voxatest::PrivateLogPath("asset_models");
    SetErrorLogPathForTesting(log.c_str());
    int slot = 100;
    for (const auto& m : kModels) {
        SCOPED_TRACE(m.file);
        const assetgen::Mesh mesh = m.make();
        const auto& want = mesh.Vertices();
        // Six times the enclosed volume: positive when a closed mesh's triangles face outward.
        double volume = 0;
        for (size_t i = 0; i < want.size(); i += 3) {
            const Vec3 face = Cross(want[i + 1].pos - want[i].pos, want[i + 2].pos - want[i].pos);
            for (int k = 0; k < 3; ++k) ASSERT_GT(Dot(face, want[i + k].normal), 0) << "triangle " << i / 3;
            volume += Dot(want[i].pos, Cross(want[i + 1].pos, want[i + 2].pos));
        }
        EXPECT_TRUE(!m.closed || volume > 0) << volume;

        DynString path((voxatest::BinDir() + "/" + m.file).c_str());
        ASSERT_TRUE(LoadObject(path, slot));
        const MeshObjectX& obj = *gRenderer3D.Slot(slot++);
        ASSERT_EQ(obj.frames.Count(), 1);
        EXPECT_EQ(obj.normalsValid, 1u);
        EXPECT_EQ(obj.hasColours, 0u);  // white: the texture shows as it is
        const ModelFrame& frame = obj.frames[0];
        ASSERT_GT(want.size(), 0u);
        ASSERT_EQ(frame.triangles.Count(), int32_t(want.size()));
        for (size_t i = 0; i < want.size(); ++i) {
            const VertexRecord& got = frame.triangles[int32_t(i)];
            const double p[3] = {want[i].pos.x, want[i].pos.y, want[i].pos.z};
            const double n[3] = {want[i].normal.x, want[i].normal.y, want[i].normal.z};
            double dot = 0;
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(got.position[c], p[c], frame.scale[c] * 1.01) << "vertex " << i;
                dot += got.normal[c] * n[c];
            }
            ASSERT_GT(dot, 0.95) << "vertex " << i;
            ASSERT_NEAR(got.tex[0], want[i].u, 1e-5);
            ASSERT_NEAR(got.tex[1], -want[i].v, 1e-5);  // stored v, drawn as -v
        }
    }
    EXPECT_TRUE(voxatest::ReadLogLines(log).empty());
    std::remove(log.c_str());

    // The table's surface (facing up, nothing above it) covers x -340..340, z -700..900; the
    // ball's radius is 20 and the resting striker clears its tube; the rails' inner faces stand
    // just beyond a ball at the bounce line (x +/-296); the sucker's cup touches the carried
    // ball (30 below the rod's origin).
    double top[5] = {1e9, -1e9, 1e9, -1e9, -1e9};  // x from, to, z from, to; greatest y
    const assetgen::Mesh table = assetgen::MakeTableModel(), rim = assetgen::MakeRimModel();
    for (const assetgen::Vertex& v : table.Vertices()) {
        if (v.normal.y == 1) top[0] = std::min(top[0], v.pos.x), top[1] = std::max(top[1], v.pos.x),
                          top[2] = std::min(top[2], v.pos.z), top[3] = std::max(top[3], v.pos.z);
        top[4] = std::max(top[4], v.pos.y);
    }
    EXPECT_EQ(std::vector<double>(top, top + 5), (std::vector<double>{-340, 340, -700, 900, 0}));
    const auto ball = Distances(assetgen::MakeSphereModel(), {0, 0, 0});
    EXPECT_NEAR(ball.first, 20, 1e-9);
    EXPECT_NEAR(ball.second, 20, 1e-9);
    EXPECT_GT(Distances(assetgen::MakeTubeModel(), {0, 0, 0}).first, 20);
    double innerMost = 1e9;
    for (const assetgen::Vertex& v : rim.Vertices())
        if (v.pos.z > -688) innerMost = std::min(innerMost, std::fabs(v.pos.x));
    EXPECT_TRUE(innerMost > 296 + 20 && innerMost < 296 + 20 + 5) << innerMost;
    const auto cup = Distances(assetgen::MakeSuckerModel(), {0, -30, 0});
    EXPECT_TRUE(cup.first >= 20 - 1e-6 && cup.first < 20.5) << cup.first;
}

}  // namespace
