// The object store: building objects in code, refused slot ids, GL names released with the
// slot, and the renderer's destructor.
#include <cmath>
#include <memory>
#include <vector>

#include "fixtures.h"
#include "voxa/gfx3d.h"
#include "window/state.h"

namespace {

// Signed area (z of the cross product) of a triangle in the xy plane.
float Winding(const VertexRecord* t) {
    return (t[1].position[0] - t[0].position[0]) * (t[2].position[1] - t[0].position[1]) -
           (t[2].position[0] - t[0].position[0]) * (t[1].position[1] - t[0].position[1]);
}

TEST(ProceduralTest, FourVerticesMakeTwoTrianglesOfOneWinding) {
    StartObject(5);
    EXPECT_EQ(gRenderer3D.buildingObject, 5);
    AddObjectVertex(0, 0, 0, 0, 0, 0xFFFFFF);
    AddObjectVertex(1, 0, 0, 1, 0, 0xFFFFFF);
    AddObjectVertex(0, 1, 0, 0, 1, 0x00FF00);
    AddObjectVertex(1, 1, 0, 1, 1, 0x00FF00);
    EndObject();
    EXPECT_EQ(gRenderer3D.buildingObject, -1);
    MeshObjectX& m = gRenderer3D.objects[5];
    ASSERT_EQ(m.frames.Count(), 1);
    ASSERT_EQ(m.frames[0].items.Count(), 5);
    EXPECT_EQ(m.ItemValue(m.frames[0].items[0]), kStripMarker);
    ASSERT_EQ(m.frames[0].triangles.Count(), 6);
    EXPECT_EQ(m.workVertices.Count(), 6);
    const VertexRecord* t = m.frames[0].triangles.Data();
    EXPECT_NE(Winding(t), 0.0f);
    EXPECT_GT(Winding(t) * Winding(t + 3), 0.0f);
    EXPECT_EQ(m.normalsValid, 1u);
    EXPECT_EQ(m.hasColours, 1u);
    EXPECT_FLOAT_EQ(m.workVertices[2].colour[1], 1.0f);
    EXPECT_FLOAT_EQ(m.workVertices[2].colour[0], 0.0f);
    EXPECT_NEAR(m.frames[0].centre[0], 0.5f, 1.0f / 255);
    // Both triangles face the same way, so every vertex gets the plane's normal.
    const float* n = NormalTable + 3 * m.frames[0].items[1].normal;
    EXPECT_GT(std::fabs(n[2]), 0.99f);
}

TEST(ProceduralTest, OneVertexClearsTheSlotAndTwoMakeNoTriangles) {
    StartObject(6);
    AddObjectVertex(0, 0, 0, 0, 0, 0);
    EndObject();
    EXPECT_EQ(gRenderer3D.buildingObject, -1);
    EXPECT_EQ(gRenderer3D.objects[6].frames.Count(), 0);
    StartObject(6);
    AddObjectVertex(0, 0, 0, 0, 0, 0);
    AddObjectVertex(1, 0, 0, 0, 0, 0);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[6];
    ASSERT_EQ(m.frames.Count(), 1);
    EXPECT_EQ(m.frames[0].items.Count(), 3);
    EXPECT_EQ(m.frames[0].triangles.Count(), 0);
}

TEST(ProceduralTest, NewStripStartsAFreshStrip) {
    StartObject(7);
    for (int i = 0; i < 3; ++i) AddObjectVertex(i % 2, i / 2, 0, 0, 0, 0xFFFFFF);
    NewObjectStrip();
    for (int i = 0; i < 4; ++i) AddObjectVertex(5 + i % 2, i / 2, 0, 0, 0, 0xFFFFFF);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[7];
    EXPECT_EQ(m.frames[0].items.Count(), 9);
    EXPECT_EQ(m.frames[0].triangles.Count(), 9);
}

TEST(ProceduralTest, CommandsWithNothingBeingBuiltDoNothing) {
    StartObject(8);
    for (int i = 0; i < 4; ++i) AddObjectVertex(i % 2, i / 2, 0, 0, 0, 0xFFFFFF);
    EndObject();
    AddObjectVertex(9, 9, 9, 0, 0, 0);
    NewObjectStrip();
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[8];
    EXPECT_EQ(m.frames[0].items.Count(), 5);
    EXPECT_EQ(m.frames[0].records.Count(), 0);
    EXPECT_EQ(m.frames[0].triangles.Count(), 6);
}

TEST(ProceduralTest, BadSlotIdsBuildNothing) {
    for (double id : {-1.0, 4096.0, 1e12, std::nan("")}) {
        StartObject(id);
        EXPECT_EQ(gRenderer3D.buildingObject, -1) << id;
        AddObjectVertex(0, 0, 0, 0, 0, 0);
        EndObject();
    }
    // A bad id also ends an object that was being built, rather than adding to it.
    StartObject(9);
    AddObjectVertex(0, 0, 0, 0, 0, 0);
    StartObject(-3);
    AddObjectVertex(1, 0, 0, 0, 0, 0);
    EXPECT_EQ(gRenderer3D.objects[9].frames[0].records.Count(), 2);
    StartObject(4095.7);
    EXPECT_EQ(gRenderer3D.buildingObject, 4095);
    EndObject();
}

TEST(ProceduralTest, MoreColoursThanTheIndexAddressesLeaveAnEmptySlot) {
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

TEST_F(GpuNamesTest, ReleaseDeletesBuffersOnlyWhenTheEntryPointExists) {
    MeshObjectX m;
    m.staticBuffer = 4;
    m.streamBuffer = 5;
    gWindow.gl.deleteBuffers = nullptr;
    m.ReleaseGpu();
    EXPECT_EQ(m.staticBuffer, 0u);
    EXPECT_EQ(m.streamBuffer, 0u);
    m.staticBuffer = 4;
    m.streamBuffer = 0;
    gWindow.gl.deleteBuffers = RecordDelete;
    m.ReleaseGpu();
    EXPECT_EQ(gDeleted, std::vector<GLuint>{4});
}

TEST_F(GpuNamesTest, LoadingAndStartingAnObjectReleaseTheOldBuffersAndEdges) {
    gWindow.gl.deleteBuffers = RecordDelete;
    MeshObjectX& m = gRenderer3D.objects[11];
    StartObject(11);
    for (int i = 0; i < 4; ++i) AddObjectVertex(i % 2, i / 2, 0, 0, 0, 0xFFFFFF);
    EndObject();
    m.BuildEdges();
    EXPECT_EQ(m.edges.Count(), 6);
    m.staticBuffer = 21;
    DynString name(Write("s.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 11));
    EXPECT_EQ(m.staticBuffer, 0u);
    EXPECT_EQ(m.edges.Count(), 0);
    m.BuildEdges();
    EXPECT_EQ(m.edges.Count(), 6);
    m.streamBuffer = 22;
    StartObject(11);
    EXPECT_EQ(m.edges.Count(), 0);
    for (int i = 0; i < 6; ++i) AddObjectVertex(i % 2, i / 2, 0, 0, 0, 0xFFFFFF);
    EndObject();
    m.BuildEdges();
    EXPECT_EQ(m.edges.Count(), 12);
    EXPECT_EQ(gDeleted, (std::vector<GLuint>{21, 22}));
}

TEST_F(GpuNamesTest, DestructorReleasesSlotsFromLastToFirst) {
    gWindow.gl.deleteBuffers = RecordDelete;
    auto renderer = std::make_unique<Zovovezi3D>();
    for (int i : {0, 1, 4095}) {
        renderer->objects[i].staticBuffer = GLuint(100 + i);
        renderer->objects[i].frames.Append(ModelFrame());
    }
    EXPECT_EQ(renderer->normalSmoothing, 2);
    EXPECT_EQ(renderer->currentLevel, 0);
    EXPECT_EQ(renderer->Slot(4096), nullptr);
    renderer.reset();
    EXPECT_EQ(gDeleted, (std::vector<GLuint>{4195, 101, 100}));
}

TEST_F(GpuNamesTest, LoadingTheSlotBeingBuiltEndsTheBuild) {
    StartObject(12);
    AddObjectVertex(0, 0, 0, 0, 0, 0);
    AddObjectVertex(1, 0, 0, 0, 0, 0);
    DynString name(Write("s.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 12));
    EXPECT_EQ(gRenderer3D.buildingObject, -1);
    for (int i = 0; i < 4; ++i) AddObjectVertex(i, 0, 0, 0, 0, 0);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[12];
    ASSERT_EQ(m.frames.Count(), 2);
    EXPECT_EQ(m.frames[0].items.Count(), 5);
    EXPECT_EQ(m.frames[0].records.Count(), 0);
    EXPECT_EQ(m.texU.Count(), 5);
}

} // namespace

namespace {

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
    EXPECT_EQ(m.normalsValid, 1u);
    EXPECT_EQ(m.frames[1].triangles.Count(), 6);
    EXPECT_FLOAT_EQ(m.frames[1].centre[2], 1.0f);
    ASSERT_EQ(m.WriteModel(Path("tool.ddd").c_str()), 1);
    DynString name(Path("tool.ddd").c_str());
    ASSERT_TRUE(LoadObject(name, 13));
    MeshObjectX& loaded = gRenderer3D.objects[13];
    ASSERT_EQ(loaded.frames.Count(), 2);
    EXPECT_EQ(loaded.frames[0].triangles.Count(), 6);
    EXPECT_EQ(loaded.hasColours, 1u);
    const float* n = NormalTable + 3 * loaded.frames[0].items[1].normal;
    EXPECT_GT(std::fabs(n[2]), 0.99f); // the faces' normal, kept from the tool
}

TEST(FinishModelColoursTest, TooManyColoursLeaveNoItems) {
    MeshObjectX m;
    ModelFrame* frame = m.frames.Append(ModelFrame());
    for (int c = 0; c < 300; ++c) frame->records.Append(MakeRecord(float(c), 0, 0, 0, 0, uint32_t(c)));
    EXPECT_FALSE(FinishModel(m, true));
    EXPECT_EQ(m.frames[0].items.Count(), 0);
}

} // namespace
