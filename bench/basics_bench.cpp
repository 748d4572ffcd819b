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

constexpr int kSide3 = 16; // 16 x 16 x 16

void BM_VectorRead3D(benchmark::State& state) {
    std::vector<double> v(kCount);
    for (int i = 0; i < kCount; ++i) v[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double z = 0; z < kSide3; ++z) {
            for (double y = 0; y < kSide3; ++y) {
                for (double x = 0; x < kSide3; ++x) {
                    sum += v[static_cast<size_t>(x) + static_cast<size_t>(y) * kSide3 +
                             static_cast<size_t>(z) * (kSide3 * kSide3)];
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_VectorRead3D);

void BM_DynArrayAt3D(benchmark::State& state) {
    DynArray a;
    a.Dim(kSide3, kSide3, kSide3);
    for (int i = 0; i < kCount; ++i) a.Data()[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (double z = 0; z < kSide3; ++z) {
            for (double y = 0; y < kSide3; ++y) {
                for (double x = 0; x < kSide3; ++x) sum += a.At(x, y, z);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_DynArrayAt3D);

// 8D: 4 x 4 x 4 x 4 x 2 x 2 x 2 x 2, the outer four dimensions folded into one loop so that both
// sides run the same loop nest; the inner four are visited in order.
constexpr int kSizes8[8] = {4, 4, 4, 4, 2, 2, 2, 2};

void BM_VectorRead8D(benchmark::State& state) {
    std::vector<double> v(kCount);
    for (int i = 0; i < kCount; ++i) v[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (int outer = 0; outer < 16; ++outer) {
            const double i5 = outer & 1, i6 = (outer >> 1) & 1, i7 = (outer >> 2) & 1, i8 = outer >> 3;
            for (double i4 = 0; i4 < kSizes8[3]; ++i4) {
                for (double i3 = 0; i3 < kSizes8[2]; ++i3) {
                    for (double i2 = 0; i2 < kSizes8[1]; ++i2) {
                        for (double i1 = 0; i1 < kSizes8[0]; ++i1) {
                            sum += v[static_cast<size_t>(i1) + static_cast<size_t>(i2) * 4 +
                                     static_cast<size_t>(i3) * 16 + static_cast<size_t>(i4) * 64 +
                                     static_cast<size_t>(i5) * 256 + static_cast<size_t>(i6) * 512 +
                                     static_cast<size_t>(i7) * 1024 + static_cast<size_t>(i8) * 2048];
                        }
                    }
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_VectorRead8D);

void BM_DynArrayAt8D(benchmark::State& state) {
    DynArray a;
    a.Dim(kSizes8[0], kSizes8[1], kSizes8[2], kSizes8[3], kSizes8[4], kSizes8[5], kSizes8[6], kSizes8[7]);
    for (int i = 0; i < kCount; ++i) a.Data()[i] = i * 0.5;
    for (auto _ : state) {
        double sum = 0;
        for (int outer = 0; outer < 16; ++outer) {
            const double i5 = outer & 1, i6 = (outer >> 1) & 1, i7 = (outer >> 2) & 1, i8 = outer >> 3;
            for (double i4 = 0; i4 < kSizes8[3]; ++i4) {
                for (double i3 = 0; i3 < kSizes8[2]; ++i3) {
                    for (double i2 = 0; i2 < kSizes8[1]; ++i2) {
                        for (double i1 = 0; i1 < kSizes8[0]; ++i1) sum += a.At(i1, i2, i3, i4, i5, i6, i7, i8);
                    }
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
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
