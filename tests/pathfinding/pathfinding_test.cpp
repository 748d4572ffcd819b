// FindPath and its planner: fixed cases, bad input, random maps held to the plain search of
// reference_search.h (with diagonals and costs), the limits and the open list's order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pathfinding/planner.h"
#include "reference_search.h"
#include "voxa/pathfinding.h"

namespace {

using reference::Cell;
using reference::Grid;
using Path = std::vector<Cell>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

void Fill(DynArray& map, const Grid& grid) {
    map.Dim(grid.width, grid.height);
    std::copy(grid.values.begin(), grid.values.end(), map.Data());
}

Grid FromRows(const std::vector<std::string>& rows) { // '#' is blocked, a digit d costs d
    Grid g{static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), {}};
    for (const std::string& r : rows)
        for (char c : r) g.values.push_back(c == '#' ? 0.0 : double(c - '0'));
    return g;
}

// FindPath's cells, checked against its count and the result's shape.
Path FindCells(const Grid& grid, double weight, Cell s, Cell g) {
    DynArray map, result;
    Fill(map, grid);
    const double n = FindPath(map, result, weight, s.first, s.second, g.first, g.second);
    EXPECT_EQ(result.Bounds(0), n);
    EXPECT_EQ(result.Bounds(1), n > 0 ? 2 : 0);
    Path cells;
    for (int i = 0; i < static_cast<int>(n); ++i) cells.push_back(Cell(result.At(i, 0), result.At(i, 1)));
    return cells;
}

} // namespace

TEST(FindPath, FixedCases) {
    const Grid twoRows = FromRows({"11111", "99999"}); // steps cost 2 in row 1, 1.11 in row 0: 7.56 around, 8 straight
    const Path detour{{0, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}}, straight{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
    const struct {
        const char* what;
        Grid grid;
        double weight;
        Cell start, goal;
        Path path;
    } cases[] = {
        {"blocked neighbours", FromRows({"1####", "#####", "####1"}), 0.5, {0, 0}, {4, 2}, {}},
        {"a cheaper detour at weight 0", twoRows, 0, {0, 1}, {4, 1}, detour},
        {"the distance alone at weight 1", twoRows, 1, {0, 1}, {4, 1}, straight},
        {"a NaN weight counts as 0", twoRows, kNaN, {0, 1}, {4, 1}, detour},
        {"equal keys: the first inserted first", FromRows({"11", "11"}), 0, {0, 0}, {1, 1}, {{0, 0}, {1, 0}, {1, 1}}},
        {"values beyond the float range, and tiny ones", Grid{4, 1, {1, 1e300, kInf, 1e-300}}, 0.5, {0, 0}, {3, 0},
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
    };
    for (const auto& c : cases) EXPECT_EQ(FindCells(c.grid, c.weight, c.start, c.goal), c.path) << c.what;
}

TEST(FindPath, BadInputGivesNoPathWithTheResultEmptied) {
    DynArray map, never, line, flat[4], result, deep;
    Fill(map, Grid{4, 3, std::vector<double>(12, 1)});
    line.Dim(10);
    line.At(0) = line.At(5) = 1;
    const double noPositive[] = {0.0, -1.0, -1e300, kNaN};
    for (int i = 0; i < 4; ++i) Fill(flat[i], Grid{3, 3, std::vector<double>(9, noPositive[i])});
    const struct {
        const char* what;
        DynArray* map;
        double sx, sy, gx, gy;
    } cases[] = {
        {"start is goal", &map, 2, 2, 2, 2}, {"start truncated onto goal", &map, 2.9, 2.1, 2, 2}, {"x below", &map, -1, 0, 3, 2},
        {"x beyond", &map, 0, 0, 4, 2}, {"y below", &map, 0, -1, 3, 2}, {"y beyond", &map, 0, 0, 3, 3},
        {"NaN", &map, kNaN, 0, 3, 2}, {"infinite", &map, 0, 0, kInf, 2}, {"huge", &map, 0, 0, 3, 1e300},
        {"1 through 32 bits", &map, -4294967296.0 + 1, 0, 3, 2}, {"never dimensioned", &never, 0, 0, 1, 0},
        {"one dimension", &line, 0, 0, 5, 0}, {"zeros", &flat[0], 0, 0, 2, 2}, {"negative", &flat[1], 0, 0, 2, 2},
        {"very negative", &flat[2], 0, 0, 2, 2}, {"NaN cells", &flat[3], 0, 0, 2, 2},
    };
    for (const auto& c : cases) {
        result.Dim(4, 2);
        EXPECT_EQ(FindPath(*c.map, result, 0.5, c.sx, c.sy, c.gx, c.gy), 0) << c.what;
        EXPECT_EQ(result.Bounds(0) + result.Bounds(1), 0) << c.what;
    }
    EXPECT_EQ(FindPath(map, result, 0.5, -0.5, 0.7, 3.9, 2.99), 6) << "fractions truncate toward zero";
    deep.Dim(4, 2, 3);
    for (int i = 0; i < 8; ++i) deep.At(i % 4, i / 4, 0) = 1;
    EXPECT_EQ(FindPath(deep, result, 0.5, 0, 0, 3, 1), 5) << "a deeper map's first slice";
    EXPECT_EQ(FindPath(map, map, 0.5, 0, 0, 2, 0), 3) << "the map may be the result";
    EXPECT_EQ(std::vector<double>(map.Data(), map.Data() + 6), (std::vector<double>{0, 1, 2, 0, 0, 0}));
}

// Random maps (few distinct values give many equal keys, continuous ones almost none; now and
// then a larger one), start and goal anywhere, weights inside and outside 0..1. The planner runs
// with and without diagonal steps and their cost factor, now and then searching twice; where no
// diagonals are allowed FindPath must give the same path.
TEST(FindPath, SamePathsAndCostsAsThePlainSearchOnRandomMaps) {
    std::mt19937 rng(20260101);
    std::uniform_real_distribution<double> unit(0, 1);
    const double weights[] = {0, 0.25, 0.5, 0.75, 1, -1, 2};
    int found = 0;
    for (int round = 0; round < 900; ++round) {
        const int side = round % 50 == 49 ? 128 : 36, levels = std::vector<int>{0, 1, 2, 4}[rng() % 4];
        Grid g{1 + int(rng() % side), 1 + int(rng() % side), {}};
        const double blocked = unit(rng) * 0.4;
        for (int i = 0; i < g.width * g.height; ++i) // blocked cells are 0 or negative
            g.values.push_back(unit(rng) < blocked ? (unit(rng) < 0.5 ? 0.0 : -unit(rng))
                                                   : levels > 0 ? 1.0 + rng() % levels : 0.01 + unit(rng) * 50);
        const Cell s(rng() % g.width, rng() % g.height), goal(rng() % g.width, rng() % g.height);
        const double weight = round % 8 < 7 ? weights[round % 7] : unit(rng);
        const bool diagonal = round % 3 == 1, factor = round % 5 != 0;
        const reference::SearchResult ref = reference::ReferenceSearch(g, weight, s, goal, diagonal, factor);
        if (!diagonal) {
            ASSERT_EQ(FindCells(g, weight, s, goal), ref.path) << "round " << round << " weight " << weight;
        }

        PlannerParams p;
        p.startX = s.first, p.startY = s.second, p.goalX = goal.first, p.goalY = goal.second, p.weight = float(weight);
        p.allowDiagonal = diagonal, p.diagonalFactor = factor, p.width = g.width, p.height = g.height, p.map = g.values.data();
        AStarPlanner planner;
        planner.Setup(p); // a refusal leaves no goal: FindPath's table checks the refusals
        for (int search = 0; search < (round % 10 == 0 ? 2 : 1); ++search) {
            planner.Reset();
            planner.Search();
        }
        Path path;
        for (uint32_t c = planner.GoalCell(), x, y; c != kNoCell; c = planner.ParentOf(c)) {
            planner.CellOf(c, x, y);
            path.insert(path.begin(), Cell(x, y));
        }
        ASSERT_EQ(path, ref.path) << "round " << round;
        EXPECT_EQ(planner.PathCost(), ref.path.empty() ? -1.0 : double(ref.cost)) << "round " << round;
        found += !ref.path.empty();
    }
    EXPECT_GT(found, 450); // real searches, not only refusals
}

TEST(Planner, ReachAndOpenLimitsHoldTheSearchIn) {
    // A row of five cells needs all five. With one open node at a time each node keeps only the
    // first neighbour it tries (right, else left, else down): 20 x 20 is crossed in a snake.
    const std::vector<double> ones(400, 1);
    const struct {
        uint32_t width, height, pool, open, length;
    } cases[] = {{5, 1, 5, 0, 5}, {5, 1, 4, 0, 0}, {20, 20, 0, 1, 381}};
    for (const auto& c : cases) {
        PlannerParams p;
        p.goalX = c.width - 1, p.goalY = c.height - 1, p.poolSize = c.pool, p.openSize = c.open;
        p.width = c.width, p.height = c.height, p.map = ones.data();
        AStarPlanner planner;
        ASSERT_EQ(planner.Setup(p), 1);
        planner.Reset();
        planner.Search();
        EXPECT_EQ(planner.PathLength(), c.length) << "pool " << c.pool << ", open " << c.open;
    }
}

TEST(OpenList, PopsLowestKeyAndAmongEqualKeysTheFirstInsertedAcrossGrowthAndRenumbering) {
    // A model list kept as the plain search keeps it: decreasing f front to back, a new entry in
    // front of its equals, pops from the back. The list grows past its first storage and shrinks
    // again; now and then its stamps run out, so it renumbers them with equal keys inside.
    std::mt19937 rng(5);
    OpenList open;
    std::vector<std::pair<float, uint32_t>> model; // (f, cell), front to back
    for (uint32_t step = 0, cell = 0; step < 20000; ++step) {
        if (step % 1000 == 500) open.StartStampsAt(UINT32_MAX - step % 7);
        if (rng() % 10 < (step < 10000 ? 6u : 4u) || model.empty()) {
            const float f = float(rng() % 7);
            ASSERT_TRUE(open.Push(f, cell, f * 2));
            model.insert(std::find_if(model.begin(), model.end(), [f](const auto& e) { return e.first <= f; }), {f, cell++});
        } else {
            const OpenList::Entry e = open.Pop();
            ASSERT_EQ(std::make_pair(e.g, e.cell), std::make_pair(model.back().first * 2, model.back().second)) << step;
            model.pop_back();
        }
        ASSERT_EQ(open.Size(), model.size());
    }
}
