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
    for (uint32_t c = planner.GoalCell(); c != kNoCell; c = planner.ParentOf(c)) {
        uint32_t x, y;
        planner.CellOf(c, x, y);
        cells.push_back({int(x), int(y)});
    }
    std::reverse(cells.begin(), cells.end());
    return cells;
}

Grid Uniform(int w, int h, double v) { return Grid{w, h, std::vector<double>(size_t(w) * h, v)}; }

} // namespace

// ---- Open list

TEST(OpenList, PopsLowestKeyAndAmongEqualKeysTheFirstInsertedAcrossStampRenumbering) {
    // A model list kept as the plain search keeps it: decreasing f front to back, a new entry
    // in front of its equals, pops from the back. Now and then the stamps are made to run out,
    // so the list renumbers them with entries of equal keys inside.
    std::mt19937 rng(5);
    OpenList open;
    std::vector<std::pair<float, uint32_t>> model; // (f, cell), front to back
    std::uniform_int_distribution<int> key(0, 6), op(0, 9);
    uint32_t nextCell = 0;
    int pops = 0;
    for (int step = 0; step < 20000; ++step) {
        if (step % 1000 == 500) open.StartStampsAt(UINT32_MAX - uint32_t(step % 7));
        if (op(rng) < 5 || model.empty()) {
            const float f = float(key(rng));
            ASSERT_TRUE(open.Push(f, nextCell, f * 2));
            size_t i = 0;
            while (i < model.size() && model[i].first > f) ++i;
            model.insert(model.begin() + long(i), {f, nextCell++});
        } else {
            const OpenList::Entry e = open.Pop();
            ASSERT_EQ(e.cell, model.back().second) << "step " << step;
            EXPECT_EQ(e.g, model.back().first * 2);
            model.pop_back();
            ++pops;
        }
        ASSERT_EQ(open.Size(), model.size());
    }
    EXPECT_GT(pops, 5000);
    open.Clear();
    EXPECT_TRUE(open.Empty());
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
    EXPECT_EQ(planner.GoalCell(), kNoCell);
    EXPECT_EQ(planner.OpenCount(), 0u);
    planner.Reset();
    planner.Reset(); // twice: still one start node
    EXPECT_EQ(planner.OpenCount(), 1u);
    planner.Search();
    EXPECT_EQ(planner.PathCost(), cost);
    EXPECT_EQ(PathOf(planner), ref.path);
}

TEST(Planner, ReachAndOpenLimitsHoldTheSearchIn) {
    Grid g = Uniform(20, 20, 1);
    // Five reachable cells cannot span the map: no path.
    PlannerParams p = ParamsFor(g, {0, 0}, {19, 19}, 0.0f);
    p.poolSize = 5;
    AStarPlanner fewCells;
    ASSERT_EQ(fewCells.Setup(p), 1);
    fewCells.Reset();
    fewCells.Search();
    EXPECT_TRUE(fewCells.Finished());
    EXPECT_EQ(fewCells.GoalCell(), kNoCell);
    EXPECT_EQ(fewCells.PathLength(), 0u);
    // One open node at a time: each node keeps only the first neighbour it tries (right, else
    // left, else down), so the search snakes through rows 0 to 18 and steps down onto the goal
    // instead of taking 39 cells.
    p.poolSize = 0;
    p.openSize = 1;
    AStarPlanner oneOpen;
    ASSERT_EQ(oneOpen.Setup(p), 1);
    oneOpen.Reset();
    oneOpen.Search();
    const std::vector<Cell> path = PathOf(oneOpen);
    ASSERT_EQ(path.size(), 381u);
    EXPECT_EQ(path.back(), Cell(19, 19));
    for (size_t i = 0; i < 380; ++i) {
        const int y = int(i / 20), x = y % 2 == 0 ? int(i % 20) : 19 - int(i % 20);
        EXPECT_EQ(path[i], Cell(x, y)) << i;
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
