// Drawing data built from items: primitive decomposition, hasColours, bounds, normals,
// tangents, and edge adjacency (the near-linear build against comparing every pair).
#include <cmath>
#include <random>
#include <vector>

#include "fixtures.h"
#include "voxa/gfx3d.h"

namespace {

// Items of one frame: a value v >= 0 is a vertex at x = v; -1, -2, -3 are the markers.
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
    m.BuildDrawData();
}

TEST(DecomposeTest, StripsFansListsAndRestartsGiveTheirTriangles) {
    const struct {
        std::vector<int> items, xs; // the x of each triangle record, three per triangle
    } cases[] = {
        {{-2, 1, 2, 3, 4, 5}, {1, 2, 3, 3, 2, 4, 3, 4, 5}}, // strips alternate to keep the winding
        {{-3, 1, 2, 3, 4}, {1, 2, 3, 1, 3, 4}},             // fans keep their first vertex
        {{1, 2, 3, 4, 5, 6, 7, -2, 8, 9, 10, 11, -1, 12, 13, 14, 15}, {1, 2, 3, 4, 5, 6, 8, 9, 10, 10, 9, 11, 12, 13, 14}},
        {{-2, 1, 2, -2, 3, 4, 5, -3, 6, 7}, {3, 4, 5}},     // a marker restarts the window
    };
    MeshObjectX m;
    for (const auto& c : cases) {
        SetItems(m, c.items);
        std::vector<int> xs;
        for (const VertexRecord& r : m.frames[0].triangles) xs.push_back(int(r.position[0]));
        EXPECT_EQ(xs, c.xs);
        EXPECT_EQ(m.workVertices.Count(), int(c.xs.size()));
    }
    SetItems(m, {-2, 1, 2, 3, 4, 5});
    EXPECT_FLOAT_EQ(m.workVertices[5].tex[0], 4.0f);  // u of item 4 (x = 4)
    EXPECT_FLOAT_EQ(m.workVertices[5].tex[1], -0.5f); // v is negated for drawing
    EXPECT_EQ(m.hasColours, 0u);                      // white is no colour
    SetItems(m, {-2, 1, 2, 3}, 0x0000FFu);
    EXPECT_EQ(m.hasColours, 1u);
    EXPECT_FLOAT_EQ(m.workVertices[0].colour[0], 1.0f);
    EXPECT_FLOAT_EQ(m.workVertices[0].colour[2], 0.0f);
}

TEST(BoundsTest, CentreIsTheMeanOfTriangleRecordsAndEmptyFramesGetZero) {
    MeshObjectX m;
    SetItems(m, {0, 4, 8, 2});
    m.ComputeBounds();
    EXPECT_FLOAT_EQ(m.frames[0].centre[0], 4.0f);
    EXPECT_FLOAT_EQ(m.frames[0].radius, 4.0f);
    SetItems(m, {-2, 1, 2});
    m.frames[0].radius = 99;
    m.ComputeBounds();
    EXPECT_FLOAT_EQ(m.frames[0].radius, 0.0f);
    EXPECT_FLOAT_EQ(m.frames[0].centre[0], 0.0f);
}

const float* Normal(uint8_t index) { return NormalTable + 3 * index; }

using NormalsTest = ModelDirTest;

// A unit cube of six square faces (text encoding, each face a fan of a marker and four
// vertices), smoothed by position (normals along the diagonals) or by item (faces kept apart).
TEST_F(NormalsTest, CubeSmoothedByPositionOrByItem) {
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
    DynString name(Write("cube.ddd", cube).c_str());
    for (bool byPosition : {true, false}) {
        ASSERT_TRUE(LoadObject(name, 20));
        MeshObjectX& m = gRenderer3D.objects[20];
        EXPECT_EQ(m.normalsValid, 0u);
        m.ComputeNormals(true, byPosition, false);
        EXPECT_EQ(m.normalsValid, 1u);
        const ModelFrame& f = m.frames[0];
        float sign = 0;
        for (int i = 0; i < f.items.Count(); ++i) {
            if (IsMarker(m.ItemValue(f.items[i]))) continue;
            VertexRecord r;
            m.DecodeItem(f, i, r);
            float d = 0;
            if (byPosition) {
                for (int c = 0; c < 3; ++c) d += r.normal[c] * (r.position[c] - 0.5f) * 2.0f / std::sqrt(3.0f);
            } else {
                const int face = i / 5; // its axis and side
                d = r.normal[2 - face / 2] * (face % 2 == 0 ? -1.0f : 1.0f);
            }
            if (sign == 0) sign = d > 0 ? 1.0f : -1.0f;
            EXPECT_GT(d * sign, 0.9f) << "item " << i << (byPosition ? " by position" : " by item");
        }
        // Normals were rebuilt into the drawing data.
        EXPECT_FLOAT_EQ(m.workVertices[0].normal[0], Normal(f.items[1].normal)[0]);
    }
    // The normals of a loaded binary model are kept.
    DynString binary(Write("b.ddd", SampleBinary().str()).c_str());
    ASSERT_TRUE(LoadObject(binary, 22));
    gRenderer3D.objects[22].ComputeNormals(true, true, false);
    EXPECT_EQ(gRenderer3D.objects[22].frames[0].items[2].normal, 7);
}

TEST(TangentsTest, TexturedQuadHasTangentAlongUAndBinormalAlongDrawnV) {
    StartObject(30);
    for (int i = 0; i < 4; ++i) AddObjectVertex(2 * (i % 2), 2 * (i / 2), 0, i % 2, i / 2, 0xFFFFFF);
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
    f->items.Append(ModelItem{0, 0, 0, 0, 0, 0, 0});
    f->items.Append(ModelItem{100, 100, 100, 0, 1, 0, 0}); // hub
    for (uint8_t x : {0, 200}) f->items.Append(ModelItem{x, 0, 0, 0, 1, 0, 0});
    for (uint8_t x : {200, 0}) f->items.Append(ModelItem{x, 0, 200, 0, 1, 0, 0});
    m.ComputeNormals(true, false, false);
    // Rim vertex 3 ((200, 0, 200)) lies in drawn triangles (hub, 1, 2) and (hub, 2, 3) only.
    const float* n = Normal(f->items[4].normal);
    EXPECT_GT(std::fabs(n[0]), 0.3f);
    EXPECT_LT(std::fabs(n[1]), 0.95f);
}

// A random model: items on a small grid (many shared positions, so many edges are shared by
// three or more triangles, and some triangles are degenerate), in random primitives.
void RandomModel(MeshObjectX& m, std::mt19937& rng, int items, int grid, float scale) {
    m.ClearModel(true);
    for (uint32_t v : {0xFFFFFFu, kTrianglesMarker, kStripMarker, kFanMarker}) m.colourTable.Append(v);
    ModelFrame* f = m.frames.Append(ModelFrame());
    for (float& s : f->scale) s = scale;
    std::uniform_int_distribution<int> pos(0, grid - 1), marker(0, 30);
    for (int i = 0; i < items; ++i) {
        const int k = marker(rng);
        ModelItem item = {uint8_t(pos(rng)), uint8_t(pos(rng)), uint8_t(pos(rng)), 0, 0, 0, 0};
        if (k < 3) item.colour = uint8_t(k + 1);
        f->items.Append(item);
    }
}

// Rounds 0..59 on grids of 2..6; then tiny scales away from the origin, where rounding
// differs, welding neighbouring positions; last a position of NaN, which welds to nothing.
TEST(EdgesTest, RandomMeshesWeldAndLinkExactlyAsThePairwiseComparison) {
    std::mt19937 rng(12345);
    MeshObjectX m;
    const float tiny[4] = {4e-6f, 7e-6f, 1.1e-5f, 3e-5f};
    int sharedByThree = 0;
    for (int round = 0; round < 65; ++round) {
        if (round < 60) {
            RandomModel(m, rng, 50 + round * 10, 2 + round % 5, 1.0f);
        } else if (round < 64) {
            RandomModel(m, rng, 300, 6, tiny[round - 60]);
            m.frames[0].offset[1] = -1234.5f;
        } else {
            RandomModel(m, rng, 200, 3, 1.0f);
            m.frames[0].offset[0] = std::nanf("");
        }
        m.BuildDrawData();
        GrowArray<int32_t> ids, idsRef;
        WeldVertices(m, ids);
        WeldVerticesQuadratic(m, idsRef);
        ASSERT_EQ(std::vector<int32_t>(ids.begin(), ids.end()), std::vector<int32_t>(idsRef.begin(), idsRef.end()))
            << round;
        if (round == 64) {
            EXPECT_EQ(ids[0], -1);
        }
        const int32_t t = m.frames[0].triangles.Count() / 3;
        std::vector<EdgeLink> a(size_t(3 * t)), b(size_t(3 * t));
        LinkEdges(idsRef.Data(), t, a.data());
        LinkEdgesQuadratic(idsRef.Data(), t, b.data());
        // Count the edges whose group has three or more triangles: the later ones all link back.
        std::vector<int> backLinks(size_t(t), 0);
        for (size_t k = 0; k < a.size(); ++k) {
            ASSERT_EQ(a[k].neighbour, b[k].neighbour) << round << " edge " << k;
            if (a[k].neighbour >= 0 && size_t(a[k].neighbour) < k / 3) ++backLinks[size_t(a[k].neighbour)];
        }
        for (int c : backLinks) sharedByThree += c >= 2;
    }
    EXPECT_GT(sharedByThree, 50);
}

TEST(EdgesTest, AQuadStripSharesItsMiddleEdge) {
    MeshObjectX m;
    SetItems(m, {-2, 1, 2, 3, 4});
    m.BuildEdges();
    // Triangles (a b c) and (c b d): edge 1 of the first (b c) meets edge 0 of the second (c b).
    std::vector<int32_t> n;
    for (const EdgeLink& e : m.edges) n.push_back(e.neighbour);
    EXPECT_EQ(n, (std::vector<int32_t>{-1, 1, -1, 0, -1, -1}));
    // Kept until the model changes.
    m.edges[0].neighbour = 42;
    m.BuildEdges();
    EXPECT_EQ(m.edges[0].neighbour, 42);
}

} // namespace
