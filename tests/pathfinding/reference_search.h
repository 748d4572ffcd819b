// The plain grid search the tests hold the planner to, written for clarity: an open list sorted
// by decreasing f (new or improved nodes in front of their equals, pops from the back), found by a
// scan; closed nodes re-opened by a cheaper path; 32-bit float costs in the planner's order.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <utility>
#include <vector>

namespace reference {

using Cell = std::pair<int, int>;

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<double> values; // x fastest; <= 0 (or NaN) blocked
};

struct SearchResult {
    std::vector<Cell> path; // start to goal; empty when there is none
    float cost = -1;        // g of the goal
};

inline SearchResult ReferenceSearch(const Grid& grid, double weight, Cell start, Cell goal, bool allowDiagonal = false,
                                    bool diagonalFactor = true) {
    SearchResult out;
    const int w = grid.width, h = grid.height;
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    // Costs v / M + 1, M the largest value, as floats (values beyond their range as the largest).
    auto raw = [](double v) { return static_cast<float>(std::min<double>(v, FLT_MAX)); };
    float top = 0;
    for (double v : grid.values) top = v > 0 ? std::max(top, raw(v)) : top;
    if (!inside(start.first, start.second) || !inside(goal.first, goal.second) || start == goal || top <= 0) return out;
    const float wt = static_cast<float>(std::min(1.0, std::max(0.0, weight))); // NaN counts as 0
    const float diagonal = diagonalFactor ? 1.4142137f : 1.0f;
    std::vector<float> g(grid.values.size(), 0), f(grid.values.size(), 0);
    std::vector<int> parent(grid.values.size(), -1), open; // open: cells by decreasing f, front to back
    std::vector<char> state(grid.values.size(), 0);        // 0 unseen, 1 open, 2 closed
    auto insert = [&](int c) {
        open.insert(std::find_if(open.begin(), open.end(), [&](int o) { return f[o] <= f[c]; }), c);
        state[c] = 1;
    };
    insert(start.second * w + start.first);
    const int kDx[8] = {-1, 0, 1, 1, -1, -1, 0, 1}, kDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    while (!open.empty()) {
        const int c = open.back(), x = c % w, y = c / w;
        open.pop_back();
        state[c] = 2;
        if (Cell(x, y) == goal) {
            out.cost = g[c];
            for (int p = c; p >= 0; p = parent[p]) out.path.insert(out.path.begin(), Cell(p % w, p / w));
            return out;
        }
        for (int k = 0; k < 8; ++k) {
            const bool isDiagonal = kDx[k] != 0 && kDy[k] != 0;
            const int nx = x + kDx[k], ny = y + kDy[k], n = ny * w + nx;
            if ((isDiagonal && !allowDiagonal) || !inside(nx, ny) || !(grid.values[n] > 0)) continue;
            const float ng = (raw(grid.values[n]) / top + 1.0f) * (isDiagonal ? diagonal : 1.0f) + g[c];
            if (state[n] != 0 && ng >= g[n]) continue;
            if (state[n] == 1) open.erase(std::find(open.begin(), open.end(), n));
            g[n] = ng;
            f[n] = (static_cast<float>(std::abs(goal.first - nx) + std::abs(goal.second - ny)) - ng) * wt + ng;
            parent[n] = c;
            insert(n);
        }
    }
    return out;
}

} // namespace reference
