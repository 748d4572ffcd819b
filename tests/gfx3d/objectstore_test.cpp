// The object store: building objects in code, refused slot ids, GL names released with the
// slot, and the renderer's destructor.
#include <cmath>
#include <memory>
#include <vector>

#include "fixtures.h"
#include "voxa/gfx3d.h"
#include "window/state.h"

namespace {

// Builds slot id from strips of the given vertex counts, vertex i of a strip at (i % 2, i / 2).
void Build(double id, const std::vector<int>& strips) {
    StartObject(id);
    for (size_t s = 0; s < strips.size(); ++s) {
        if (s > 0) NewObjectStrip();
        for (int i = 0; i < strips[s]; ++i) AddObjectVertex(5.0 * double(s) + i % 2, i / 2, 0, i % 2, i / 2, 0xFFFFFF);
    }
    EndObject();
}

TEST(ProceduralTest, FourVerticesMakeTwoTrianglesFacingOneWay) {
    StartObject(5);
    for (int i = 0; i < 4; ++i) AddObjectVertex(i % 2, i / 2, 0, i % 2, i / 2, i < 2 ? 0xFFFFFF : 0x00FF00);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[5];
    ASSERT_EQ(m.frames[0].items.Count(), 5);
    ASSERT_EQ(m.workVertices.Count(), 6);
    EXPECT_FLOAT_EQ(m.workVertices[2].colour[1], 1.0f); // the colour argument, green
    EXPECT_FLOAT_EQ(m.workVertices[2].colour[0], 0.0f);
    // Both triangles face the same way, so every vertex gets the plane's normal.
    for (int i = 1; i < 5; ++i) EXPECT_GT(std::fabs(NormalTable[3 * m.frames[0].items[i].normal + 2]), 0.99f) << i;
}

TEST(ProceduralTest, StripsTrianglesAndRefusedCommands) {
    const struct {
        std::vector<int> strips;
        int frames, items, triangleRecords;
    } cases[] = {{{4}, 1, 5, 6}, {{1}, 0, 0, 0} /* clears the slot */, {{2}, 1, 3, 0}, {{3, 4}, 1, 9, 9}, {{4}, 1, 5, 6}};
    for (const auto& c : cases) {
        Build(6, c.strips);
        const MeshObjectX& m = gRenderer3D.objects[6];
        ASSERT_EQ(m.frames.Count(), c.frames) << c.strips.size() << " " << c.strips[0];
        if (c.frames == 0) continue;
        EXPECT_EQ(m.frames[0].items.Count(), c.items) << c.strips[0];
        EXPECT_EQ(m.frames[0].triangles.Count(), c.triangleRecords) << c.strips[0];
    }
    // With nothing being built the commands do nothing.
    AddObjectVertex(9, 9, 9, 0, 0, 0);
    NewObjectStrip();
    EndObject();
    EXPECT_EQ(gRenderer3D.objects[6].frames[0].items.Count(), 5);
    EXPECT_EQ(gRenderer3D.objects[6].frames[0].records.Count(), 0);
    // A bad id is refused, and ends an object that was being built rather than adding to it.
    for (double id : {-1.0, 4096.0, 1e12, std::nan("")}) {
        StartObject(9);
        AddObjectVertex(0, 0, 0, 0, 0, 0);
        StartObject(id);
        AddObjectVertex(1, 0, 0, 0, 0, 0);
        EXPECT_EQ(gRenderer3D.buildingObject, -1) << id;
        EXPECT_EQ(gRenderer3D.objects[9].frames[0].records.Count(), 2) << id; // the marker and one vertex
    }
    StartObject(4095.7);
    EXPECT_EQ(gRenderer3D.buildingObject, 4095);
    EndObject();
    // 255 colours and the strip marker fill the 8-bit colour index; one more leaves no model.
    for (int colours : {255, 256}) {
        StartObject(10);
        for (int c = 0; c < colours; ++c) AddObjectVertex(c, c % 2, 0, 0, 0, c);
        EndObject();
        EXPECT_EQ(gRenderer3D.objects[10].frames.Count(), colours == 255 ? 1 : 0) << colours;
    }
}

std::vector<GLuint> gDeleted;
void APIENTRY RecordDelete(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) gDeleted.push_back(names[i]);
}

class GpuNamesTest : public ModelDirTest {
protected:
    void SetUp() override {
        ModelDirTest::SetUp();
        saved_ = gWindow.gl.deleteBuffers;
        gDeleted.clear();
    }
    void TearDown() override {
        gWindow.gl.deleteBuffers = saved_;
        ModelDirTest::TearDown();
    }
    PFNGLDELETEBUFFERSARBPROC saved_ = nullptr;
};

TEST_F(GpuNamesTest, LoadingStartingAndDestroyingReleaseTheOldBuffersAndEdges) {
    MeshObjectX& m = gRenderer3D.objects[11];
    m.staticBuffer = 4; // without the entry point the names are only forgotten
    gWindow.gl.deleteBuffers = nullptr;
    m.ReleaseGpu();
    EXPECT_EQ(m.staticBuffer, 0u);
    gWindow.gl.deleteBuffers = RecordDelete;
    Build(11, {4});
    m.BuildEdges();
    EXPECT_EQ(m.edges.Count(), 6);
    m.staticBuffer = 21;
    DynString name(Write("s.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 11));
    EXPECT_EQ(m.staticBuffer, 0u);
    EXPECT_EQ(m.edges.Count(), 0);
    m.BuildEdges();
    m.streamBuffer = 22;
    StartObject(11);
    EXPECT_EQ(m.edges.Count(), 0);
    EndObject();
    EXPECT_EQ(gDeleted, (std::vector<GLuint>{21, 22}));
    gDeleted.clear();
    auto renderer = std::make_unique<Zovovezi3D>();
    for (int i : {0, 1, 4095}) renderer->objects[i].staticBuffer = GLuint(100 + i);
    EXPECT_EQ(renderer->Slot(4096), nullptr);
    renderer.reset();
    EXPECT_EQ(gDeleted, (std::vector<GLuint>{4195, 101, 100}));
}

TEST_F(GpuNamesTest, LoadingTheSlotBeingBuiltEndsTheBuild) {
    StartObject(12);
    AddObjectVertex(0, 0, 0, 0, 0, 0);
    DynString name(Write("s.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 12));
    EXPECT_EQ(gRenderer3D.buildingObject, -1);
    for (int i = 0; i < 4; ++i) AddObjectVertex(i, 0, 0, 0, 0, 0);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[12];
    ASSERT_EQ(m.frames.Count(), 2);
    EXPECT_EQ(m.frames[0].items.Count(), 5);
    EXPECT_EQ(m.frames[0].records.Count(), 0);
}

using FinishModelTest = ModelDirTest;

TEST_F(FinishModelTest, ToolBuiltTriangleListsInTwoFramesSaveAndLoadBack) {
    MeshObjectX m;
    for (int f = 0; f < 2; ++f) {
        ModelFrame* frame = m.frames.Append(ModelFrame());
        frame->records.Append(MarkerRecord(kTrianglesMarker));
        // Two separate triangles, lifted by f in the second frame.
        const float tri[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}};
        for (const auto& p : tri) frame->records.Append(MakeRecord(p[0], p[1], float(f), p[0], p[1], 0x804020));
    }
    ASSERT_TRUE(FinishModel(m, false));
    EXPECT_FLOAT_EQ(m.frames[1].centre[2], 1.0f);
    ASSERT_EQ(m.WriteModel(Path("tool.ddd").c_str()), 1);
    DynString name(Path("tool.ddd").c_str());
    ASSERT_TRUE(LoadObject(name, 13));
    MeshObjectX& loaded = gRenderer3D.objects[13];
    ASSERT_EQ(loaded.frames.Count(), 2);
    EXPECT_EQ(loaded.frames[0].triangles.Count(), 6);
    EXPECT_EQ(loaded.hasColours, 1u);
    EXPECT_GT(std::fabs(NormalTable[3 * loaded.frames[0].items[1].normal + 2]), 0.99f); // kept from the tool
}

} // namespace
