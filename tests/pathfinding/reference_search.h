// Two independent searches the tests hold the planner to:
//  - ReferenceSearch: the plain form of the grid search, written for clarity, not speed: one heap
//    allocation per node, an open list kept sorted by decreasing f (binary search for the
//    insertion point, new nodes in front of their equals, pops from the back), a linear scan
//    from the back to find a cell in the open list, and a closed set of 256 hashed chains.
//  - DijkstraCost: the cheapest path cost in double precision, for optimality checks.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

namespace reference {

using Cell = std::pair<int, int>;

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<double> values; // x fastest; <= 0 blocked
};

// The scaled float cost of every cell (-1 blocked), or an empty vector when no cell is positive.
inline std::vector<float> ScaledCosts(const Grid& grid) {
    std::vector<float> costs(grid.values.size());
    float top = 0;
    for (size_t i = 0; i < costs.size(); ++i) {
        costs[i] = grid.values[i] <= 0 ? -1.0f : static_cast<float>(grid.values[i]);
        top = std::max(top, costs[i]);
    }
    if (top <= 0) return {};
    for (float& c : costs) {
        if (c != -1.0f) c = c / top + 1.0f;
    }
    return costs;
}

struct SearchResult {
    std::vector<Cell> path; // start to goal; empty when there is none
    float cost = -1;        // g of the goal node
};

inline SearchResult ReferenceSearch(const Grid& grid, double weight, Cell start, Cell goal,
                                    bool allowDiagonal = false, bool diagonalFactor = true) {
    struct RNode {
        RNode* parent;
        int x, y;
        float f, g;
        RNode* next;
    };
    SearchResult out;
    const int w = grid.width, h = grid.height;
    auto inside = [&](Cell c) { return c.first >= 0 && c.second >= 0 && c.first < w && c.second < h; };
    if (!inside(start) || !inside(goal) || start == goal) return out;
    std::vector<float> cost = ScaledCosts(grid);
    if (cost.empty()) return out;
    const float wt = static_cast<float>(std::min(1.0, std::max(0.0, weight)));
    const float diag = diagonalFactor ? 1.4142137f : 1.0f;

    std::vector<std::unique_ptr<RNode>> pool;
    auto make = [&](RNode* parent, int x, int y, float f, float g) {
        pool.push_back(std::make_unique<RNode>(RNode{parent, x, y, f, g, nullptr}));
        return pool.back().get();
    };
    std::vector<RNode*> open; // decreasing f from front to back
    auto insertOpen = [&](RNode* n) {
        size_t lo = 0, hi = open.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (open[mid]->f <= n->f) hi = mid; else lo = mid + 1;
        }
        open.insert(open.begin() + static_cast<long>(lo), n);
    };
    RNode* buckets[256] = {};
    auto bucketOf = [](int x, int y) { return (x & 15) | ((y & 15) << 4); };

    open.push_back(make(nullptr, start.first, start.second, 0, 0));
    static const int kDx[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
    static const int kDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
    RNode* reached = nullptr;
    while (!open.empty() && reached == nullptr) {
        RNode* cur = open.back();
        open.pop_back();
        if (cur->x == goal.first && cur->y == goal.second) {
            reached = cur;
            break;
        }
        for (int k = 0; k < 8; ++k) {
            const bool isDiagonal = kDx[k] != 0 && kDy[k] != 0;
            if (isDiagonal && !allowDiagonal) continue;
            const int nx = cur->x + kDx[k], ny = cur->y + kDy[k];
            if (!inside({nx, ny})) continue;
            const float c = cost[static_cast<size_t>(ny) * w + nx];
            if (c == -1.0f) continue;
            const float g = c * (isDiagonal ? diag : 1.0f) + cur->g;
            const float hh = static_cast<float>(std::abs(goal.first - nx) + std::abs(goal.second - ny));
            const float f = (hh - g) * wt + g;
            RNode** link = &buckets[bucketOf(nx, ny)];
            while (*link != nullptr && !((*link)->x == nx && (*link)->y == ny)) link = &(*link)->next;
            if (*link != nullptr) {
                RNode* n = *link;
                if (g >= n->g) continue;
                *link = n->next;
                n->next = nullptr;
                n->parent = cur;
                n->g = g;
                n->f = f;
                insertOpen(n);
                continue;
            }
            long found = -1;
            for (long i = static_cast<long>(open.size()) - 1; i >= 0; --i) {
                if (open[i]->x == nx && open[i]->y == ny) { found = i; break; }
            }
            if (found >= 0) {
                RNode* n = open[found];
                if (g >= n->g) continue;
                open.erase(open.begin() + found);
                n->parent = cur;
                n->g = g;
                n->f = f;
                insertOpen(n);
                continue;
            }
            insertOpen(make(cur, nx, ny, f, g));
        }
        RNode*& head = buckets[bucketOf(cur->x, cur->y)];
        cur->next = head;
        head = cur;
    }
    if (reached == nullptr) return out;
    out.cost = reached->g;
    for (RNode* n = reached; n != nullptr; n = n->parent) out.path.push_back({n->x, n->y});
    std::reverse(out.path.begin(), out.path.end());
    return out;
}

// Cheapest cost of a straight-step path (cost of each entered cell, scaled as above), in double
// precision; -1 when the goal cannot be reached.
inline double DijkstraCost(const Grid& grid, Cell start, Cell goal) {
    std::vector<float> cost = ScaledCosts(grid);
    if (cost.empty()) return -1;
    const int w = grid.width, h = grid.height;
    std::vector<double> dist(cost.size(), std::numeric_limits<double>::infinity());
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    const int s = start.second * w + start.first;
    dist[s] = 0;
    queue.push({0.0, s});
    while (!queue.empty()) {
        auto [d, c] = queue.top();
        queue.pop();
        if (d > dist[c]) continue;
        const int x = c % w, y = c / w;
        const int nbr[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
        for (const auto& p : nbr) {
            if (p[0] < 0 || p[1] < 0 || p[0] >= w || p[1] >= h) continue;
            const int n = p[1] * w + p[0];
            if (cost[n] < 0) continue;
            const double nd = d + cost[n];
            if (nd < dist[n]) {
                dist[n] = nd;
                queue.push({nd, n});
            }
        }
    }
    const double r = dist[goal.second * w + goal.first];
    return std::isinf(r) ? -1 : r;
}

} // namespace reference
