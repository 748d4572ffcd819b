// Command arguments (doubles) as whole numbers and as ids into the runtime's fixed tables,
// without an undefined conversion for any value: NaN, infinities and numbers beyond the int
// range included.
#pragma once

#include <cmath>
#include <cstdint>

// trunc(value) as an int32_t, saturated to its range; NaN gives 0. A value beyond the range
// keeps its sign and size order, so a range check after the conversion still refuses it.
inline int32_t TruncToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return int32_t(value);
}

// ceil(value) as an int32_t, saturated like TruncToInt.
inline int32_t CeilToInt(double value) { return TruncToInt(std::ceil(value)); }

// trunc(value), or fallback when the value is NaN or lies outside -2^31..2^31 (both ends
// excluded): for arguments where a number that is no int must mean "none" (no key, no
// joystick, no player) rather than the nearest end of the range.
inline int32_t TruncOr(double value, int32_t fallback) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return fallback;
    return int32_t(value);
}

// The low bits of trunc(value) as an unsigned number below modulus (a power of two up to 2^32),
// exact for every finite value however large: fmod is exact, and a double beyond 2^53 is a
// whole number whose low bits are mostly zero. Negative values wrap as two's complement does;
// NaN and infinities give 0.
inline uint32_t LowBitsOfWhole(double value, double modulus) {
    double low = std::fmod(std::trunc(value), modulus);
    if (!(low == low)) return 0;
    if (low < 0) low += modulus;
    return uint32_t(low);
}

// Whether id indexes a table of count entries, 0..count - 1.
inline bool IdInRange(int64_t id, int64_t count) { return id >= 0 && id < count; }

// A table index from a command argument, truncated toward zero: false (index untouched) for
// NaN and for anything that does not truncate into 0..count - 1.
inline bool IdFrom(double value, int32_t count, int32_t& index) {
    if (!(value > -1.0 && value < double(count))) return false;
    index = int32_t(value);
    return true;
}
