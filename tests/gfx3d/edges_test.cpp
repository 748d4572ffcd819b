// Edge adjacency: the near-linear build must give exactly the links of comparing every pair.
#include <cmath>
#include <random>
#include <vector>

#include "fixtures.h"

namespace {

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
    m.colourTable.Append(kStripMarker);
    m.colourTable.Append(0xFFFFFFu);
    ModelFrame* f = m.frames.Append(ModelFrame());
    f->items.Append(ModelItem{0, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 4; ++i) f->items.Append(ModelItem{uint8_t(i % 2), uint8_t(i / 2), 0, 0, 1, 0, 0});
    m.BuildDrawData();
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
