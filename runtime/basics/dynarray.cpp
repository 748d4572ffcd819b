// DynArray / DynStringArray: dimensioning, checked indexing and re-dimensioning.
//
// Sizes are truncated toward zero. The element count T is the product of the sizes with a size
// below 1 counted as 1; the storage holds C = (T rounded down to a multiple of 8) + 8 elements,
// so re-dimensioning to a similar size reuses it. An index is accepted when it is not below 0 and,
// compared as a double, below its dimension's size (2.9 is element 2 of a size-3 dimension).
// An index given for a dimension the array does not have must be 0; anything else is an
// out-of-range error, so a stray index can never move the offset past the storage.
#include "voxa/dynarray.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

#include "base/errors.h"
#include "basics/arguments.h"

namespace {

constexpr uint32_t kInlineElements = 16;
constexpr double kMaxElements = 4294967288.0; // largest capacity a u32 can count

struct Shape {
    uint32_t dims[8] = {};
    double total = 0;   // T, as a double so that an absurd product is seen before it wraps
    int dimCount = 1;
};

uint32_t TruncSize(double d) {
    if (!(d >= 1.0)) return 0;            // below 1 and NaN: unused
    if (d >= 4294967295.0) return 4294967295u;
    return static_cast<uint32_t>(d);
}

Shape MakeShape(const double (&d)[8]) {
    Shape s;
    bool empty = !(d[0] >= 1.0);
    double t = 1;
    for (int k = 0; k < 8; ++k) {
        s.dims[k] = empty ? 0u : TruncSize(d[k]);
        t *= std::max<double>(1.0, s.dims[k]);
    }
    s.total = t;
    s.dimCount = 1;
    for (int k = 7; k >= 1; --k) {
        if (s.dims[k] != 0) { s.dimCount = k + 1; break; }
    }
    return s;
}

[[noreturn]] void Fatal(double code) {
    SetErrorCode(code);
    EndProgram();
}

// Offset of an index tuple, with the checks of At. Ends the program on a bad index.
template <typename Arr>
uint32_t CheckedOffset(const uint32_t (&dims)[8], const uint32_t (&stride)[7], const Arr* data,
                       const double (&idx)[8]) {
    if (dims[0] == 0) Fatal(8);
    for (double i : idx) {
        if (!(i >= 0.0)) Fatal(9);  // below 0, or NaN
    }
    if (data == nullptr) Fatal(9);
    for (int k = 0; k < 8; ++k) {
        if (dims[k] != 0 ? !(idx[k] < dims[k]) : idx[k] >= 1.0) Fatal(9);
    }
    uint32_t offset = static_cast<uint32_t>(idx[0]);
    for (int k = 1; k < 8; ++k) offset += static_cast<uint32_t>(idx[k]) * stride[k - 1];
    return offset;
}

void StoreShape(const Shape& s, uint32_t (&dims)[8], uint32_t (&stride)[7], int32_t& dimCount) {
    std::copy(std::begin(s.dims), std::end(s.dims), dims);
    uint32_t running = 1;
    for (int k = 0; k < 7; ++k) {
        // A size of 0 inside the shape counts as 1 here, as it does in the element count, so
        // that a later dimension never aliases an earlier one.
        running *= std::max<uint32_t>(1u, s.dims[k]);
        stride[k] = running;
    }
    dimCount = s.dimCount;
}

// Visits every index tuple inside the per-dimension minimum of two shapes (a dimension whose
// minimum is 0 is visited at index 0 only) and calls f(tuple).
template <typename F>
void ForCommonIndices(const uint32_t (&a)[8], const uint32_t (&b)[8], F f) {
    uint32_t lim[8];
    for (int k = 0; k < 8; ++k) lim[k] = std::max<uint32_t>(1u, std::min(a[k], b[k]));
    if (std::min(a[0], b[0]) == 0) return;
    double idx[8] = {};
    uint32_t cur[8] = {};
    for (;;) {
        for (int k = 0; k < 8; ++k) idx[k] = cur[k];
        f(idx);
        int k = 0;
        while (k < 8 && ++cur[k] == lim[k]) cur[k++] = 0;
        if (k == 8) return;
    }
}

// Size of dimension trunc(k); 0 for a k that truncates outside 0..7 (or NaN).
double BoundsOf(const uint32_t (&dims)[8], double k) {
    int32_t index = 0;
    return IdFrom(k, 8, index) ? dims[index] : 0.0;
}

} // namespace

// ---- DynArray

DynArray::DynArray(const DynArray& other) { *this = other; }

DynArray& DynArray::operator=(const DynArray& other) {
    if (this == &other) return *this;
    double d[8];
    for (int k = 0; k < 8; ++k) d[k] = other.dims_[k];
    if (other.dimCount_ < 0) {
        if (data_ != inlineStore_) delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
        dimCount_ = -1;
        std::fill(std::begin(dims_), std::end(dims_), 0u);
        std::fill(std::begin(stride_), std::end(stride_), 0u);
        SetLimits();
        return *this;
    }
    Dim(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
    if (data_ != nullptr && other.data_ != nullptr && other.dims_[0] != 0) {
        std::copy(other.data_, other.data_ + std::min(capacity_, other.capacity_), data_);
    }
    return *this;
}

DynArray::~DynArray() {
    if (data_ != inlineStore_) delete[] data_;
    data_ = nullptr;
}

void DynArray::Dim(double d1, double d2, double d3, double d4, double d5, double d6, double d7,
                   double d8) {
    const double d[8] = {d1, d2, d3, d4, d5, d6, d7, d8};
    Shape s = MakeShape(d);
    bool emptied = s.dims[0] == 0;
    if (s.total > kMaxElements) Fatal(7);
    uint32_t total = static_cast<uint32_t>(s.total);
    uint32_t cap = (total & ~7u) + 8u;
    if (cap > capacity_ || emptied) {
        if (data_ != inlineStore_) delete[] data_;
        data_ = nullptr;
        if (total < kInlineElements) {
            data_ = inlineStore_;
        } else {
            data_ = new (std::nothrow) double[cap];
        }
        capacity_ = data_ ? cap : 0u;
    }
    if (data_ == nullptr) Fatal(7);
    std::fill(data_, data_ + capacity_, 0.0);
    StoreShape(s, dims_, stride_, dimCount_);
    SetLimits();
}

void DynArray::Redim(double d1, double d2, double d3, double d4, double d5, double d6, double d7,
                     double d8) {
    DynArray fresh;
    fresh.Dim(d1, d2, d3, d4, d5, d6, d7, d8);
    if (dimCount_ >= 0) {
        ForCommonIndices(dims_, fresh.dims_, [&](const double (&idx)[8]) {
            fresh.At(idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6], idx[7]) =
                At(idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6], idx[7]);
        });
    }
    *this = fresh;
}

void DynArray::IndexError() const { Fatal(dims_[0] == 0 ? 8 : 9); }

void DynArray::SetLimits() {
    for (int k = 0; k < 8; ++k) {
        limit_[k] = dims_[0] == 0 ? 0.0 : static_cast<double>(std::max<uint32_t>(1u, dims_[k]));
    }
}

double DynArray::Bounds(double k) const { return BoundsOf(dims_, k); }

// ---- DynStringArray

DynStringArray::DynStringArray(const DynStringArray& other) { *this = other; }

DynStringArray& DynStringArray::operator=(const DynStringArray& other) {
    if (this == &other) return *this;
    if (other.dimCount_ < 0) {
        delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
        dimCount_ = -1;
        std::fill(std::begin(dims_), std::end(dims_), 0u);
        std::fill(std::begin(stride_), std::end(stride_), 0u);
        return *this;
    }
    Dim(other.dims_[0], other.dims_[1], other.dims_[2], other.dims_[3], other.dims_[4],
        other.dims_[5], other.dims_[6], other.dims_[7]);
    if (data_ != nullptr && other.data_ != nullptr && other.dims_[0] != 0) {
        uint32_t n = std::min(capacity_, other.capacity_);
        for (uint32_t i = 0; i < n; ++i) data_[i] = other.data_[i];
    }
    return *this;
}

DynStringArray::~DynStringArray() {
    delete[] data_;
    data_ = nullptr;
}

void DynStringArray::Dim(double d1, double d2, double d3, double d4, double d5, double d6,
                         double d7, double d8) {
    const double d[8] = {d1, d2, d3, d4, d5, d6, d7, d8};
    Shape s = MakeShape(d);
    bool emptied = s.dims[0] == 0;
    if (s.total > kMaxElements) Fatal(7);
    uint32_t total = static_cast<uint32_t>(s.total);
    uint32_t cap = (total & ~7u) + 8u;
    if (cap > capacity_ || emptied) {
        delete[] data_;
        data_ = new (std::nothrow) DynString[cap];
        capacity_ = data_ ? cap : 0u;
    } else {
        for (uint32_t i = 0; i < cap; ++i) data_[i] = "";
    }
    if (data_ == nullptr) Fatal(7);
    StoreShape(s, dims_, stride_, dimCount_);
}

void DynStringArray::Redim(double d1, double d2, double d3, double d4, double d5, double d6,
                           double d7, double d8) {
    DynStringArray fresh;
    fresh.Dim(d1, d2, d3, d4, d5, d6, d7, d8);
    if (dimCount_ >= 0) {
        ForCommonIndices(dims_, fresh.dims_, [&](const double (&idx)[8]) {
            fresh.At(idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6], idx[7]) =
                At(idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6], idx[7]);
        });
    }
    *this = fresh;
}

DynString& DynStringArray::At(double i1, double i2, double i3, double i4, double i5, double i6,
                              double i7, double i8) {
    const double idx[8] = {i1, i2, i3, i4, i5, i6, i7, i8};
    return data_[CheckedOffset(dims_, stride_, data_, idx)];
}

double DynStringArray::Bounds(double k) const { return BoundsOf(dims_, k); }
