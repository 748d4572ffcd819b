// The generated model files read back by the runtime's own loader: every model loads, and what
// it draws is the generator's mesh to within the file's position quantum, with its normals and
// texture coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/errors.h"
#include "gfx3d/objectstore.h"
#include "mesh.h"
#include "models.h"
#include "support/bin_dir.h"
#include "support/errorlog_lines.h"
#include "voxa/gfx3d.h"
#include "voxa/testing.h"

namespace {

using voxatest::BinDir;

struct ModelFile {
    const char* file;
    assetgen::Mesh (*make)();
};

const ModelFile kModels[] = {
    {"table.ddd", assetgen::MakeTableModel}, {"sphere.ddd", assetgen::MakeSphereModel},
    {"zeiger.ddd", assetgen::MakePointerModel}, {"back.ddd", assetgen::MakeBackWallModel},
    {"rand.ddd", assetgen::MakeRimModel},    {"tube3.ddd", assetgen::MakeTubeModel},
    {"peak.ddd", assetgen::MakeSpikeModel},  {"stab.ddd", assetgen::MakeRodModel},
    {"sauger.ddd", assetgen::MakeSuckerModel}};

TEST(GeneratedModels, LoadObjectReadsEachAsTheGeneratorsMesh) {
    const std::string log = voxatest::PrivateLogPath("asset_models");
    SetErrorLogPathForTesting(log.c_str());
    int slot = 100;
    for (const ModelFile& m : kModels) {
        DynString name((BinDir() + "/" + m.file).c_str());
        ASSERT_TRUE(LoadObject(name, slot)) << m.file;
        const MeshObjectX& obj = *gRenderer3D.Slot(slot);
        ASSERT_EQ(obj.frames.Count(), 1) << m.file;
        EXPECT_EQ(obj.normalsValid, 1u) << m.file;
        EXPECT_EQ(obj.hasColours, 0u) << m.file;  // white: the texture shows as it is
        const ModelFrame& frame = obj.frames[0];
        const assetgen::Mesh mesh = m.make();
        const auto& want = mesh.Vertices();
        ASSERT_EQ(frame.triangles.Count(), static_cast<int32_t>(want.size())) << m.file;
        for (size_t i = 0; i < want.size(); ++i) {
            const VertexRecord& got = frame.triangles[static_cast<int32_t>(i)];
            const double p[3] = {want[i].pos.x, want[i].pos.y, want[i].pos.z};
            const double n[3] = {want[i].normal.x, want[i].normal.y, want[i].normal.z};
            double dot = 0;
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(got.position[c], p[c], frame.scale[c] * 1.01) << m.file << " vertex " << i;
                dot += got.normal[c] * n[c];
            }
            ASSERT_GT(dot, 0.95) << m.file << " vertex " << i;
            ASSERT_NEAR(got.tex[0], want[i].u, 1e-5) << m.file;
            ASSERT_NEAR(got.tex[1], -want[i].v, 1e-5) << m.file;  // stored v, drawn as -v
        }
        EXPECT_GT(frame.radius, 0) << m.file;
        ++slot;
    }
    EXPECT_TRUE(voxatest::ReadLogLines(log).empty());
    std::remove(log.c_str());
}

}  // namespace
