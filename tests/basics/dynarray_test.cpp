// DynArray and DynStringArray, and their fatal errors 7, 8 and 9 (run in child processes).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/fatal_report.h"
#include "voxa/dynarray.h"

namespace {

// The element reference with exactly n indices (each count has its own form).
double& AtCount(DynArray& a, int n, const double (&i)[8]) {
    switch (n) {
    case 1: return a.At(i[0]);
    case 2: return a.At(i[0], i[1]);
    case 3: return a.At(i[0], i[1], i[2]);
    case 4: return a.At(i[0], i[1], i[2], i[3]);
    case 5: return a.At(i[0], i[1], i[2], i[3], i[4]);
    case 6: return a.At(i[0], i[1], i[2], i[3], i[4], i[5]);
    case 7: return a.At(i[0], i[1], i[2], i[3], i[4], i[5], i[6]);
    default: return a.At(i[0], i[1], i[2], i[3], i[4], i[5], i[6], i[7]);
    }
}

// Dim with the sizes given; the dimensions left out are 0 (unused).
void DimSizes(DynArray& a, std::vector<double> s) {
    s.resize(8, 0);
    a.Dim(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
}

} // namespace

TEST(DynArrayDim, StorageSizeAndBounds) {
    struct Case {
        std::vector<double> sizes; // none: never dimensioned
        int dims;
        unsigned capacity;
        bool isInline;
        std::vector<double> bounds; // Bounds(0..): sizes truncate, a size below 1 reads 0
    } cases[] = {
        {{}, -1, 0, false, {0}}, {{3, 4}, 2, 16, true, {3, 4, 0}},
        {{15}, 1, 16, true, {15, 0}}, // T = 15 still fits the 16 inline elements
        {{16}, 1, 24, false, {16}},   // on the heap: the next block of eight above T
        {{2.9, 0.5, 7}, 3, 16, true, {2, 0, 7, 0}},
        {{2, 2, 2, 2, 2, 2, 2, 2}, 8, 264, false, {2, 2, 2, 2, 2, 2, 2, 2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dims);
        DynArray a;
        if (!c.sizes.empty()) DimSizes(a, c.sizes);
        EXPECT_EQ(a.DimCount(), c.dims);
        EXPECT_EQ(a.Capacity(), c.capacity);
        EXPECT_EQ(a.IsInline(), c.isInline);
        for (size_t k = 0; k < c.bounds.size(); ++k) EXPECT_EQ(a.Bounds(double(k)), c.bounds[k]) << k;
    }
    DynArray a;
    a.Dim(2, 2, 2, 2, 2, 2, 2, 2);
    for (double k : {7.9, -1.0, double(NAN)}) EXPECT_EQ(a.Bounds(k), k > 7 ? 2.0 : 0.0) << k;
}

// Sizes 3, 2, 4, 3, 2, 2, 3, 2: the last index of every count reaches the last element of its
// dimension (given as x.9, which truncates), and the indices left out address index 0.
TEST(DynArrayDim, EveryIndexCountAddressesItsOffset) {
    const double sizes[8] = {3, 2, 4, 3, 2, 2, 3, 2};
    for (int n = 1; n <= 8; ++n) {
        DynArray a;
        a.Dim(sizes[0], sizes[1], sizes[2], sizes[3], sizes[4], sizes[5], sizes[6], sizes[7]);
        double idx[8] = {};
        uint32_t offset = 0, stride = 1;
        for (int k = 0; k < n; ++k) {
            idx[k] = k % 2 == 0 ? sizes[k] - 0.1 : 1;
            offset += uint32_t(idx[k]) * stride;
            stride *= uint32_t(sizes[k]);
        }
        AtCount(a, n, idx) = n + 0.5;
        EXPECT_EQ(a.Data()[offset], n + 0.5) << n << " indices";
    }
    DynArray z; // a zero size between used ones does not alias elements
    z.Dim(3, 0, 4);
    for (int k = 0; k < 12; ++k) z.At(k % 3, 0, k / 3) = k;
    for (int k = 0; k < 12; ++k) ASSERT_EQ(z.At(k % 3, 0, k / 3), k);
}

TEST(DynArrayDim, DimReusesOrReleasesTheBlockAndZeroesIt) {
    DynArray a;
    a.Dim(100);
    for (int i = 0; i < 100; ++i) a.At(i) = i + 1;
    const double* block = a.Data();
    a.Dim(5); // smaller: same block, all of it zeroed
    EXPECT_EQ(a.Data(), block);
    EXPECT_EQ(a.Capacity(), 104u);
    for (uint32_t i = 0; i < a.Capacity(); ++i) ASSERT_EQ(a.Data()[i], 0.0) << i;
    a.Dim(0); // empties the array and releases the block
    EXPECT_TRUE(a.IsInline());
    EXPECT_EQ(a.Capacity(), 8u);
    EXPECT_EQ(a.Bounds(0), 0.0);
    a.Dim(3);
    a.At(2) = 1;
    EXPECT_EQ(a.At(2), 1.0);
}

TEST(DynArrayRedim, KeepsTheCommonElementsAndCopiesAreIndependent) {
    DynArray a, row, fresh;
    a.Dim(3, 3);
    for (int k = 0; k < 9; ++k) a.At(k / 3, k % 3) = 10 * (k / 3) + k % 3 + 1;
    a.Redim(2, 2);
    EXPECT_EQ(std::vector<double>({a.Bounds(0), a.At(0, 0), a.At(1, 0), a.At(0, 1), a.At(1, 1)}),
              std::vector<double>({2, 1, 11, 2, 12}));
    a.Redim(4, 3); // growing keeps everything and zero-fills the rest
    EXPECT_EQ(std::vector<double>({a.At(1, 1), a.At(3, 2), a.At(2, 0)}), std::vector<double>({12, 0, 0}));
    row.Dim(4);
    for (int i = 0; i < 4; ++i) row.At(i) = i + 1;
    row.Redim(4, 2); // adding a dimension keeps the old row at index 0
    EXPECT_EQ(std::vector<double>({row.At(0, 0), row.At(3, 0), row.At(3, 1)}), std::vector<double>({1, 4, 0}));
    fresh.Redim(3); // Redim of an undimensioned array is a Dim
    EXPECT_EQ(fresh.Bounds(0), 3.0);

    a.Dim(20, 2); // on the heap
    a.At(19, 1) = 3.5;
    DynArray b(a), c;
    c.Dim(2);
    c = a;
    b.At(19, 1) = 1;
    EXPECT_EQ(a.At(19, 1) + c.At(19, 1), 7.0);
    EXPECT_EQ(c.Bounds(1), 2.0);
    c = DynArray();
    const DynArray& self = c;
    c = self;
    EXPECT_EQ(c.DimCount(), -1);

    DynStringArray s;
    s.Dim(3, 2);
    EXPECT_EQ(s.Capacity(), 8u);
    s.At(2, 1) = "last";
    s.At(0, 0) = "first";
    DynStringArray copy = s;
    copy.At(0, 0) = "changed";
    EXPECT_EQ(std::string(s.At(0, 0).CStr()) + s.At(1, 1).CStr() + s.At(2, 1).CStr(), "firstlast");
    s.Redim(2, 1);
    EXPECT_STREQ(s.At(0, 0).CStr(), "first");
    EXPECT_EQ(s.Bounds(1), 1.0);
    s.Dim(2); // keeps the storage and empties it
    EXPECT_STREQ(s.At(0).CStr(), "");
    EXPECT_EQ(s.Bounds(1), 0.0);
}

// Each fatal error ends the process with status 0 and leaves the debug report. Every index count
// keeps every check: the last given index at its size, negative, NaN, an index for a dimension
// the array does not have, and an array never dimensioned (which wins over a bad index).
TEST(DynArrayErrors, EveryIndexCountChecksEveryIndex) {
    using voxatest::ExpectEndWithCode;
    ExpectEndWithCode([] { DynArray a; a.Dim(100); a.Dim(0); a.At(0); }, 8, "arr_emptied");
    ExpectEndWithCode([] { DynArray a; a.Dim(1e6, 1e6, 1e6); }, 7, "arr_alloc");
    ExpectEndWithCode([] { DynStringArray s; s.At(0); }, 8, "sarr_undim");
    ExpectEndWithCode([] { DynStringArray s; s.Dim(2); s.At(2); }, 9, "sarr_range");
    ExpectEndWithCode([] { DynStringArray s; s.Dim(1e5, 1e5, 1e5); }, 7, "sarr_alloc");
    for (int n = 1; n <= 8; ++n) {
        const std::string tag = "arr_n" + std::to_string(n);
        auto fails = [n](double last, int dims) {
            return [n, last, dims] {
                DynArray a;
                if (dims > 0) DimSizes(a, std::vector<double>(size_t(dims), 2));
                double idx[8] = {1, 1, 1, 1, 1, 1, 1, 1};
                idx[n - 1] = last;
                AtCount(a, n, idx);
            };
        };
        ExpectEndWithCode(fails(2, n), 9, tag + "_size");
        ExpectEndWithCode(fails(-0.5, n), 9, tag + "_negative");
        ExpectEndWithCode(fails(NAN, n), 9, tag + "_nan");
        if (n > 1) ExpectEndWithCode(fails(1, n - 1), 9, tag + "_unused");
        ExpectEndWithCode(fails(-1, 0), 8, tag + "_undim");
    }
}
