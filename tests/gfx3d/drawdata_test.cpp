// Drawing data built from items: primitive decomposition, hasColours, bounds, normals and
// tangents.
#include <cmath>
#include <vector>

#include "fixtures.h"
#include "voxa/gfx3d.h"

namespace {

// Items of one frame: a value v >= 0 is a white vertex at x = v; -1, -2, -3 are the markers.
void SetItems(MeshObjectX& m, const std::vector<int>& seq, uint32_t colour = 0xFFFFFFu) {
    m.ClearModel(true);
    for (uint32_t v : {colour, kTrianglesMarker, kStripMarker, kFanMarker}) m.colourTable.Append(v);
    ModelFrame* f = m.frames.Append(ModelFrame());
    for (int v : seq) {
        ModelItem item = {0, 0, 0, 0, 0, 0, 0};
        if (v >= 0) item.qx = uint8_t(v);
        else item.colour = uint8_t(-v);
        f->items.Append(item);
        m.texU.Append(float(v));
        m.texV.Append(0.5f);
    }
}

// The x of each triangle record, three per triangle.
std::vector<int> TriangleXs(const MeshObjectX& m, int frame = 0) {
    std::vector<int> xs;
    for (const VertexRecord& r : m.frames[frame].triangles) xs.push_back(int(r.position[0]));
    return xs;
}

TEST(DecomposeTest, StripsAlternateToKeepTheWinding) {
    MeshObjectX m;
    SetItems(m, {-2, 1, 2, 3, 4, 5});
    m.BuildDrawData();
    EXPECT_EQ(TriangleXs(m), (std::vector<int>{1, 2, 3, 3, 2, 4, 3, 4, 5}));
    EXPECT_EQ(m.workVertices.Count(), 9);
    EXPECT_FLOAT_EQ(m.workVertices[5].tex[0], 4.0f); // u of item 4 (x = 4)
    EXPECT_FLOAT_EQ(m.workVertices[5].tex[1], -0.5f); // v is negated for drawing
}

TEST(DecomposeTest, FansKeepTheirFirstVertex) {
    MeshObjectX m;
    SetItems(m, {-3, 1, 2, 3, 4});
    m.BuildDrawData();
    EXPECT_EQ(TriangleXs(m), (std::vector<int>{1, 2, 3, 1, 3, 4}));
}

TEST(DecomposeTest, ItemsBeforeAnyMarkerAreSeparateTriangles) {
    MeshObjectX m;
    SetItems(m, {1, 2, 3, 4, 5, 6, 7, -2, 8, 9, 10, 11, -1, 12, 13, 14, 15});
    m.BuildDrawData();
    EXPECT_EQ(TriangleXs(m), (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9, 10, 10, 9, 11, 12, 13, 14}));
}

TEST(DecomposeTest, AMarkerRestartsTheWindow) {
    MeshObjectX m;
    SetItems(m, {-2, 1, 2, -2, 3, 4, 5, -3, 6, 7});
    m.BuildDrawData();
    EXPECT_EQ(TriangleXs(m), (std::vector<int>{3, 4, 5}));
}

TEST(DecomposeTest, HasColoursOnlyForAColourOtherThanWhite) {
    MeshObjectX m;
    SetItems(m, {-2, 1, 2, 3});
    m.BuildDrawData();
    EXPECT_EQ(m.hasColours, 0u);
    SetItems(m, {-2, 1, 2, 3}, 0x0000FFu);
    m.BuildDrawData();
    EXPECT_EQ(m.hasColours, 1u);
    EXPECT_FLOAT_EQ(m.workVertices[0].colour[0], 1.0f);
    EXPECT_FLOAT_EQ(m.workVertices[0].colour[2], 0.0f);
    EXPECT_EQ(m.workVertices[0].value, 0x0000FFu);
}

TEST(BoundsTest, CentreIsTheMeanOfTriangleRecordsAndEmptyFramesGetZero) {
    MeshObjectX m;
    SetItems(m, {0, 4, 8, 2});
    m.BuildDrawData();
    m.ComputeBounds();
    EXPECT_FLOAT_EQ(m.frames[0].centre[0], 4.0f);
    EXPECT_FLOAT_EQ(m.frames[0].radius, 4.0f);
    SetItems(m, {-2, 1, 2});
    m.frames[0].radius = 99;
    m.BuildDrawData();
    m.ComputeBounds();
    EXPECT_FLOAT_EQ(m.frames[0].radius, 0.0f);
    EXPECT_FLOAT_EQ(m.frames[0].centre[0], 0.0f);
}

// A unit cube of six square faces (text encoding, each face a fan) in slot id.
bool LoadCube(ModelDirTest& t, double id) {
    const char* cube =
        "DDDA 1 8  0 0  0 0  0 0  0 0  0 0  0 0  0 0  0 0\n"
        "6\n"
        "255 255 255 4 0 0 1 1 3 3 2 2\n"   // z = 0
        "255 255 255 4 4 4 6 6 7 7 5 5\n"   // z = 1
        "255 255 255 4 0 0 4 4 5 5 1 1\n"   // y = 0
        "255 255 255 4 2 2 3 3 7 7 6 6\n"   // y = 1
        "255 255 255 4 0 0 2 2 6 6 4 4\n"   // x = 0
        "255 255 255 4 1 1 5 5 7 7 3 3\n"   // x = 1
        "1 8  0 0 0  1 0 0  0 1 0  1 1 0  0 0 1  1 0 1  0 1 1  1 1 1\n";
    DynString name(t.Write("cube.ddd", cube).c_str());
    return LoadObject(name, id);
}

const float* Normal(uint8_t index) { return NormalTable + 3 * index; }

class NormalsTest : public ModelDirTest {
protected:
    // Dot product of each vertex item's normal with dir(item position - cube centre).
    template <typename Check>
    void ForEachVertex(const MeshObjectX& m, Check check) {
        const ModelFrame& f = m.frames[0];
        for (int i = 0; i < f.items.Count(); ++i) {
            if (IsMarker(m.ItemValue(f.items[i]))) continue;
            VertexRecord r;
            m.DecodeItem(f, i, r);
            check(i, r);
        }
    }
};

TEST_F(NormalsTest, CubeSmoothedByPositionPointsAlongTheDiagonals) {
    ASSERT_TRUE(LoadCube(*this, 20));
    MeshObjectX& m = gRenderer3D.objects[20];
    EXPECT_EQ(m.normalsValid, 0u);
    m.ComputeNormals(true, true, false);
    EXPECT_EQ(m.normalsValid, 1u);
    float sign = 0;
    ForEachVertex(m, [&](int i, const VertexRecord& r) {
        float d = 0;
        for (int c = 0; c < 3; ++c) d += r.normal[c] * (r.position[c] - 0.5f) * 2.0f / std::sqrt(3.0f);
        if (sign == 0) sign = d > 0 ? 1.0f : -1.0f;
        EXPECT_GT(d * sign, 0.9f) << "item " << i;
        for (int c = 0; c < 3; ++c) EXPECT_GT(std::fabs(r.normal[c]), 0.2f) << "item " << i; // not a face's axis
    });
    // Normals were rebuilt into the drawing data.
    EXPECT_FLOAT_EQ(std::fabs(m.workVertices[0].normal[0]), std::fabs(Normal(m.frames[0].items[1].normal)[0]));
}

TEST_F(NormalsTest, CubeSmoothedByItemKeepsFacesApart) {
    ASSERT_TRUE(LoadCube(*this, 21));
    MeshObjectX& m = gRenderer3D.objects[21];
    m.ComputeNormals(true, false, false);
    float sign = 0;
    ForEachVertex(m, [&](int i, const VertexRecord& r) {
        // The face of item i is i / 5 (a marker and four vertices per face); its axis and side.
        int face = i / 5;
        int axis = 2 - face / 2;
        float side = face % 2 == 0 ? -1.0f : 1.0f;
        float d = r.normal[axis] * side;
        if (sign == 0) sign = d > 0 ? 1.0f : -1.0f;
        EXPECT_GT(d * sign, 0.99f) << "item " << i;
    });
}

TEST_F(NormalsTest, NormalsOfALoadedBinaryModelAreKept) {
    DynString name(Write("b.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(name, 22));
    MeshObjectX& m = gRenderer3D.objects[22];
    m.ComputeNormals(true, true, false);
    EXPECT_EQ(m.frames[0].items[2].normal, 7);
}

TEST(TangentsTest, TexturedQuadHasTangentAlongUAndBinormalAlongDrawnV) {
    StartObject(30);
    AddObjectVertex(0, 0, 0, 0, 0, 0xFFFFFF);
    AddObjectVertex(2, 0, 0, 1, 0, 0xFFFFFF);
    AddObjectVertex(0, 2, 0, 0, 1, 0xFFFFFF);
    AddObjectVertex(2, 2, 0, 1, 1, 0xFFFFFF);
    EndObject();
    MeshObjectX& m = gRenderer3D.objects[30];
    m.ComputeNormals(true, true, true);
    const float x[3] = {1, 0, 0}, minusY[3] = {0, -1, 0};
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(m.frames[0].items[i].tangent, QuantizeNormal(x)) << i;
        EXPECT_EQ(m.frames[0].items[i].binormal, QuantizeNormal(minusY)) << i;
    }
    EXPECT_FLOAT_EQ(m.workVertices[0].tangent[0], Normal(QuantizeNormal(x))[0]);
    // Once computed, tangents are not computed again.
    m.frames[0].items[1].tangent = 3;
    m.ComputeNormals(true, true, true);
    EXPECT_EQ(m.frames[0].items[1].tangent, 3);
}

TEST(TangentsTest, FanNormalsComeFromTheTrianglesDrawn) {
    // A fan around a raised hub: each drawn triangle leans outward; a strip-like walk would
    // take the flat rim triangles instead and give the rim vertices upright normals.
    MeshObjectX m;
    m.colourTable.Append(kFanMarker);
    m.colourTable.Append(0xFFFFFFu);
    ModelFrame* f = m.frames.Append(ModelFrame());
    const uint8_t rim[4][2] = {{0, 0}, {200, 0}, {200, 200}, {0, 200}};
    f->items.Append(ModelItem{0, 0, 0, 0, 0, 0, 0});
    f->items.Append(ModelItem{100, 100, 100, 0, 1, 0, 0}); // hub
    for (auto& p : rim) f->items.Append(ModelItem{p[0], 0, p[1], 0, 1, 0, 0});
    m.ComputeNormals(true, false, false);
    // Rim vertex 3 ((200, 0, 200)) lies in drawn triangles (hub, 1, 2) and (hub, 2, 3) only.
    const float* n = Normal(f->items[4].normal);
    EXPECT_GT(std::fabs(n[0]), 0.3f);
    EXPECT_LT(std::fabs(n[1]), 0.95f);
}

} // namespace
