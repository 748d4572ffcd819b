// DynString: growth rule, conversions, concatenation and comparison operators.
#include "voxa/dynstring.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "basics/clocale.h"

namespace {

constexpr uint32_t kNumberReserve = 64; // numbers are printed into a buffer reserved for 64 (capacity 512)
constexpr uint32_t kMaxLength = 0xFFFFFDFFu; // longest text whose growth-rule capacity fits in 32 bits

int Compare(const char* a, const char* b) { return std::strcmp(a, b); }

// The buffer lives in malloc'ed memory so that growth can use realloc: a text built by many
// appends grows in steps of 512 bytes, and realloc extends a block in place (or remaps it)
// where a fresh block would copy the whole text at every step.
char* Allocate(size_t bytes) {
    void* p = std::malloc(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<char*>(p);
}

bool PointsInto(const char* p, const char* buffer, uint32_t capacity) {
    auto at = reinterpret_cast<uintptr_t>(p);
    auto base = reinterpret_cast<uintptr_t>(buffer);
    return buffer != nullptr && at >= base && at < base + capacity;
}

} // namespace

DynString::DynString() : buffer_(Allocate(4)), capacity_(4), length_(0) { buffer_[0] = '\0'; }

DynString::DynString(const char* text) { Assign(text); }

DynString::DynString(const DynString& other) {
    Reserve(other.length_);
    std::memcpy(buffer_, other.CStr(), other.length_);
    buffer_[other.length_] = '\0';
    length_ = other.length_;
}

DynString::DynString(DynString&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0u)),
      length_(std::exchange(other.length_, 0u)) {}

DynString::DynString(int value) { SetNumber("%d", 0.0, true, value); }
DynString::DynString(float value) { SetNumber("%g", static_cast<double>(value), false, 0); }
DynString::DynString(double value) { SetNumber("%g", value, false, 0); }

DynString::~DynString() {
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    length_ = 0;
}

void DynString::SetNumber(const char* format, double value, bool isInt, int intValue) {
    Reserve(kNumberReserve);
    CLocaleScope cLocale;
    int n = isInt ? std::snprintf(buffer_, capacity_, format, intValue)
                  : std::snprintf(buffer_, capacity_, format, value);
    length_ = n < 0 ? 0u : static_cast<uint32_t>(n);
    if (length_ >= capacity_) length_ = capacity_ - 1;
}

DynString& DynString::operator=(const char* text) { return Assign(text); }

DynString& DynString::operator=(const DynString& other) {
    if (this == &other) return *this;
    Reserve(other.length_);
    std::memmove(buffer_, other.CStr(), other.length_);
    buffer_[other.length_] = '\0';
    length_ = other.length_;
    return *this;
}

DynString& DynString::operator=(DynString&& other) noexcept {
    if (this != &other) {
        std::free(buffer_);
        buffer_ = std::exchange(other.buffer_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0u);
        length_ = std::exchange(other.length_, 0u);
    }
    return *this;
}

DynString& DynString::operator=(int value) { SetNumber("%d", 0.0, true, value); return *this; }
DynString& DynString::operator=(float value) { SetNumber("%g", value, false, 0); return *this; }
DynString& DynString::operator=(double value) { SetNumber("%g", value, false, 0); return *this; }

DynString& DynString::AssignExact(const char* text) {
    if (text == nullptr) text = "";
    size_t n = std::strlen(text);
    char* fresh = Allocate(n + 1);
    std::memcpy(fresh, text, n + 1);
    std::free(buffer_);
    buffer_ = fresh;
    capacity_ = static_cast<uint32_t>(n + 1);
    length_ = static_cast<uint32_t>(n);
    return *this;
}

DynString& DynString::Assign(const char* text) {
    if (text == nullptr) text = ""; // a caller's mistake reads as the empty text, never a crash
    const size_t length = std::strlen(text);
    if (length > kMaxLength) throw std::bad_alloc(); // would wrap the 32-bit length
    uint32_t n = static_cast<uint32_t>(length);
    if (PointsInto(text, buffer_, capacity_)) {
        // Assigning a part of our own text: move it to the front, no reallocation needed.
        std::memmove(buffer_, text, n + 1);
        length_ = n;
        return *this;
    }
    Reserve(n);
    std::memcpy(buffer_, text, n + 1);
    length_ = n;
    return *this;
}

void DynString::AppendGrowing(const char* bytes, uint32_t count) {
    uint32_t old = length_;
    if (PointsInto(bytes, buffer_, capacity_)) {
        // Appending (part of) ourselves: copy first, Reserve may move the buffer.
        std::string copy(bytes, count);
        AppendGrowing(copy.data(), count);
        return;
    }
    if (count > kMaxLength - old) throw std::bad_alloc();
    Reserve(old + count);
    std::memcpy(buffer_ + old, bytes, count);
    length_ = old + count;
    buffer_[length_] = '\0';
}


DynString& DynString::operator+=(const DynString& other) {
    if (this == &other) {
        DynString copy(other);
        AppendBytes(copy.CStr(), copy.length_);
    } else {
        AppendBytes(other.CStr(), other.length_);
    }
    return *this;
}

DynString& DynString::operator+=(int value) { return *this += DynString(value); }
DynString& DynString::operator+=(float value) { return *this += DynString(value); }
DynString& DynString::operator+=(double value) { return *this += DynString(value); }

void DynString::Reserve(uint32_t needed) {
    // The 4-byte buffer of a default string (and an exact-size buffer) is not a growth-rule
    // capacity: the first Reserve replaces it with one, so appending one character to a default
    // string gives capacity 512.
    if (capacity_ > needed && capacity_ >= 512) return;
    // The next multiple of 512 above needed must fit the 32-bit capacity.
    if (needed > kMaxLength) throw std::bad_alloc();
    uint32_t grown = (needed & ~511u) + 512u;
    if (buffer_ == nullptr) {
        buffer_ = Allocate(grown);
        buffer_[0] = '\0';
    } else {
        // realloc keeps the old bytes, so a text written through GetBuffer whose length field
        // is not up to date survives. grown always exceeds the old capacity: the NUL written
        // there ends a text that filled the old buffer without one.
        void* fresh = std::realloc(buffer_, grown);
        if (fresh == nullptr) throw std::bad_alloc();
        buffer_ = static_cast<char*>(fresh);
        buffer_[capacity_] = '\0';
    }
    capacity_ = grown;
}

char* DynString::GetBuffer(uint32_t minCapacity) {
    Reserve(minCapacity);
    return buffer_;
}

uint32_t DynString::UpdateLength() {
    length_ = buffer_ ? static_cast<uint32_t>(strnlen(buffer_, capacity_)) : 0u;
    return length_;
}

void DynString::Truncate(int n) {
    buffer_[n] = '\0';
    UpdateLength();
}

void DynString::TrimControlEnd() {
    if (buffer_ == nullptr) return;
    for (int32_t i = static_cast<int32_t>(strnlen(buffer_, capacity_)) - 1; i >= 0; --i) {
        if (static_cast<signed char>(buffer_[i]) > 31) break;
        buffer_[i] = '\0';
    }
}

double DynString::ToNumber() const {
    CLocaleScope cLocale;
    return std::strtod(CStr(), nullptr);
}

double Find(const char* haystack, const char* needle) {
    if (haystack == nullptr) haystack = "";
    if (needle == nullptr) needle = "";
    const char* hit = std::strstr(haystack, needle);
    return hit ? static_cast<double>(hit - haystack) : -1.0;
}

// ---- concatenation

DynString operator+(const DynString& a, const DynString& b) { DynString r(a); r += b; return r; }
DynString operator+(const DynString& a, const char* b) { DynString r(a); r += b; return r; }
DynString operator+(const DynString& a, int b) { DynString r(a); r += b; return r; }
DynString operator+(const DynString& a, float b) { DynString r(a); r += b; return r; }
DynString operator+(const DynString& a, double b) { DynString r(a); r += b; return r; }
DynString operator+(const char* a, const DynString& b) { DynString r(a); r += b; return r; }
DynString operator+(int a, const DynString& b) { DynString r(a); r += b; return r; }
DynString operator+(float a, const DynString& b) { DynString r(a); r += b; return r; }
DynString operator+(double a, const DynString& b) { DynString r(a); r += b; return r; }

// ---- comparisons

namespace {

// Relation of two numbers; a NaN on either side satisfies only "!=".
template <typename Rel>
double NumRel(double a, double b, Rel rel, bool isNotEqual) {
    if (std::isnan(a) || std::isnan(b)) return isNotEqual ? 1.0 : 0.0;
    return rel(a, b) ? 1.0 : 0.0;
}

} // namespace

#define VOXA_DEFINE_COMPARE(op, ne)                                                              \
    double operator op(const DynString& a, const char* b) { return Compare(a.CStr(), b) op 0 ? 1.0 : 0.0; } \
    double operator op(const char* a, const DynString& b) { return Compare(a, b.CStr()) op 0 ? 1.0 : 0.0; } \
    double operator op(const DynString& a, double b) {                                             \
        return NumRel(a.ToNumber(), b, [](double x, double y) { return x op y; }, ne);            \
    }                                                                                              \
    double operator op(const DynString& a, int b) { return a op static_cast<double>(b); }          \
    double operator op(const DynString& a, float b) { return a op static_cast<double>(b); }        \
    double operator op(double a, const DynString& b) {                                             \
        return NumRel(a, b.ToNumber(), [](double x, double y) { return x op y; }, ne);            \
    }                                                                                              \
    double operator op(int a, const DynString& b) { return static_cast<double>(a) op b; }          \
    double operator op(float a, const DynString& b) { return static_cast<double>(a) op b; }

VOXA_DEFINE_COMPARE(==, false)
VOXA_DEFINE_COMPARE(!=, true)
VOXA_DEFINE_COMPARE(<, false)
VOXA_DEFINE_COMPARE(>, false)
VOXA_DEFINE_COMPARE(<=, false)
VOXA_DEFINE_COMPARE(>=, false)
#undef VOXA_DEFINE_COMPARE

double operator==(const DynString& a, const DynString& b) {
    if (a.Length() != b.Length()) return 0.0;
    return Compare(a.CStr(), b.CStr()) == 0 ? 1.0 : 0.0;
}
double operator!=(const DynString& a, const DynString& b) { return Compare(a.CStr(), b.CStr()) != 0 ? 1.0 : 0.0; }
double operator<(const DynString& a, const DynString& b) { return Compare(a.CStr(), b.CStr()) < 0 ? 1.0 : 0.0; }
double operator>(const DynString& a, const DynString& b) { return Compare(a.CStr(), b.CStr()) > 0 ? 1.0 : 0.0; }
double operator<=(const DynString& a, const DynString& b) { return Compare(a.CStr(), b.CStr()) <= 0 ? 1.0 : 0.0; }
double operator>=(const DynString& a, const DynString& b) { return Compare(a.CStr(), b.CStr()) >= 0 ? 1.0 : 0.0; }
