// Basics against plain C++ in the same run:
//   - DynArray::At reads (every index checked) against std::vector<double> indexing, on a 1D
//     and a 2D array summed in order with double indices, as game code indexes;
//   - building a 1 MB DynString by one-byte appends against std::string (the same += of a
//     one-character text, and push_back, the fastest way std::string has).
// Targets: At within 3x of the vector, appends within 2x of std::string.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "basics/dynarray.h"
#include "basics/dynstring.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 64;
constexpr int kCount = kWidth * kHeight;
constexpr size_t kTextBytes = 1 << 20;

void BM_VectorRead1D(benchmark::State& state) {
    std::vector<double> v(kCount);
    for (int i = 0; i < kCount; ++i) v[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double i = 0; i < kCount; ++i) sum += v[static_cast<size_t>(i)];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_VectorRead1D);

void BM_DynArrayAt1D(benchmark::State& state) {
    DynArray a;
    a.Dim(kCount);
    for (int i = 0; i < kCount; ++i) a.At(i) = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double i = 0; i < kCount; ++i) sum += a.At(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_DynArrayAt1D);

void BM_VectorRead2D(benchmark::State& state) {
    std::vector<double> v(kCount);
    for (int i = 0; i < kCount; ++i) v[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double y = 0; y < kHeight; ++y) {
            for (double x = 0; x < kWidth; ++x) {
                sum += v[static_cast<size_t>(x) + static_cast<size_t>(y) * kWidth];
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_VectorRead2D);

void BM_DynArrayAt2D(benchmark::State& state) {
    DynArray a;
    a.Dim(kWidth, kHeight);
    for (int i = 0; i < kCount; ++i) a.Data()[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double y = 0; y < kHeight; ++y) {
            for (double x = 0; x < kWidth; ++x) sum += a.At(x, y);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_DynArrayAt2D);

void BM_StdStringAppend1MB(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (size_t i = 0; i < kTextBytes; ++i) s += "x";
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(state.iterations() * kTextBytes);
}
BENCHMARK(BM_StdStringAppend1MB)->Unit(benchmark::kMillisecond);

void BM_StdStringPushBack1MB(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (size_t i = 0; i < kTextBytes; ++i) s.push_back('x');
        benchmark::DoNotOptimize(s.data());
    }
    state.SetBytesProcessed(state.iterations() * kTextBytes);
}
BENCHMARK(BM_StdStringPushBack1MB)->Unit(benchmark::kMillisecond);

void BM_DynStringAppend1MB(benchmark::State& state) {
    for (auto _ : state) {
        DynString s;
        for (size_t i = 0; i < kTextBytes; ++i) s += "x";
        benchmark::DoNotOptimize(s.CStr());
    }
    state.SetBytesProcessed(state.iterations() * kTextBytes);
}
BENCHMARK(BM_DynStringAppend1MB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
