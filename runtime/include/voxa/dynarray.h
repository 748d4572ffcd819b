// DynArray / DynStringArray: the arrays of the command interface. Up to eight dimensions,
// first index fastest, zero-filled (or emptied) by Dim. Every index is checked by At; a bad
// index ends the program through EndProgram with runtime error code 8 (not dimensioned) or
// 9 (out of range), a failed allocation with code 7. Arrays with fewer than 16 elements live
// inside the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "voxa/dynstring.h"

class DynArray {
public:
    DynArray() = default;
    DynArray(const DynArray& other);            // a copy: same sizes, same elements
    DynArray& operator=(const DynArray& other); // Dim with the source's sizes, then the elements copied
    ~DynArray();

    void Dim(double d1, double d2 = 0, double d3 = 0, double d4 = 0, double d5 = 0, double d6 = 0,
             double d7 = 0, double d8 = 0);   // all elements 0; d1 < 1 empties the array
    void Redim(double d1, double d2 = 0, double d3 = 0, double d4 = 0, double d5 = 0, double d6 = 0,
               double d7 = 0, double d8 = 0); // as Dim, keeping the elements inside both sizes
    // Checked element reference. Every form is inline and checks only the indices given: an
    // index left out is 0, which every dimensioned array accepts. A failed check ends the program
    // with code 8 (array empty) or 9 (index out of range).
    double& At(double i1) { return AtN(i1); }
    double& At(double i1, double i2) { return AtN(i1, i2); }
    double& At(double i1, double i2, double i3) { return AtN(i1, i2, i3); }
    double& At(double i1, double i2, double i3, double i4) { return AtN(i1, i2, i3, i4); }
    double& At(double i1, double i2, double i3, double i4, double i5) { return AtN(i1, i2, i3, i4, i5); }
    double& At(double i1, double i2, double i3, double i4, double i5, double i6) {
        return AtN(i1, i2, i3, i4, i5, i6);
    }
    double& At(double i1, double i2, double i3, double i4, double i5, double i6, double i7) {
        return AtN(i1, i2, i3, i4, i5, i6, i7);
    }
    double& At(double i1, double i2, double i3, double i4, double i5, double i6, double i7, double i8) {
        return AtN(i1, i2, i3, i4, i5, i6, i7, i8);
    }
    double Bounds(double k) const;            // size of dimension k (0..7), 0 for any other k

    int DimCount() const { return dimCount_; }        // -1 before the first Dim
    uint32_t Capacity() const { return capacity_; }   // elements the storage holds
    bool IsInline() const { return data_ == inlineStore_; }
    double* Data() { return data_; }                  // element storage (first index fastest)
    const double* Data() const { return data_; }

private:
    // The indices given checked against limit_ (NaN and negatives fail), then the offset. Both
    // are folded from the right, so the part that depends only on the outer indices stays the
    // same along a run of the first index and the compiler lifts it out of the caller's loop; the
    // checks are combined without branching, leaving one test per element.
    template <typename... I>
    double& AtN(I... i) {
        return AtSequence({i...}, std::index_sequence_for<I...>());
    }
    template <size_t... k>
    double& AtSequence(const double (&idx)[sizeof...(k)], std::index_sequence<k...>) {
        const bool ok = (((idx[k] >= 0.0) & (idx[k] < limit_[k])) & ...);
        if (!ok) IndexError();
        return data_[(Term<k>(idx[k]) + ...)];
    }
    template <size_t k>
    uint32_t Term(double i) const {
        if constexpr (k == 0) return static_cast<uint32_t>(i);
        else return static_cast<uint32_t>(i) * stride_[k - 1];
    }
    // A failed check: code 8 when the array is empty, else 9. Never returns, so the inline
    // forms keep their loop's values in registers across it.
    [[noreturn]] void IndexError() const;
    void SetLimits();

    double* data_ = nullptr;       // inlineStore_ or a heap block; null before the first Dim
    double inlineStore_[16] = {};  // storage for arrays of fewer than 16 elements
    uint32_t stride_[7] = {};      // stride_[k] = d1 * .. * d(k+1)
    uint32_t dims_[8] = {};        // truncated sizes; 0 = dimension not used
    int32_t dimCount_ = -1;        // index of the last used dimension + 1; -1 before the first Dim
    uint32_t capacity_ = 0;        // elements in the storage
    double limit_[8] = {};         // indices must stay below these: the size, 1 for an unused
                                   // dimension; all 0 while the array is empty (d1 = 0)
};

class DynStringArray {
public:
    DynStringArray() = default;
    DynStringArray(const DynStringArray& other); // a copy: same sizes, same texts
    DynStringArray& operator=(const DynStringArray& other);
    ~DynStringArray();

    void Dim(double d1, double d2 = 0, double d3 = 0, double d4 = 0, double d5 = 0, double d6 = 0,
             double d7 = 0, double d8 = 0);   // all elements empty texts; d1 < 1 empties the array
    void Redim(double d1, double d2 = 0, double d3 = 0, double d4 = 0, double d5 = 0, double d6 = 0,
               double d7 = 0, double d8 = 0); // as Dim, keeping the texts inside both sizes
    DynString& At(double i1, double i2 = 0, double i3 = 0, double i4 = 0, double i5 = 0,
                  double i6 = 0, double i7 = 0, double i8 = 0); // checked element; code 8 or 9 ends the program
    double Bounds(double k) const;            // size of dimension k (0..7), 0 for any other k

    int DimCount() const { return dimCount_; }        // -1 before the first Dim
    uint32_t Capacity() const { return capacity_; }   // elements the storage holds

private:
    DynString* data_ = nullptr; // heap array of capacity_ strings; null before the first Dim
    uint32_t stride_[7] = {};
    uint32_t dims_[8] = {};
    int32_t dimCount_ = -1;
    uint32_t capacity_ = 0;
};
