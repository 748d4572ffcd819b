// What FindPath does not reach of the planner: the open list's order across its growth and the
// renumbering of its stamps, the reach and open limits, diagonal steps, the path's cost and a
// search started over.
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
        cells.insert(cells.begin(), Cell(x, y));
    }
    return cells;
}

} // namespace

TEST(OpenList, PopsLowestKeyAndAmongEqualKeysTheFirstInsertedAcrossGrowthAndRenumbering) {
    // A model list kept as the plain search keeps it: decreasing f front to back, a new entry in
    // front of its equals, pops from the back. The list grows past its first storage and shrinks
    // again; now and then its stamps run out, so it renumbers them with equal keys inside.
    std::mt19937 rng(5);
    OpenList open;
    std::vector<std::pair<float, uint32_t>> model; // (f, cell), front to back
    uint32_t nextCell = 0;
    for (int step = 0; step < 20000; ++step) {
        if (step % 1000 == 500) open.StartStampsAt(UINT32_MAX - uint32_t(step % 7));
        if (rng() % 10 < (step < 10000 ? 6u : 4u) || model.empty()) {
            const float f = float(rng() % 7);
            ASSERT_TRUE(open.Push(f, nextCell, f * 2));
            auto at = std::find_if(model.begin(), model.end(), [f](const auto& e) { return e.first <= f; });
            model.insert(at, {f, nextCell++});
        } else {
            const OpenList::Entry e = open.Pop();
            ASSERT_EQ(e.cell, model.back().second) << "step " << step;
            EXPECT_EQ(e.g, model.back().first * 2);
            model.pop_back();
        }
        ASSERT_EQ(open.Size(), model.size());
    }
}

TEST(Planner, ReachAndOpenLimitsHoldTheSearchIn) {
    Grid g{20, 20, std::vector<double>(400, 1)};
    PlannerParams p = ParamsFor(g, {0, 0}, {19, 19}, 0.0f);
    for (uint32_t poolSize : {5u, 0u}) {
        // Five reachable cells cannot span the map. With one open node at a time each node keeps
        // only the first neighbour it tries (right, else left, else down): the search snakes
        // through rows 0 to 18, then steps down onto the goal.
        p.poolSize = poolSize;
        p.openSize = poolSize == 0 ? 1 : 0;
        AStarPlanner planner;
        ASSERT_EQ(planner.Setup(p), 1);
        planner.Reset();
        planner.Search();
        const std::vector<Cell> path = PathOf(planner);
        ASSERT_EQ(path.size(), poolSize == 0 ? 381u : 0u);
        for (size_t i = 0; i < path.size(); ++i) {
            const int y = int(i / 20), x = y % 2 == 0 ? int(i % 20) : 19 - int(i % 20);
            EXPECT_EQ(path[i], i < 380 ? Cell(x, y) : Cell(19, 19)) << i;
        }
    }
}

TEST(Planner, DiagonalStepsCostsAndSearchesStartedOverMatchThePlainSearch) {
    std::mt19937 rng(99);
    int found = 0;
    for (int round = 0; round < 200; ++round) {
        Grid g{2 + int(rng() % 23), 2 + int(rng() % 23), {}};
        for (int i = 0; i < g.width * g.height; ++i) g.values.push_back(rng() % 4 == 0 ? 0.0 : double(1 + rng() % 3));
        Cell s(rng() % g.width, rng() % g.height), goal(rng() % g.width, rng() % g.height);
        const float weight = float(round % 5) / 4.0f;
        const bool diagonal = round % 4 != 0, factor = round % 3 != 0;
        PlannerParams p = ParamsFor(g, s, goal, weight);
        p.allowDiagonal = diagonal;
        p.diagonalFactor = factor;
        const reference::SearchResult ref = reference::ReferenceSearch(g, weight, s, goal, diagonal, factor);
        AStarPlanner planner;
        if (!planner.Setup(p)) {
            EXPECT_TRUE(ref.path.empty());
            continue;
        }
        for (int search = 0; search < (round % 10 == 0 ? 2 : 1); ++search) {
            planner.Reset();
            planner.Search();
        }
        ASSERT_EQ(PathOf(planner), ref.path) << "round " << round;
        EXPECT_EQ(planner.PathCost(), ref.path.empty() ? -1.0 : double(ref.cost)) << "round " << round;
        found += !ref.path.empty();
    }
    EXPECT_GT(found, 100);
}
