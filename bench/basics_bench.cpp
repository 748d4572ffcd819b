// Basics against plain C++ in the same run:
//   - DynArray::At reads (every index checked) against std::vector<double> indexing, on a 1D,
//     a 2D, a 3D and an 8D array of 4096 elements summed in order with double indices, as game
//     code indexes (the vector gets the same flat offset computed from the same indices);
//   - building a 1 MB DynString by one-byte appends against std::string (the same += of a
//     one-character text, and push_back, the fastest way std::string has).
// Targets: At within 3x of the vector, appends within 2x of std::string.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "voxa/dynarray.h"
#include "voxa/dynstring.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 64;
constexpr int kCount = kWidth * kHeight;
constexpr int kSide3 = 16;                             // 3D: 16 x 16 x 16
constexpr int kSizes8[8] = {4, 4, 4, 4, 2, 2, 2, 2};   // 8D
constexpr size_t kTextBytes = 1 << 20;

// Each array benchmark sums all 4096 elements in order through read(indices...), a vector
// read or an At; the loop nests are shared so both sides run the same loops.
template <typename Read>
void Sum1D(benchmark::State& state, Read read) {
    for (auto _ : state) {
        double sum = 0;
        for (double i = 0; i < kCount; ++i) sum += read(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

template <typename Read>
void Sum2D(benchmark::State& state, Read read) {
    for (auto _ : state) {
        double sum = 0;
        for (double y = 0; y < kHeight; ++y) {
            for (double x = 0; x < kWidth; ++x) sum += read(x, y);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

template <typename Read>
void Sum3D(benchmark::State& state, Read read) {
    for (auto _ : state) {
        double sum = 0;
        for (double z = 0; z < kSide3; ++z) {
            for (double y = 0; y < kSide3; ++y) {
                for (double x = 0; x < kSide3; ++x) sum += read(x, y, z);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

// The outer four dimensions (2 x 2 x 2 x 2) are folded into one loop; the inner four are
// visited in order.
template <typename Read>
void Sum8D(benchmark::State& state, Read read) {
    for (auto _ : state) {
        double sum = 0;
        for (int outer = 0; outer < 16; ++outer) {
            const double i5 = outer & 1, i6 = (outer >> 1) & 1, i7 = (outer >> 2) & 1, i8 = outer >> 3;
            for (double i4 = 0; i4 < kSizes8[3]; ++i4) {
                for (double i3 = 0; i3 < kSizes8[2]; ++i3) {
                    for (double i2 = 0; i2 < kSizes8[1]; ++i2) {
                        for (double i1 = 0; i1 < kSizes8[0]; ++i1) sum += read(i1, i2, i3, i4, i5, i6, i7, i8);
                    }
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

std::vector<double> FilledVector() {
    std::vector<double> v(kCount);
    for (int i = 0; i < kCount; ++i) v[i] = i * 0.5;
    return v;
}

void Fill(DynArray& a) {
    for (int i = 0; i < kCount; ++i) a.Data()[i] = i * 0.5;
}

size_t Index(double i) { return static_cast<size_t>(i); }

void BM_VectorRead1D(benchmark::State& state) {
    const std::vector<double> v = FilledVector();
    Sum1D(state, [&](double i) { return v[Index(i)]; });
}
BENCHMARK(BM_VectorRead1D);

void BM_DynArrayAt1D(benchmark::State& state) {
    DynArray a;
    a.Dim(kCount);
    Fill(a);
    Sum1D(state, [&](double i) { return a.At(i); });
}
BENCHMARK(BM_DynArrayAt1D);

void BM_VectorRead2D(benchmark::State& state) {
    const std::vector<double> v = FilledVector();
    Sum2D(state, [&](double x, double y) { return v[Index(x) + Index(y) * kWidth]; });
}
BENCHMARK(BM_VectorRead2D);

void BM_DynArrayAt2D(benchmark::State& state) {
    DynArray a;
    a.Dim(kWidth, kHeight);
    Fill(a);
    Sum2D(state, [&](double x, double y) { return a.At(x, y); });
}
BENCHMARK(BM_DynArrayAt2D);

void BM_VectorRead3D(benchmark::State& state) {
    const std::vector<double> v = FilledVector();
    Sum3D(state, [&](double x, double y, double z) {
        return v[Index(x) + Index(y) * kSide3 + Index(z) * (kSide3 * kSide3)];
    });
}
BENCHMARK(BM_VectorRead3D);

void BM_DynArrayAt3D(benchmark::State& state) {
    DynArray a;
    a.Dim(kSide3, kSide3, kSide3);
    Fill(a);
    Sum3D(state, [&](double x, double y, double z) { return a.At(x, y, z); });
}
BENCHMARK(BM_DynArrayAt3D);

void BM_VectorRead8D(benchmark::State& state) {
    const std::vector<double> v = FilledVector();
    Sum8D(state, [&](double i1, double i2, double i3, double i4, double i5, double i6, double i7, double i8) {
        return v[Index(i1) + Index(i2) * 4 + Index(i3) * 16 + Index(i4) * 64 + Index(i5) * 256 + Index(i6) * 512 +
                 Index(i7) * 1024 + Index(i8) * 2048];
    });
}
BENCHMARK(BM_VectorRead8D);

void BM_DynArrayAt8D(benchmark::State& state) {
    DynArray a;
    a.Dim(kSizes8[0], kSizes8[1], kSizes8[2], kSizes8[3], kSizes8[4], kSizes8[5], kSizes8[6], kSizes8[7]);
    Fill(a);
    Sum8D(state, [&](double i1, double i2, double i3, double i4, double i5, double i6, double i7, double i8) {
        return a.At(i1, i2, i3, i4, i5, i6, i7, i8);
    });
}
BENCHMARK(BM_DynArrayAt8D);

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
