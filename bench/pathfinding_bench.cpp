// FindPath corner to corner on maps of random costs (fixed seed, 20 % blocked) of 1024 x 1024 and
// 4096 x 4096 cells, at weights 0, 0.5 and 1, against two searches in the same run:
//   BM_PlainAStar  the same rules written the textbook way with std::priority_queue (same path
//                  and cost: BM_FindPath reports same_as_plain = 1 when its answer is identical);
//   BM_BoostAStar  Boost Graph Library's astar_search on the same grid and costs (1024 only).
// Besides time, each benchmark reports the path's cells and cost and the memory one search needs:
//   heap_MB          the peak of heap bytes live during one search (this program counts every
//                    block of malloc, calloc, realloc and free, which operator new and delete use
//                    too); heap_B_per_cell is the same divided by the map's cells;
//   peak_MB          the rise of the resident-set high-water mark in a forked child that first
//                    returns its free heap to the system and then runs one search.
//
//   ./build/bench/pathfinding_bench --benchmark_filter='side:1024'
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "pathfinding/planner.h"
#include "voxa/dynarray.h"
#include "voxa/pathfinding.h"

namespace {

size_t gLiveBytes = 0; // bytes currently allocated from the C heap (operator new included)
size_t gPeakBytes = 0; // highest gLiveBytes since the last HeapPeakMb began

void* Counted(void* p) {
    if (p) {
        gLiveBytes += malloc_usable_size(p);
        if (gLiveBytes > gPeakBytes) gPeakBytes = gLiveBytes;
    }
    return p;
}

} // namespace

// The C allocation functions of this program, forwarded to the C library's own and counted, so
// that every block counts whether it comes from operator new, malloc or calloc.
extern "C" {
void* __libc_malloc(size_t n);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t n);
void* __libc_memalign(size_t align, size_t n);
void __libc_free(void* p);

void* malloc(size_t n) noexcept { return Counted(__libc_malloc(n)); }
void* calloc(size_t n, size_t size) noexcept { return Counted(__libc_calloc(n, size)); }
void* memalign(size_t align, size_t n) noexcept { return Counted(__libc_memalign(align, n)); }
void* aligned_alloc(size_t align, size_t n) noexcept { return Counted(__libc_memalign(align, n)); }
int posix_memalign(void** out, size_t align, size_t n) noexcept {
    void* p = __libc_memalign(align, n);
    if (!p) return ENOMEM;
    *out = Counted(p);
    return 0;
}
void* realloc(void* p, size_t n) noexcept {
    const size_t old = p ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, n);
    if (q || n == 0) gLiveBytes -= old; // on failure the old block stays
    return Counted(q);
}
void free(void* p) noexcept {
    if (p) gLiveBytes -= malloc_usable_size(p);
    __libc_free(p);
}
}

namespace {

// Peak heap bytes, in MB, live while `work` runs, above those live before it.
double HeapPeakMb(const std::function<void()>& work) {
    const size_t base = gLiveBytes;
    gPeakBytes = base;
    work();
    return double(gPeakBytes - base) / (1024.0 * 1024.0);
}

struct Fixture {
    int side = 0;
    DynArray map;             // the command's input, side x side
    std::vector<float> costs; // scaled as the planner scales them; -1 blocked
};

// Random costs 1..100 with 20 % of the cells blocked, the two corners open; one fixed seed.
const Fixture& Map(int side) {
    static Fixture* maps[2] = {nullptr, nullptr};
    Fixture*& fx = maps[side == 1024 ? 0 : 1];
    if (fx != nullptr) return *fx;
    fx = new Fixture;
    fx->side = side;
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<double> unit(0, 1);
    fx->map.Dim(side, side);
    fx->costs.resize(size_t(side) * side);
    float top = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            double v = unit(rng) < 0.2 ? 0.0 : 1.0 + unit(rng) * 99.0;
            if ((x == 0 && y == 0) || (x == side - 1 && y == side - 1)) v = 1.0;
            fx->map.At(x, y) = v;
            fx->costs[size_t(y) * side + x] = v <= 0 ? -1.0f : float(v);
            top = std::max(top, float(v));
        }
    }
    for (float& c : fx->costs)
        if (c != -1.0f) c = c / top + 1.0f;
    return *fx;
}

// Peak resident memory, in MB, that `work` adds in a forked child (so earlier runs of this
// process do not hide it): the child resets its high-water mark, runs, and reports the rise.
long ReadStatusKb(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0) kb = std::atol(line + n);
    }
    std::fclose(f);
    return kb;
}

double PeakGrowthMb(const std::function<void()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        malloc_trim(0); // free heap pages left resident by earlier runs would hide the rise
        int clear = open("/proc/self/clear_refs", O_WRONLY);
        if (clear >= 0) {
            (void)!write(clear, "5", 1); // reset VmHWM to the present resident size
            close(clear);
        }
        const long before = ReadStatusKb("VmRSS:");
        work();
        const long peak = ReadStatusKb("VmHWM:");
        long rise = peak - before;
        (void)!write(fds[1], &rise, sizeof rise);
        _exit(0);
    }
    close(fds[1]);
    long rise = -1024;
    if (read(fds[0], &rise, sizeof rise) != sizeof rise) rise = -1024;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return rise / 1024.0;
}

double PathCostOf(const Fixture& fx, const std::vector<int>& cells) {
    double sum = 0;
    for (size_t i = 1; i < cells.size(); ++i) sum += fx.costs[size_t(cells[i])];
    return sum;
}

// The memory counters of one more run of `search`.
void CountMemory(benchmark::State& state, const Fixture& fx, const std::function<void()>& search) {
    const double heapMb = HeapPeakMb(search);
    state.counters["heap_MB"] = heapMb;
    state.counters["heap_B_per_cell"] = heapMb * 1024.0 * 1024.0 / (double(fx.side) * fx.side);
    state.counters["peak_MB"] = PeakGrowthMb(search);
}

// ---- Plain baseline: the same rules written the textbook way. Scaled float costs, g and the
// parent cell in vectors of the map's size, std::priority_queue with lazy deletion (an entry
// whose g is no longer its cell's g is skipped), ordered by (f, insertion counter), so equal
// keys leave in the order they came, as in FindPath. Same float arithmetic, same neighbour order.

struct PlainResult {
    std::vector<int> cells; // start to goal
    float cost = -1;
};

PlainResult PlainAStar(const DynArray& map, int side, double weight) {
    const uint32_t n = uint32_t(side) * uint32_t(side);
    const double* v = map.Data();
    std::vector<float> costs(n);
    float top = 0;
    for (uint32_t i = 0; i < n; ++i) {
        costs[i] = !(v[i] > 0) ? -1.0f : v[i] > double(FLT_MAX) ? FLT_MAX : float(v[i]);
        top = std::max(top, costs[i]);
    }
    for (float& c : costs)
        if (c != -1.0f) c = c / top + 1.0f;
    std::vector<float> g(n, INFINITY);
    std::vector<int32_t> parent(n, -1);
    struct Entry {
        float f;
        float g;
        uint64_t stamp;
        uint32_t cell;
    };
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.f > b.f || (a.f == b.f && a.stamp > b.stamp);
        }
    };
    std::priority_queue<Entry, std::vector<Entry>, Later> open;
    const float wt = float(weight);
    const int goalX = side - 1, goalY = side - 1;
    const uint32_t goal = n - 1;
    uint64_t stamp = 0;
    g[0] = 0;
    open.push(Entry{0, 0, stamp++, 0});
    PlainResult out;
    while (!open.empty()) {
        const Entry e = open.top();
        open.pop();
        if (e.g != g[e.cell]) continue; // superseded by a cheaper entry
        if (e.cell == goal) {
            out.cost = e.g;
            for (int32_t c = int32_t(goal); c >= 0; c = parent[size_t(c)]) out.cells.push_back(c);
            std::reverse(out.cells.begin(), out.cells.end());
            break;
        }
        const int x = int(e.cell % uint32_t(side)), y = int(e.cell / uint32_t(side));
        const int nbr[4][2] = {{x, y - 1}, {x + 1, y}, {x - 1, y}, {x, y + 1}};
        for (const auto& p : nbr) {
            if (p[0] < 0 || p[1] < 0 || p[0] >= side || p[1] >= side) continue;
            const uint32_t c = uint32_t(p[1]) * uint32_t(side) + uint32_t(p[0]);
            if (costs[c] == -1.0f) continue;
            const float ng = costs[c] * 1.0f + e.g;
            if (ng >= g[c]) continue;
            const float h = float(std::abs(goalX - p[0]) + std::abs(goalY - p[1]));
            g[c] = ng;
            parent[c] = int32_t(e.cell);
            open.push(Entry{(h - ng) * wt + ng, ng, stamp++, c});
        }
    }
    return out;
}

// The plain search's answer for a map and weight, computed once.
const PlainResult& PlainAnswer(int side, int weightX2) {
    static std::map<std::pair<int, int>, PlainResult> answers;
    auto it = answers.find({side, weightX2});
    if (it == answers.end()) {
        it = answers.emplace(std::make_pair(side, weightX2), PlainAStar(Map(side).map, side, weightX2 / 2.0)).first;
    }
    return it->second;
}

void BM_PlainAStar(benchmark::State& state) {
    const int side = int(state.range(0));
    const double weight = double(state.range(1)) / 2.0;
    const Fixture& fx = Map(side);
    PlainResult r;
    for (auto _ : state) {
        r = PlainAStar(fx.map, side, weight);
        benchmark::DoNotOptimize(r.cells.data());
    }
    if (r.cells.empty()) return state.SkipWithError("no path on the benchmark map");
    state.counters["cells"] = double(r.cells.size());
    state.counters["cost"] = PathCostOf(fx, r.cells);
    CountMemory(state, fx, [&] { PlainAStar(fx.map, side, weight); });
}

// ---- FindPath

void BM_FindPath(benchmark::State& state) {
    const int side = int(state.range(0));
    const double weight = double(state.range(1)) / 2.0;
    Fixture& fx = const_cast<Fixture&>(Map(side));
    DynArray result;
    double count = 0;
    for (auto _ : state) {
        count = FindPath(fx.map, result, weight, 0, 0, side - 1, side - 1);
        benchmark::DoNotOptimize(count);
    }
    if (count == 0) return state.SkipWithError("no path on the benchmark map");
    std::vector<int> cells;
    for (int i = 0; i < int(count); ++i) cells.push_back(int(result.At(i, 1)) * side + int(result.At(i, 0)));
    state.counters["cells"] = count;
    state.counters["cost"] = PathCostOf(fx, cells);

    PlannerParams p;
    p.goalX = p.goalY = side - 1;
    p.width = p.height = uint32_t(side);
    p.weight = float(weight);
    p.map = fx.map.Data();
    AStarPlanner planner;
    planner.Setup(p);
    planner.Reset();
    planner.Search();
    // Identical to the plain search: the same cells and the same float cost.
    const PlainResult& plain = PlainAnswer(side, int(state.range(1)));
    state.counters["same_as_plain"] = cells == plain.cells && float(planner.PathCost()) == plain.cost;
    CountMemory(state, fx, [&] {
        DynArray r;
        FindPath(fx.map, r, weight, 0, 0, side - 1, side - 1);
    });
}

void SidesAndWeights(benchmark::internal::Benchmark* b) {
    b->ArgNames({"side", "weight_x2"});
    for (int side : {1024, 4096})
        for (int w : {0, 1, 2}) b->Args({side, w});
}
BENCHMARK(BM_FindPath)->Apply(SidesAndWeights)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAStar)->Apply(SidesAndWeights)->Unit(benchmark::kMillisecond);

// ---- Boost baseline: the same cells as vertices, an edge into every open neighbour weighted
// with the neighbour's cost, f = g + k * Manhattan with k = weight / (1 - weight) (the same
// order as the planner's key; 1e6 stands in for the greedy weight 1).

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, float>>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

constexpr int kSide = 1024; // Boost's graph of the larger map would not fit in memory

const Graph& BoostGraph() {
    static Graph* g = [] {
        const Fixture& fx = Map(kSide);
        std::vector<std::pair<int, int>> edges;
        std::vector<float> weights;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const int from = y * kSide + x;
                if (fx.costs[size_t(from)] < 0) continue;
                const int nbr[4][2] = {{x, y - 1}, {x + 1, y}, {x - 1, y}, {x, y + 1}};
                for (const auto& n : nbr) {
                    if (n[0] < 0 || n[1] < 0 || n[0] >= kSide || n[1] >= kSide) continue;
                    const int to = n[1] * kSide + n[0];
                    if (fx.costs[size_t(to)] < 0) continue;
                    edges.push_back({from, to});
                    weights.push_back(fx.costs[size_t(to)]);
                }
            }
        }
        return new Graph(edges.begin(), edges.end(), weights.begin(), size_t(kSide) * kSide);
    }();
    return *g;
}

class Manhattan : public boost::astar_heuristic<Graph, float> {
public:
    Manhattan(float scale, int goal) : scale_(scale), gx_(goal % kSide), gy_(goal / kSide) {}
    float operator()(Vertex v) const {
        const int x = int(v) % kSide, y = int(v) / kSide;
        return scale_ * float(std::abs(gx_ - x) + std::abs(gy_ - y));
    }

private:
    float scale_;
    int gx_, gy_;
};

struct GoalReached {};

class StopAtGoal : public boost::default_astar_visitor {
public:
    explicit StopAtGoal(Vertex goal) : goal_(goal) {}
    void examine_vertex(Vertex u, const Graph&) {
        if (u == goal_) throw GoalReached{};
    }

private:
    Vertex goal_;
};

std::vector<int> BoostSearch(const Graph& g, double weight) {
    const Vertex start = 0, goal = Vertex(kSide) * kSide - 1;
    const float scale = weight >= 1.0 ? 1e6f : float(weight / (1.0 - weight));
    std::vector<Vertex> pred(boost::num_vertices(g));
    std::vector<float> dist(boost::num_vertices(g));
    std::vector<int> cells;
    try {
        boost::astar_search(g, start, Manhattan(scale, int(goal)),
                            boost::predecessor_map(boost::make_iterator_property_map(pred.begin(), boost::get(boost::vertex_index, g)))
                                .distance_map(boost::make_iterator_property_map(dist.begin(), boost::get(boost::vertex_index, g)))
                                .visitor(StopAtGoal(goal)));
    } catch (const GoalReached&) {
        for (Vertex v = goal;; v = pred[v]) {
            cells.push_back(int(v));
            if (v == start || pred[v] == v) break;
        }
    }
    return std::vector<int>(cells.rbegin(), cells.rend());
}

void BM_BoostAStar(benchmark::State& state) {
    const double weight = double(state.range(0)) / 2.0;
    const Graph& g = BoostGraph();
    std::vector<int> cells;
    for (auto _ : state) {
        cells = BoostSearch(g, weight);
        benchmark::DoNotOptimize(cells.data());
    }
    if (cells.empty()) {
        state.SkipWithError("no path on the benchmark map");
        return;
    }
    state.counters["cells"] = double(cells.size());
    state.counters["cost"] = PathCostOf(Map(kSide), cells);
    CountMemory(state, Map(kSide), [&] { BoostSearch(g, weight); });
}
BENCHMARK(BM_BoostAStar)->Arg(0)->Arg(1)->Arg(2)->ArgName("weight_x2")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
