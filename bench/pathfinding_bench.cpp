// FindPath on a 1024 x 1024 map of random costs (fixed seed, 20 % blocked), corner to corner,
// at weights 0, 0.5 and 1, against Boost Graph Library's astar_search on the same grid and costs
// in the same run. Besides time, each benchmark reports the path's cells and cost and two
// measures of the memory one search needs:
//   heap_MB  the peak of heap bytes live during one search (this program counts every block
//            of malloc, calloc, realloc and free, which operator new and delete use too);
//   peak_MB  the rise of the resident-set high-water mark in a forked child that first returns
//            its free heap to the system and then runs one search.
// BM_FindPath also reports planner_MB, the bytes the planner allocates (pool, cost map, open list).
//
//   ./build/bench/pathfinding_bench
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
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

constexpr int kSide = 1024;

// Peak heap bytes, in MB, live while `work` runs, above those live before it.
double HeapPeakMb(const std::function<void()>& work) {
    const size_t base = gLiveBytes;
    gPeakBytes = base;
    work();
    return double(gPeakBytes - base) / (1024.0 * 1024.0);
}

struct Fixture {
    DynArray map;               // the command's input
    std::vector<double> values; // the same values, x fastest
    std::vector<float> costs;   // scaled as the planner scales them; -1 blocked
};

const Fixture& Map() {
    static Fixture* fx = [] {
        auto* f = new Fixture;
        std::mt19937 rng(20261206);
        std::uniform_real_distribution<double> unit(0, 1);
        f->map.Dim(kSide, kSide);
        f->values.resize(size_t(kSide) * kSide);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                double v = unit(rng) < 0.2 ? 0.0 : 1.0 + unit(rng) * 99.0;
                if ((x == 0 && y == 0) || (x == kSide - 1 && y == kSide - 1)) v = 1.0;
                f->values[size_t(y) * kSide + x] = v;
                f->map.At(x, y) = v;
            }
        }
        float top = 0;
        f->costs.resize(f->values.size());
        for (size_t i = 0; i < f->values.size(); ++i) {
            f->costs[i] = f->values[i] <= 0 ? -1.0f : float(f->values[i]);
            top = std::max(top, f->costs[i]);
        }
        for (float& c : f->costs)
            if (c != -1.0f) c = c / top + 1.0f;
        return f;
    }();
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

double PathCostOf(const std::vector<int>& cells) {
    const Fixture& fx = Map();
    double sum = 0;
    for (size_t i = 1; i < cells.size(); ++i) sum += fx.costs[size_t(cells[i])];
    return sum;
}

// ---- FindPath

void BM_FindPath(benchmark::State& state) {
    const double weight = double(state.range(0)) / 2.0;
    Fixture& fx = const_cast<Fixture&>(Map());
    DynArray result;
    double count = 0;
    for (auto _ : state) {
        count = FindPath(fx.map, result, weight, 0, 0, kSide - 1, kSide - 1);
        benchmark::DoNotOptimize(count);
    }
    if (count == 0) {
        state.SkipWithError("no path on the benchmark map");
        return;
    }
    std::vector<int> cells;
    for (int i = 0; i < int(count); ++i) cells.push_back(int(result.At(i, 1)) * kSide + int(result.At(i, 0)));
    state.counters["cells"] = count;
    state.counters["cost"] = PathCostOf(cells);

    PlannerParams p;
    p.goalX = p.goalY = kSide - 1;
    p.width = p.height = kSide;
    p.weight = float(weight);
    p.map = fx.map.Data();
    AStarPlanner planner;
    planner.Setup(p);
    state.counters["planner_MB"] = double(planner.StorageBytes()) / (1024.0 * 1024.0);
    auto once = [&] {
        DynArray r;
        FindPath(fx.map, r, weight, 0, 0, kSide - 1, kSide - 1);
    };
    state.counters["heap_MB"] = HeapPeakMb(once);
    state.counters["peak_MB"] = PeakGrowthMb(once);
}
BENCHMARK(BM_FindPath)->Arg(0)->Arg(1)->Arg(2)->ArgName("weight_x2")->Unit(benchmark::kMillisecond);

// ---- Boost baseline: the same cells as vertices, an edge into every open neighbour weighted
// with the neighbour's cost, f = g + k * Manhattan with k = weight / (1 - weight) (the same
// order as the planner's key; 1e6 stands in for the greedy weight 1).

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, float>>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

const Graph& BoostGraph() {
    static Graph* g = [] {
        const Fixture& fx = Map();
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
    state.counters["cost"] = PathCostOf(cells);
    auto once = [&] { BoostSearch(g, weight); };
    state.counters["heap_MB"] = HeapPeakMb(once);
    state.counters["peak_MB"] = PeakGrowthMb(once);
}
BENCHMARK(BM_BoostAStar)->Arg(0)->Arg(1)->Arg(2)->ArgName("weight_x2")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
