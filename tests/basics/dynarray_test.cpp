// DynArray and DynStringArray: dimensioning, storage reuse, checked indexing, Redim, copies,
// and the fatal errors 7, 8 and 9 (run in child processes).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/fatal_report.h"
#include "voxa/dynarray.h"

using voxatest::ExpectEndWithCode;

TEST(DynArrayDim, NewArrayIsUndimensioned) {
    DynArray a;
    EXPECT_EQ(a.DimCount(), -1);
    EXPECT_EQ(a.Capacity(), 0u);
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(a.Bounds(0), 0.0);
}

TEST(DynArrayDim, SmallArraysLiveInline) {
    DynArray a;
    a.Dim(10);
    EXPECT_EQ(a.DimCount(), 1);
    EXPECT_EQ(a.Capacity(), 16u);
    EXPECT_TRUE(a.IsInline());
    a.At(9) = 4.5;
    EXPECT_EQ(a.At(9.7), 4.5); // indices truncate toward zero
    EXPECT_EQ(a.Data()[9], 4.5);
    a.Dim(15); // T = 15 still fits the 16 inline elements
    EXPECT_TRUE(a.IsInline());
    EXPECT_EQ(a.Capacity(), 16u);
}

TEST(DynArrayDim, TwoDimensionsFirstIndexFastest) {
    DynArray a;
    a.Dim(3, 4);
    EXPECT_EQ(a.DimCount(), 2);
    EXPECT_EQ(a.Capacity(), 16u); // T = 12, C = 16
    a.At(2, 3) = 7;
    EXPECT_EQ(a.Data()[11], 7.0);
    a.At(1, 2) = 5;
    EXPECT_EQ(a.Data()[1 + 2 * 3], 5.0);
    EXPECT_EQ(a.Bounds(0), 3.0);
    EXPECT_EQ(a.Bounds(1), 4.0);
    EXPECT_EQ(a.Bounds(2), 0.0);
}

TEST(DynArrayDim, EightDimensionsUseEveryStride) {
    DynArray a;
    a.Dim(2, 2, 2, 2, 2, 2, 2, 2);
    EXPECT_EQ(a.DimCount(), 8);
    EXPECT_EQ(a.Capacity(), 264u); // T = 256
    a.At(1, 1, 1, 1, 1, 1, 1, 1) = 1;
    EXPECT_EQ(a.Data()[255], 1.0);
    a.At(0, 0, 0, 0, 0, 0, 0, 1) = 2;
    EXPECT_EQ(a.Data()[128], 2.0);
    a.At(1, 0, 1, 0, 0, 0, 0, 0) = 3;
    EXPECT_EQ(a.Data()[5], 3.0);
    EXPECT_EQ(a.Bounds(7), 2.0);
    EXPECT_EQ(a.Bounds(7.9), 2.0);
    EXPECT_EQ(a.Bounds(8), 0.0);
    EXPECT_EQ(a.Bounds(-1), 0.0);
    EXPECT_EQ(a.Bounds(NAN), 0.0);
}

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
        EXPECT_EQ(a.At(idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6], idx[7]), n + 0.5) << n;
    }
}

TEST(DynArrayDim, CapacityRoundsUpToTheNextBlockOfEight) {
    DynArray a;
    a.Dim(16);
    EXPECT_EQ(a.Capacity(), 24u); // T = 16, on the heap
    EXPECT_FALSE(a.IsInline());
    a.Dim(100);
    EXPECT_EQ(a.Capacity(), 104u);
    a.Dim(2.9, 0.5, 7); // sizes truncate; a size below 1 counts as 1 in T
    EXPECT_EQ(a.Bounds(0), 2.0);
    EXPECT_EQ(a.Bounds(1), 0.0);
    EXPECT_EQ(a.Bounds(2), 7.0);
    EXPECT_EQ(a.DimCount(), 3);
}

TEST(DynArrayDim, SmallerDimKeepsTheLargerStorageAndZeroesAllOfIt) {
    DynArray a;
    a.Dim(100);
    for (int i = 0; i < 100; ++i) a.At(i) = i + 1;
    const double* block = a.Data();
    a.Dim(5);
    EXPECT_EQ(a.Data(), block);
    EXPECT_EQ(a.Capacity(), 104u);
    for (uint32_t i = 0; i < a.Capacity(); ++i) ASSERT_EQ(a.Data()[i], 0.0) << i;
    EXPECT_EQ(a.Bounds(0), 5.0);
}

TEST(DynArrayDim, DimZeroEmptiesTheArrayAndReleasesTheBlock) {
    DynArray a;
    a.Dim(100);
    a.Dim(0);
    EXPECT_TRUE(a.IsInline());
    EXPECT_EQ(a.Capacity(), 8u);
    EXPECT_EQ(a.Bounds(0), 0.0);
    a.Dim(3); // usable again
    a.At(2) = 1;
    EXPECT_EQ(a.At(2), 1.0);
}

TEST(DynArrayDim, AZeroSizeBetweenUsedOnesDoesNotAliasElements) {
    DynArray a;
    a.Dim(3, 0, 4);
    EXPECT_EQ(a.DimCount(), 3);
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 3; ++i) a.At(i, 0, k) = i + 10 * k;
    }
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 3; ++i) ASSERT_EQ(a.At(i, 0, k), i + 10 * k);
    }
}

TEST(DynArrayRedim, KeepsTheCommonElements) {
    DynArray a;
    a.Dim(3, 3);
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) a.At(i, j) = 10 * i + j + 1;
    }
    a.Redim(2, 2);
    EXPECT_EQ(a.Bounds(0), 2.0);
    EXPECT_EQ(a.At(0, 0), 1.0);
    EXPECT_EQ(a.At(1, 0), 11.0);
    EXPECT_EQ(a.At(0, 1), 2.0);
    EXPECT_EQ(a.At(1, 1), 12.0);

    a.Redim(4, 3); // growing keeps everything and zero-fills the rest
    EXPECT_EQ(a.At(1, 1), 12.0);
    EXPECT_EQ(a.At(3, 2), 0.0);
    EXPECT_EQ(a.At(2, 0), 0.0);
}

TEST(DynArrayRedim, AddingADimensionKeepsTheOldRowAtIndexZero) {
    DynArray a;
    a.Dim(4);
    for (int i = 0; i < 4; ++i) a.At(i) = i + 1;
    a.Redim(4, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.At(i, 0), i + 1.0);
    EXPECT_EQ(a.At(3, 1), 0.0);
    DynArray fresh;
    fresh.Redim(3); // Redim of an undimensioned array is a Dim
    EXPECT_EQ(fresh.Bounds(0), 3.0);
}

TEST(DynArrayCopy, CopiesAreIndependent) {
    DynArray a;
    a.Dim(20, 2);
    a.At(19, 1) = 3.5;
    DynArray b(a);
    DynArray c;
    c.Dim(2);
    c = a;
    b.At(19, 1) = 1;
    EXPECT_EQ(a.At(19, 1), 3.5);
    EXPECT_EQ(c.At(19, 1), 3.5);
    EXPECT_EQ(c.Bounds(1), 2.0);
    DynArray empty;
    c = empty;
    EXPECT_EQ(c.DimCount(), -1);
    const DynArray& self = c;
    c = self;
    EXPECT_EQ(c.DimCount(), -1);
}

TEST(DynStringArrayTest, DimAtRedimAndCopy) {
    DynStringArray s;
    EXPECT_EQ(s.DimCount(), -1);
    s.Dim(3, 2);
    EXPECT_EQ(s.Capacity(), 8u);
    s.At(2, 1) = "last";
    s.At(0, 0) = "first";
    EXPECT_STREQ(s.At(2, 1).CStr(), "last");
    EXPECT_STREQ(s.At(1, 1).CStr(), "");

    DynStringArray copy = s;
    copy.At(0, 0) = "changed";
    EXPECT_STREQ(s.At(0, 0).CStr(), "first");

    s.Redim(2, 1);
    EXPECT_STREQ(s.At(0, 0).CStr(), "first");
    EXPECT_EQ(s.Bounds(1), 1.0);

    s.Dim(2); // keeps the storage and empties it
    EXPECT_STREQ(s.At(0).CStr(), "");
    EXPECT_EQ(s.Bounds(1), 0.0);
}

// ---- fatal errors: each ends the process with status 0 and leaves the debug report

TEST(DynArrayErrors, IndexAtTheSizeIsOutOfRange) {
    ExpectEndWithCode([] { DynArray a; a.Dim(10); a.At(10); }, 9, "arr_size");
}

TEST(DynArrayErrors, NegativeIndexIsOutOfRange) {
    ExpectEndWithCode([] { DynArray a; a.Dim(10); a.At(-0.5); }, 9, "arr_negative");
}

TEST(DynArrayErrors, NotANumberIndexIsOutOfRange) {
    ExpectEndWithCode([] { DynArray a; a.Dim(10); a.At(NAN); }, 9, "arr_nan");
}

TEST(DynArrayErrors, SecondIndexBeyondItsDimension) {
    ExpectEndWithCode([] { DynArray a; a.Dim(3, 4); a.At(0, 4); }, 9, "arr_second");
}

TEST(DynArrayErrors, IndexForADimensionTheArrayDoesNotHave) {
    ExpectEndWithCode([] { DynArray a; a.Dim(100); a.At(0, 1); }, 9, "arr_unused");
}

TEST(DynArrayErrors, NeverDimensioned) {
    ExpectEndWithCode([] { DynArray a; a.At(0); }, 8, "arr_undim");
}

TEST(DynArrayErrors, EmptiedByDimZero) {
    ExpectEndWithCode([] { DynArray a; a.Dim(100); a.Dim(0); a.At(0); }, 8, "arr_emptied");
}

TEST(DynArrayErrors, UndimensionedWinsOverANegativeIndex) {
    ExpectEndWithCode([] { DynArray a; a.At(-1); }, 8, "arr_undim_neg");
}

TEST(DynArrayErrors, AllocationThatCannotBeMade) {
    ExpectEndWithCode([] { DynArray a; a.Dim(1e6, 1e6, 1e6); }, 7, "arr_alloc");
}

// Every index count keeps every check: the last given index at its size, negative, NaN, an
// index for a dimension the array does not have, and an array never dimensioned.
TEST(DynArrayErrors, EveryIndexCountChecksEveryIndex) {
    for (int n = 3; n <= 8; ++n) {
        const std::string tag = "arr_n" + std::to_string(n);
        auto fails = [n](double last, int dims) {
            return [n, last, dims] {
                DynArray a;
                if (dims > 0) a.Dim(2, dims > 1 ? 2 : 0, dims > 2 ? 2 : 0, dims > 3 ? 2 : 0, dims > 4 ? 2 : 0,
                                    dims > 5 ? 2 : 0, dims > 6 ? 2 : 0, dims > 7 ? 2 : 0);
                double idx[8] = {1, 1, 1, 1, 1, 1, 1, 1};
                idx[n - 1] = last;
                AtCount(a, n, idx);
            };
        };
        ExpectEndWithCode(fails(2, n), 9, tag + "_size");
        ExpectEndWithCode(fails(-0.5, n), 9, tag + "_negative");
        ExpectEndWithCode(fails(NAN, n), 9, tag + "_nan");
        ExpectEndWithCode(fails(1, n - 1), 9, tag + "_unused");
        ExpectEndWithCode(fails(-1, 0), 8, tag + "_undim");
    }
}

TEST(DynStringArrayErrors, SameCodesAsNumericArrays) {
    ExpectEndWithCode([] { DynStringArray s; s.At(0); }, 8, "sarr_undim");
    ExpectEndWithCode([] { DynStringArray s; s.Dim(2); s.At(2); }, 9, "sarr_range");
    ExpectEndWithCode([] { DynStringArray s; s.Dim(1e5, 1e5, 1e5); }, 7, "sarr_alloc");
}
