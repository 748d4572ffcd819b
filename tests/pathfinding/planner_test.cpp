// The planner's parts: the open list's pop order, Setup's refusals, the pool and open-list
// limits, diagonal steps, and the planner's own figures against the plain reference search.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pathfinding/planner.h"
#include "reference_search.h"

namespace {

using reference::Cell;
using reference::Grid;

PlannerParams ParamsFor(const Grid& g, Cell s, Cell goal, float weight) {
    PlannerParams p;
    p.startX = s.first;
    p.startY = s.second;
    p.goalX = goal.first;
    p.goalY = goal.second;
    p.weight = weight;
    p.width = static_cast<uint32_t>(g.width);
    p.height = static_cast<uint32_t>(g.height);
    p.map = g.values.data();
    return p;
}

std::vector<Cell> PathOf(const Planner& planner) {
    std::vector<Cell> cells;
    for (const Node* n = planner.Goal(); n != nullptr; n = n->parent) {
        uint32_t x, y;
        planner.CellOf(n, x, y);
        cells.push_back({int(x), int(y)});
    }
    std::reverse(cells.begin(), cells.end());
    return cells;
}

Grid Uniform(int w, int h, double v) { return Grid{w, h, std::vector<double>(size_t(w) * h, v)}; }

} // namespace

// ---- Open list

TEST(OpenList, PopsLowestKeyAndAmongEqualKeysTheFirstInserted) {
    // A model list kept as the plain search keeps it: decreasing f front to back, a new or
    // re-keyed node in front of its equals, pops from the back.
    std::mt19937 rng(5);
    NodeFactory pool;
    ASSERT_TRUE(pool.Reserve(400, 400));
    OpenList open;
    ASSERT_TRUE(open.Reserve(400, &pool));
    std::vector<uint32_t> model; // cells, front to back
    auto modelInsert = [&](uint32_t cell) {
        const float f = pool.At(cell)->f;
        size_t i = 0;
        while (i < model.size() && pool.At(model[i])->f > f) ++i;
        model.insert(model.begin() + long(i), cell);
    };
    std::uniform_int_distribution<int> key(0, 6), op(0, 9), cellPick(0, 399);
    int pops = 0;
    for (int step = 0; step < 20000; ++step) {
        const uint32_t cell = uint32_t(cellPick(rng));
        Node* n = pool.At(cell);
        const int o = op(rng);
        if (o < 4 && n->slot == kUnseen) {
            n->f = float(key(rng));
            ASSERT_TRUE(open.Insert(n));
            modelInsert(cell);
        } else if (o < 7 && n->slot != kUnseen) {
            n->f = float(key(rng)); // up or down: a re-keyed node counts as inserted now
            open.Reinsert(n);
            model.erase(std::find(model.begin(), model.end(), cell));
            modelInsert(cell);
        } else if (!model.empty()) {
            Node* top = open.PopBack();
            ASSERT_EQ(pool.CellOf(top), model.back()) << "step " << step;
            EXPECT_EQ(top->slot, kUnseen);
            model.pop_back();
            ++pops;
        }
        ASSERT_EQ(open.Size(), model.size());
    }
    EXPECT_GT(pops, 3000);
    open.Clear();
    EXPECT_EQ(open.Size(), 0u);
    EXPECT_EQ(open.PopBack(), nullptr);
    for (uint32_t c = 0; c < 400; ++c) ASSERT_EQ(pool.At(c)->slot, kUnseen);
}

TEST(OpenList, RefusesInsertionWhenFull) {
    NodeFactory pool;
    ASSERT_TRUE(pool.Reserve(4, 4));
    OpenList open;
    ASSERT_TRUE(open.Reserve(2, &pool));
    EXPECT_TRUE(open.Insert(pool.At(0)));
    EXPECT_TRUE(open.Insert(pool.At(1)));
    EXPECT_FALSE(open.Insert(pool.At(2)));
    EXPECT_EQ(pool.At(2)->slot, kUnseen);
    EXPECT_EQ(open.Size(), 2u);
}

TEST(NodeFactory, TakesUpToItsLimit) {
    NodeFactory pool;
    ASSERT_TRUE(pool.Reserve(10, 2));
    EXPECT_EQ(pool.Take(7), pool.At(7));
    EXPECT_NE(pool.Take(3), nullptr);
    EXPECT_EQ(pool.Take(4), nullptr);
    EXPECT_EQ(pool.InUse(), 2u);
    pool.GiveBackAll();
    EXPECT_EQ(pool.InUse(), 0u);
    EXPECT_NE(pool.Take(4), nullptr);
}

// ---- Planner

TEST(Planner, SetupRefusesBadParameters) {
    Grid g = Uniform(4, 3, 1);
    AStarPlanner planner;
    EXPECT_EQ(planner.Setup(ParamsFor(g, {0, 0}, {0, 0}, 0.5f)), 0);
    EXPECT_EQ(planner.Setup(ParamsFor(g, {-1, 0}, {3, 2}, 0.5f)), 0);
    EXPECT_EQ(planner.Setup(ParamsFor(g, {0, 0}, {4, 2}, 0.5f)), 0);
    EXPECT_EQ(planner.Setup(ParamsFor(g, {0, 3}, {3, 2}, 0.5f)), 0);
    PlannerParams noMap = ParamsFor(g, {0, 0}, {3, 2}, 0.5f);
    noMap.map = nullptr;
    EXPECT_EQ(planner.Setup(noMap), 0);
    Grid blocked = Uniform(4, 3, 0);
    EXPECT_EQ(planner.Setup(ParamsFor(blocked, {0, 0}, {3, 2}, 0.5f)), 0);
    // A refused planner searches nothing and reports no path.
    planner.Reset();
    planner.Search();
    EXPECT_TRUE(planner.Finished());
    EXPECT_EQ(planner.PathLength(), 0u);
    EXPECT_EQ(planner.PathCost(), -1);
    EXPECT_EQ(planner.StorageBytes(), 0u);
}

TEST(Planner, ScalesCostsIntoOneToTwo) {
    Grid g{3, 1, {4, -2, 2}};
    AStarPlanner planner;
    ASSERT_EQ(planner.Setup(ParamsFor(g, {0, 0}, {2, 0}, 0.5f)), 1);
    EXPECT_FLOAT_EQ(planner.CostAt(0, 0), 2.0f);
    EXPECT_EQ(planner.CostAt(1, 0), -1.0f);
    EXPECT_FLOAT_EQ(planner.CostAt(2, 0), 1.5f);
    EXPECT_EQ(planner.CostAt(3, 0), -1.0f);
    EXPECT_EQ(planner.CostAt(0, 1), -1.0f);
}

TEST(Planner, FiguresMatchTheReferenceAndStartingOverRepeatsTheSearch) {
    Grid g{4, 3, {1, 5, 1, 1, 1, 5, 0, 1, 1, 1, 1, 3}};
    AStarPlanner planner;
    ASSERT_EQ(planner.Setup(ParamsFor(g, {0, 0}, {3, 2}, 0.5f)), 1);
    planner.Reset();
    planner.Search();
    auto ref = reference::ReferenceSearch(g, 0.5, {0, 0}, {3, 2});
    EXPECT_TRUE(planner.Finished());
    EXPECT_EQ(planner.SearchCount(), 1u);
    EXPECT_EQ(PathOf(planner), ref.path);
    EXPECT_EQ(planner.PathLength(), ref.path.size());
    EXPECT_EQ(planner.PathCost(), double(ref.cost));
    const double cost = planner.PathCost();

    planner.Clear();
    EXPECT_EQ(planner.Goal(), nullptr);
    EXPECT_EQ(planner.OpenCount(), 0u);
    planner.Reset();
    planner.Reset(); // twice: still one start node
    EXPECT_EQ(planner.OpenCount(), 1u);
    planner.Search();
    EXPECT_EQ(planner.PathCost(), cost);
    EXPECT_EQ(PathOf(planner), ref.path);
}

TEST(Planner, SmallPoolOrOpenListEndsTheSearchWithoutAPath) {
    Grid g = Uniform(20, 20, 1);
    for (bool smallPool : {true, false}) {
        PlannerParams p = ParamsFor(g, {0, 0}, {19, 19}, 0.0f);
        (smallPool ? p.poolSize : p.openSize) = smallPool ? 5 : 1;
        AStarPlanner planner;
        ASSERT_EQ(planner.Setup(p), 1);
        planner.Reset();
        planner.Search();
        EXPECT_TRUE(planner.Finished());
        EXPECT_EQ(planner.Goal(), nullptr);
        EXPECT_EQ(planner.PathLength(), 0u);
    }
}

TEST(Planner, DiagonalStepsMatchTheReference) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> size(2, 24);
    std::uniform_real_distribution<double> unit(0, 1);
    int found = 0;
    for (int round = 0; round < 200; ++round) {
        Grid g{size(rng), size(rng), {}};
        for (int i = 0; i < g.width * g.height; ++i)
            g.values.push_back(unit(rng) < 0.25 ? 0.0 : double(1 + int(unit(rng) * 3)));
        std::uniform_int_distribution<int> xs(0, g.width - 1), ys(0, g.height - 1);
        Cell s{xs(rng), ys(rng)}, goal{xs(rng), ys(rng)};
        const float weight = float(round % 5) / 4.0f;
        const bool factor = round % 3 != 0;
        PlannerParams p = ParamsFor(g, s, goal, weight);
        p.allowDiagonal = 1;
        p.diagonalFactor = factor ? 1 : 0;
        AStarPlanner planner;
        auto ref = reference::ReferenceSearch(g, weight, s, goal, true, factor);
        if (!planner.Setup(p)) {
            EXPECT_TRUE(ref.path.empty());
            continue;
        }
        planner.Reset();
        planner.Search();
        ASSERT_EQ(PathOf(planner), ref.path) << "round " << round;
        EXPECT_EQ(planner.PathCost(), ref.path.empty() ? -1.0 : double(ref.cost));
        found += !ref.path.empty();
        for (size_t i = 1; i < ref.path.size(); ++i) {
            EXPECT_LE(std::abs(ref.path[i].first - ref.path[i - 1].first), 1);
            EXPECT_LE(std::abs(ref.path[i].second - ref.path[i - 1].second), 1);
        }
    }
    EXPECT_GT(found, 100);
}
