// FindPath through the command interface: the fixed cases, refusals and bad input, then
// random maps held to the plain reference search (same cells, same count) and to Dijkstra.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "reference_search.h"
#include "voxa/pathfinding.h"

namespace {

using reference::Cell;
using reference::Grid;

void Fill(DynArray& map, const Grid& grid) {
    map.Dim(grid.width, grid.height);
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) map.At(x, y) = grid.values[size_t(y) * grid.width + x];
}

Grid Uniform(int w, int h, double v) { return Grid{w, h, std::vector<double>(size_t(w) * h, v)}; }

// Rows of characters: '.' costs 1, '#' is blocked, a digit d costs d.
Grid FromRows(const std::vector<std::string>& rows) {
    Grid g{static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), {}};
    for (const std::string& r : rows)
        for (char c : r) g.values.push_back(c == '.' ? 1.0 : c == '#' ? 0.0 : double(c - '0'));
    return g;
}

std::vector<Cell> Cells(DynArray& result, double count) {
    std::vector<Cell> cells;
    for (int i = 0; i < static_cast<int>(count); ++i)
        cells.push_back({static_cast<int>(result.At(i, 0)), static_cast<int>(result.At(i, 1))});
    return cells;
}

std::vector<Cell> FindCells(const Grid& grid, double weight, Cell s, Cell g, double* count = nullptr) {
    DynArray map, result;
    Fill(map, grid);
    double n = FindPath(map, result, weight, s.first, s.second, g.first, g.second);
    if (count) *count = n;
    EXPECT_EQ(result.Bounds(0), n);
    if (n > 0) {
        EXPECT_EQ(result.Bounds(1), 2);
    }
    return Cells(result, n);
}

// The result of a search that must find nothing: 0 and the result emptied.
void ExpectNoPath(DynArray& map, double weight, double sx, double sy, double gx, double gy) {
    DynArray result;
    result.Dim(4, 2);
    result.At(3, 1) = 9;
    EXPECT_EQ(FindPath(map, result, weight, sx, sy, gx, gy), 0);
    EXPECT_EQ(result.Bounds(0), 0);
    EXPECT_EQ(result.Bounds(1), 0);
}

double PathCost(const Grid& grid, const std::vector<Cell>& path) {
    std::vector<float> cost = reference::ScaledCosts(grid);
    double sum = 0;
    for (size_t i = 1; i < path.size(); ++i) sum += cost[size_t(path[i].second) * grid.width + path[i].first];
    return sum;
}

// Every step is one straight move onto an open cell, from start to goal.
void ExpectValidPath(const Grid& grid, const std::vector<Cell>& path, Cell s, Cell g) {
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), s);
    EXPECT_EQ(path.back(), g);
    for (size_t i = 0; i < path.size(); ++i) {
        EXPECT_GT(grid.values[size_t(path[i].second) * grid.width + path[i].first], 0) << "cell " << i;
        if (i == 0) continue;
        int d = std::abs(path[i].first - path[i - 1].first) + std::abs(path[i].second - path[i - 1].second);
        EXPECT_EQ(d, 1) << "step " << i;
    }
}

} // namespace

// ---- The fixed cases

TEST(FindPath, ThreeByOneMapOfOnes) {
    double n = 0;
    auto path = FindCells(Uniform(3, 1, 1), 0.5, {0, 0}, {2, 0}, &n);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(path, (std::vector<Cell>{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(FindPath, BlockedNeighboursEndWithNoPath) {
    Grid g = Uniform(5, 5, 0);
    g.values[0] = 1;             // start (0, 0)
    g.values[4 * 5 + 4] = 1;     // goal (4, 4)
    DynArray map;
    Fill(map, g);
    ExpectNoPath(map, 0.5, 0, 0, 4, 4);
    // The goal is unreachable behind a wall even though cells around the start are open.
    DynArray walled;
    Fill(walled, FromRows({"..#..", "..#..", "..#.."}));
    ExpectNoPath(walled, 0, 0, 0, 4, 2);
}

TEST(FindPath, CheaperDetourWinsBelowWeightOneGreedyGoesStraight) {
    // Row 1 is 9s (2 per step after scaling), row 0 is 1s (1/9 + 1 per step).
    Grid g = FromRows({"11111", "99999"});
    const std::vector<Cell> straight{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
    const std::vector<Cell> detour{{0, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}};
    // Detour: 5 x (1/9 + 1) + 2 = 7.56 against 8 straight.
    EXPECT_EQ(FindCells(g, 0, {0, 1}, {4, 1}), detour);
    EXPECT_EQ(FindCells(g, 0.5, {0, 1}, {4, 1}), detour);
    EXPECT_EQ(FindCells(g, 1, {0, 1}, {4, 1}), straight);
}

TEST(FindPath, WeightOneIsGreedyOnManhattanDistance) {
    // Straight through the 9s costs 5 x 2 + 1.11; around them 8 x 1.11. Weight 0 orders by
    // cost alone and goes around; weight 1 follows the distance straight through.
    Grid costly = FromRows({"1111111", "1999991", "1111111"});
    auto viaTop = FindCells(costly, 0, {0, 1}, {6, 1});
    EXPECT_EQ(viaTop.size(), 9u);
    EXPECT_NEAR(PathCost(costly, viaTop), reference::DijkstraCost(costly, {0, 1}, {6, 1}), 1e-4);
    auto greedyStraight = FindCells(costly, 1, {0, 1}, {6, 1});
    EXPECT_EQ(greedyStraight.size(), 7u);
    EXPECT_GT(PathCost(costly, greedyStraight), PathCost(costly, viaTop));
}

TEST(FindPath, EqualKeysPopFirstInsertedFirst) {
    // From (0, 0) the neighbour (1, 0) is inserted before (0, 1), both with the same key: the
    // first one inserted is expanded first and reaches (1, 1) first.
    for (double w : {0.0, 0.5}) {
        EXPECT_EQ(FindCells(Uniform(2, 2, 1), w, {0, 0}, {1, 1}), (std::vector<Cell>{{0, 0}, {1, 0}, {1, 1}})) << w;
        EXPECT_EQ(FindCells(Uniform(2, 2, 1), w, {1, 1}, {0, 0}), (std::vector<Cell>{{1, 1}, {1, 0}, {0, 0}})) << w;
    }
}

TEST(FindPath, NeverStepsDiagonally) {
    Grid g = Uniform(6, 6, 3);
    for (double w : {0.0, 0.5, 1.0}) {
        auto path = FindCells(g, w, {0, 0}, {5, 5});
        EXPECT_EQ(path.size(), 11u);
        ExpectValidPath(g, path, {0, 0}, {5, 5});
    }
}

// ---- Refusals and bad input

TEST(FindPath, RefusesStartEqualToGoal) {
    DynArray map;
    Fill(map, Uniform(4, 4, 1));
    ExpectNoPath(map, 0.5, 2, 2, 2, 2);
    ExpectNoPath(map, 0.5, 2.9, 2.1, 2, 2); // truncated to the same cell
}

TEST(FindPath, RefusesStartOrGoalOutsideTheMap) {
    DynArray map;
    Fill(map, Uniform(4, 3, 1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ExpectNoPath(map, 0.5, -1, 0, 3, 2);
    ExpectNoPath(map, 0.5, 0, 0, 4, 2);
    ExpectNoPath(map, 0.5, 0, 0, 3, 3);
    ExpectNoPath(map, 0.5, 0, -1, 3, 2);
    ExpectNoPath(map, 0.5, nan, 0, 3, 2);
    ExpectNoPath(map, 0.5, 0, 0, inf, 2);
    ExpectNoPath(map, 0.5, 0, 0, 3, 1e300);
    ExpectNoPath(map, 0.5, -4294967296.0 + 1, 0, 3, 2); // would wrap to 1 through 32 bits
    // Fractions truncate toward zero: -0.5 is column 0, 3.9 is column 3.
    DynArray result;
    EXPECT_EQ(FindPath(map, result, 0.5, -0.5, 0.7, 3.9, 2.99), 6);
}

TEST(FindPath, RefusesMapsWithoutAPositiveCell) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {0.0, -1.0, -1e300, nan}) {
        DynArray map;
        Fill(map, Uniform(3, 3, v));
        ExpectNoPath(map, 0.5, 0, 0, 2, 2);
    }
}

TEST(FindPath, RefusesMapsWithoutTwoDimensions) {
    DynArray never;
    ExpectNoPath(never, 0.5, 0, 0, 1, 0);
    DynArray line;
    line.Dim(10);
    for (int i = 0; i < 10; ++i) line.At(i) = 1;
    ExpectNoPath(line, 0.5, 0, 0, 5, 0);
    DynArray emptied;
    emptied.Dim(8, 8);
    emptied.Dim(0);
    ExpectNoPath(emptied, 0.5, 0, 0, 5, 0);
}

TEST(FindPath, UsesTheFirstSliceOfADeeperMap) {
    DynArray map;
    map.Dim(4, 2, 3);
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) map.At(x, y, z) = z == 0 ? 1 : 0;
    DynArray result;
    EXPECT_EQ(FindPath(map, result, 0.5, 0, 0, 3, 1), 5);
}

TEST(FindPath, WeightIsClampedAndNaNCountsAsZero) {
    Grid g = FromRows({"11111", "99999"});
    auto atZero = FindCells(g, 0, {0, 1}, {4, 1});
    auto atOne = FindCells(g, 1, {0, 1}, {4, 1});
    EXPECT_EQ(FindCells(g, -3, {0, 1}, {4, 1}), atZero);
    EXPECT_EQ(FindCells(g, std::numeric_limits<double>::quiet_NaN(), {0, 1}, {4, 1}), atZero);
    EXPECT_EQ(FindCells(g, 7, {0, 1}, {4, 1}), atOne);
    EXPECT_NE(atZero, atOne);
}

TEST(FindPath, ExtremeCellValuesStayUsable) {
    // Values past the float range and infinity count as the largest cost; tiny ones as the least.
    Grid g = Uniform(5, 1, 1);
    g.values[1] = 1e300;
    g.values[2] = std::numeric_limits<double>::infinity();
    g.values[3] = 1e-300;
    double n = 0;
    FindCells(g, 0.5, {0, 0}, {4, 0}, &n);
    EXPECT_EQ(n, 5);
}

TEST(FindPath, MapMayBeTheResultArray) {
    DynArray map;
    Fill(map, Uniform(3, 1, 1));
    EXPECT_EQ(FindPath(map, map, 0.5, 0, 0, 2, 0), 3);
    EXPECT_EQ(map.At(2, 0), 2);
    EXPECT_EQ(map.At(2, 1), 0);
}

// ---- Random maps against the reference search and Dijkstra

namespace {

// Maps with few distinct values give many equal keys; continuous ones almost none.
Grid RandomGrid(std::mt19937& rng, int w, int h, double blocked, int levels) {
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> level(1, std::max(1, levels));
    Grid g{w, h, {}};
    for (int i = 0; i < w * h; ++i) {
        if (unit(rng) < blocked) g.values.push_back(unit(rng) < 0.5 ? 0.0 : -unit(rng));
        else g.values.push_back(levels > 0 ? double(level(rng)) : 0.01 + unit(rng) * 50);
    }
    return g;
}

} // namespace

TEST(FindPath, SamePathsAsThePlainSearchOnRandomMaps) {
    std::mt19937 rng(20260101);
    std::uniform_int_distribution<int> size(1, 36);
    std::uniform_int_distribution<int> levelPick(0, 3);
    const double weights[] = {0, 0.25, 0.5, 0.75, 1, -1, 2};
    int found = 0, total = 0;
    for (int round = 0; round < 700; ++round) {
        const int w = size(rng), h = size(rng);
        const int levels = std::vector<int>{0, 1, 2, 4}[levelPick(rng)];
        const double blocked = std::uniform_real_distribution<double>(0, 0.4)(rng);
        Grid g = RandomGrid(rng, w, h, blocked, levels);
        std::uniform_int_distribution<int> xs(0, w - 1), ys(0, h - 1);
        Cell s{xs(rng), ys(rng)}, goal{xs(rng), ys(rng)};
        const double weight = round % 8 < 7 ? weights[round % 7]
                                            : std::uniform_real_distribution<double>(0, 1)(rng);
        double n = 0;
        auto path = FindCells(g, weight, s, goal, &n);
        auto ref = reference::ReferenceSearch(g, weight, s, goal);
        ASSERT_EQ(path, ref.path) << "round " << round << " weight " << weight;
        ASSERT_EQ(n, double(ref.path.size()));
        found += n > 0;
        ++total;
    }
    // The draw must exercise real searches, not only refusals.
    EXPECT_GT(found, total / 2);
}

TEST(FindPath, WeightHalfAndZeroFindTheCheapestPath) {
    std::mt19937 rng(777);
    std::uniform_int_distribution<int> size(2, 40);
    int checked = 0;
    for (int round = 0; round < 300; ++round) {
        const int w = size(rng), h = size(rng);
        Grid g = RandomGrid(rng, w, h, 0.25, round % 2 ? 0 : 3);
        std::uniform_int_distribution<int> xs(0, w - 1), ys(0, h - 1);
        Cell s{xs(rng), ys(rng)}, goal{xs(rng), ys(rng)};
        g.values[size_t(s.second) * w + s.first] = 1;
        g.values[size_t(goal.second) * w + goal.first] = 1;
        if (s == goal) continue;
        const double best = reference::DijkstraCost(g, s, goal);
        for (double weight : {0.5, 0.0}) {
            auto path = FindCells(g, weight, s, goal);
            if (best < 0) {
                EXPECT_TRUE(path.empty()) << "round " << round;
                continue;
            }
            ExpectValidPath(g, path, s, goal);
            EXPECT_NEAR(PathCost(g, path), best, 1e-4 * best) << "round " << round << " weight " << weight;
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(FindPath, HostileShapesValuesAndCoordinatesGiveAValidAnswer) {
    // Arrays of one to three dimensions with odd sizes, cells of any double, coordinates of any
    // double: the answer is 0 with the result emptied, or a straight-step path over open cells
    // between the truncated start and goal. (Out-of-map reads show up under the sanitizer build.)
    std::mt19937 rng(4242);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double oddValues[] = {0, -1, nan, -inf, inf, 1e-320, 1e300, 1, 2, 3, 1, 2, 4, 1, 1, 2};
    const double oddCoords[] = {-1, 7, 1e10, nan, inf, -2147483648.0, -0.9, 0, 0.5, 1, 1.5, 2, 2.5, 3, 3.99};
    std::uniform_int_distribution<int> dims(1, 3), size(0, 7), pick(0, 9), coord(0, 14), valuePick(0, 15);
    int paths = 0;
    for (int round = 0; round < 4000; ++round) {
        DynArray map, result;
        const int d = dims(rng);
        const double s0 = size(rng) + 0.5, s1 = d > 1 ? size(rng) : 0, s2 = d > 2 ? size(rng) : 0;
        map.Dim(s0, s1, s2);
        if (map.Bounds(0) > 0)
            for (uint32_t i = 0; i < map.Capacity(); ++i) map.Data()[i] = oddValues[valuePick(rng)];
        const double c[4] = {oddCoords[coord(rng)], oddCoords[coord(rng)], oddCoords[coord(rng)],
                             oddCoords[coord(rng)]};
        const double n = FindPath(map, result, pick(rng) / 9.0, c[0], c[1], c[2], c[3]);
        ASSERT_EQ(result.Bounds(0), n);
        if (n == 0) continue;
        ASSERT_EQ(map.DimCount() >= 2, true);
        EXPECT_EQ(result.At(0, 0), std::trunc(c[0]));
        EXPECT_EQ(result.At(0, 1), std::trunc(c[1]));
        EXPECT_EQ(result.At(n - 1, 0), std::trunc(c[2]));
        EXPECT_EQ(result.At(n - 1, 1), std::trunc(c[3]));
        // Every entered cell is open (the start's own value is never a cost).
        for (int i = 1; i < static_cast<int>(n); ++i) {
            EXPECT_GT(map.At(result.At(i, 0), result.At(i, 1)), 0);
            EXPECT_EQ(std::abs(result.At(i, 0) - result.At(i - 1, 0)) +
                          std::abs(result.At(i, 1) - result.At(i - 1, 1)), 1);
        }
        ++paths;
    }
    EXPECT_GT(paths, 50);
}
