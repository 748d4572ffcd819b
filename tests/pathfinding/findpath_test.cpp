// FindPath through the command interface: fixed cases, bad input, and random maps held to the
// plain reference search.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "reference_search.h"
#include "voxa/pathfinding.h"

namespace {

using reference::Cell;
using reference::Grid;
using Path = std::vector<Cell>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

void Fill(DynArray& map, const Grid& grid) {
    map.Dim(grid.width, grid.height);
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) map.At(x, y) = grid.values[size_t(y) * grid.width + x];
}

// Rows of characters: '#' is blocked, a digit d costs d.
Grid FromRows(const std::vector<std::string>& rows) {
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
    for (int i = 0; i < static_cast<int>(n); ++i) cells.push_back({int(result.At(i, 0)), int(result.At(i, 1))});
    return cells;
}

Path Row(int y, int from, int to) {
    Path cells;
    for (int x = from; from <= to ? x <= to : x >= to; x += from <= to ? 1 : -1) cells.push_back({x, y});
    return cells;
}

Path operator+(Path a, const Path& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(FindPath, FixedCases) {
    // Row 1 costs 2 a step, row 0 1/9 + 1: the detour costs 5 x 1.11 + 2 = 7.56 against 8.
    const Grid twoRows = FromRows({"11111", "99999"});
    const Path detour = Path{{0, 1}} + Row(0, 0, 4) + Path{{4, 1}}, straight = Row(1, 0, 4);
    // Straight through the 9s costs 5 x 2 + 1.11, around them 8 x 1.11.
    const Grid costly = FromRows({"1111111", "1999991", "1111111"});
    const struct {
        const char* what;
        Grid grid;
        double weight;
        Cell start, goal;
        Path path;
    } cases[] = {
        {"three cells", FromRows({"111"}), 0.5, {0, 0}, {2, 0}, Row(0, 0, 2)},
        {"blocked neighbours", FromRows({"1####", "#####", "#####", "####1"}), 0.5, {0, 0}, {4, 3}, {}},
        {"behind a wall", FromRows({"11#11", "11#11", "11#11"}), 0, {0, 0}, {4, 2}, {}},
        {"a cheaper detour at weight 0", twoRows, 0, {0, 1}, {4, 1}, detour},
        {"a cheaper detour at weight 0.5", twoRows, 0.5, {0, 1}, {4, 1}, detour},
        {"straight on at weight 1", twoRows, 1, {0, 1}, {4, 1}, straight},
        {"a weight below 0 counts as 0", twoRows, -3, {0, 1}, {4, 1}, detour},
        {"a NaN weight counts as 0", twoRows, kNaN, {0, 1}, {4, 1}, detour},
        {"a weight above 1 counts as 1", twoRows, 7, {0, 1}, {4, 1}, straight},
        {"weight 0 orders by cost alone", costly, 0, {0, 1}, {6, 1}, Path{{0, 1}} + Row(0, 0, 6) + Path{{6, 1}}},
        {"weight 1 follows the distance", costly, 1, {0, 1}, {6, 1}, Row(1, 0, 6)},
        {"equal keys: the first inserted first", FromRows({"11", "11"}), 0, {0, 0}, {1, 1}, {{0, 0}, {1, 0}, {1, 1}}},
        {"equal keys, the other way", FromRows({"11", "11"}), 0.5, {1, 1}, {0, 0}, {{1, 1}, {1, 0}, {0, 0}}},
        {"values beyond the float range, and tiny ones", Grid{5, 1, {1, 1e300, kInf, 1e-300, 1}}, 0.5, {0, 0}, {4, 0}, Row(0, 0, 4)},
    };
    for (const auto& c : cases) EXPECT_EQ(FindCells(c.grid, c.weight, c.start, c.goal), c.path) << c.what;
}

TEST(FindPath, BadInputGivesNoPathWithTheResultEmptied) {
    DynArray map, never, line, emptied, flat[4];
    Fill(map, Grid{4, 3, std::vector<double>(12, 1)});
    line.Dim(10);
    for (int i = 0; i < 10; ++i) line.At(i) = 1;
    emptied.Dim(8, 8);
    emptied.Dim(0);
    const double noPositive[] = {0.0, -1.0, -1e300, kNaN};
    for (int i = 0; i < 4; ++i) Fill(flat[i], Grid{3, 3, std::vector<double>(9, noPositive[i])});
    const struct {
        const char* what;
        DynArray* map;
        double sx, sy, gx, gy;
    } cases[] = {
        {"start is goal", &map, 2, 2, 2, 2}, {"start truncated onto goal", &map, 2.9, 2.1, 2, 2},
        {"x below", &map, -1, 0, 3, 2}, {"x beyond", &map, 0, 0, 4, 2}, {"y below", &map, 0, -1, 3, 2},
        {"y beyond", &map, 0, 0, 3, 3}, {"NaN", &map, kNaN, 0, 3, 2}, {"infinite", &map, 0, 0, kInf, 2},
        {"huge", &map, 0, 0, 3, 1e300}, {"1 through 32 bits", &map, -4294967296.0 + 1, 0, 3, 2},
        {"never dimensioned", &never, 0, 0, 1, 0}, {"one dimension", &line, 0, 0, 5, 0}, {"emptied", &emptied, 0, 0, 5, 0},
        {"zeros", &flat[0], 0, 0, 2, 2}, {"negative", &flat[1], 0, 0, 2, 2}, {"very negative", &flat[2], 0, 0, 2, 2},
        {"NaN cells", &flat[3], 0, 0, 2, 2},
    };
    for (const auto& c : cases) {
        DynArray result;
        result.Dim(4, 2);
        EXPECT_EQ(FindPath(*c.map, result, 0.5, c.sx, c.sy, c.gx, c.gy), 0) << c.what;
        EXPECT_EQ(result.Bounds(0) + result.Bounds(1), 0) << c.what;
    }
    DynArray result, deep;
    EXPECT_EQ(FindPath(map, result, 0.5, -0.5, 0.7, 3.9, 2.99), 6) << "fractions truncate toward zero";
    deep.Dim(4, 2, 3);
    for (int z = 0; z < 3; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) deep.At(x, y, z) = z == 0;
    EXPECT_EQ(FindPath(deep, result, 0.5, 0, 0, 3, 1), 5) << "a deeper map's first slice";
    EXPECT_EQ(FindPath(map, map, 0.5, 0, 0, 2, 0), 3) << "the map may be the result";
    EXPECT_EQ(map.At(2, 0), 2);
    EXPECT_EQ(map.At(2, 1), 0);
}

// Random maps (few distinct values give many equal keys, continuous ones almost none; now and
// then a larger one), start and goal anywhere, weights inside and outside 0..1.
TEST(FindPath, SamePathsAsThePlainSearchOnRandomMaps) {
    std::mt19937 rng(20260101);
    std::uniform_real_distribution<double> unit(0, 1);
    const double weights[] = {0, 0.25, 0.5, 0.75, 1, -1, 2};
    int found = 0;
    for (int round = 0; round < 700; ++round) {
        std::uniform_int_distribution<int> size(1, round % 50 == 49 ? 128 : 36);
        Grid g{size(rng), size(rng), {}};
        const int levels = std::vector<int>{0, 1, 2, 4}[rng() % 4];
        const double blocked = unit(rng) * 0.4;
        for (int i = 0; i < g.width * g.height; ++i) {
            if (unit(rng) < blocked) g.values.push_back(unit(rng) < 0.5 ? 0.0 : -unit(rng));
            else g.values.push_back(levels > 0 ? double(1 + rng() % levels) : 0.01 + unit(rng) * 50);
        }
        std::uniform_int_distribution<int> xs(0, g.width - 1), ys(0, g.height - 1);
        Cell s{xs(rng), ys(rng)}, goal{xs(rng), ys(rng)};
        const double weight = round % 8 < 7 ? weights[round % 7] : unit(rng);
        const Path path = FindCells(g, weight, s, goal);
        ASSERT_EQ(path, reference::ReferenceSearch(g, weight, s, goal).path) << "round " << round << " weight " << weight;
        found += !path.empty();
    }
    EXPECT_GT(found, 350); // real searches, not only refusals
}

// Arrays of one to three dimensions with odd sizes, cells of any double, coordinates of any
// double: the answer is 0 with the result emptied, or a straight-step path over open cells
// between the truncated start and goal. (Out-of-map reads show up under the sanitizer build.)
TEST(FindPath, HostileShapesValuesAndCoordinatesGiveAValidAnswer) {
    std::mt19937 rng(4242);
    const double values[] = {0, -1, kNaN, -kInf, kInf, 1e-320, 1e300, 1, 2, 3, 1, 2, 4, 1, 1, 2};
    const double coords[] = {-1, 7, 1e10, kNaN, kInf, -2147483648.0, -0.9, 0, 0.5, 1, 1.5, 2, 2.5, 3, 3.99};
    int paths = 0;
    for (int round = 0; round < 4000; ++round) {
        DynArray map, result;
        const int dims = 1 + rng() % 3;
        map.Dim(rng() % 8 + 0.5, dims > 1 ? rng() % 8 : 0, dims > 2 ? rng() % 8 : 0);
        for (uint32_t i = 0; map.Bounds(0) > 0 && i < map.Capacity(); ++i) map.Data()[i] = values[rng() % 16];
        const double c[4] = {coords[rng() % 15], coords[rng() % 15], coords[rng() % 15], coords[rng() % 15]};
        const double n = FindPath(map, result, (rng() % 10) / 9.0, c[0], c[1], c[2], c[3]);
        ASSERT_EQ(result.Bounds(0), n);
        if (n == 0) continue;
        ASSERT_GE(map.DimCount(), 2u);
        EXPECT_EQ(Cell(result.At(0, 0), result.At(0, 1)), Cell(std::trunc(c[0]), std::trunc(c[1])));
        EXPECT_EQ(Cell(result.At(n - 1, 0), result.At(n - 1, 1)), Cell(std::trunc(c[2]), std::trunc(c[3])));
        for (int i = 1; i < static_cast<int>(n); ++i) { // every entered cell is open (the start's value is no cost)
            EXPECT_GT(map.At(result.At(i, 0), result.At(i, 1)), 0);
            EXPECT_EQ(std::abs(result.At(i, 0) - result.At(i - 1, 0)) + std::abs(result.At(i, 1) - result.At(i - 1, 1)), 1);
        }
        ++paths;
    }
    EXPECT_GT(paths, 50);
}
