// String commands: length, character codes, substrings, case, fixed-point numbers, hex dumps,
// replace and split, and End. Positions are 0-based byte offsets; out-of-range positions give
// empty texts, never an error.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/errors.h"
#include "basics/arguments.h"
#include "basics/clocale.h"
#include "voxa/basics.h"

namespace {

// Truncates toward zero; NaN gives 0 and values outside the range saturate.
int64_t TruncI64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(v);
}

// A string of count bytes starting at bytes (the bytes hold no NUL).
DynString FromBytes(const char* bytes, size_t count) {
    DynString r;
    char* out = r.GetBuffer(static_cast<uint32_t>(count));
    std::memcpy(out, bytes, count);
    out[count] = '\0';
    r.UpdateLength();
    return r;
}

// FormatNumber's result holds at most 511 characters; a longer text (a huge value with many
// decimals) is cut there. Width and decimals beyond that could only add cut characters, so they
// are clamped before the format is built, which also keeps them far from printf's int limit.
constexpr int64_t kMaxFormatWidth = 511;
constexpr int64_t kMaxFormatDecimals = 511;
constexpr size_t kMaxFormatText = 511;

} // namespace

double Len(const DynString& text) { return text.Length(); }

double Len(double number) { return DynString(number).Length(); }

double Asc(const DynString& text) { return static_cast<signed char>(text.CStr()[0]); }

DynString Chr(double code) {
    // The low byte of the whole number itself, not of a saturated one: every code from 2^60 up
    // is a multiple of 256 and gives the empty text.
    char byte = static_cast<char>(LowBitsOfWhole(code, 256.0));
    return FromBytes(&byte, byte == '\0' ? 0 : 1);
}

DynString MidText(const DynString& text, double start, double count) {
    // The range tests use start and count as given; only the copy truncates them. So a start
    // between -1 and 0 lies before the text, and a count that runs past the end becomes
    // length - start before truncation (from 1.5 for 10 in hello gives ell).
    const int64_t length = text.Length();
    if (TruncI64(start + count) > length) count = static_cast<double>(length) - start;
    if (count <= 0 || start > static_cast<double>(length) || start < 0) return DynString("");
    const int64_t from = TruncI64(start);
    const int64_t n = std::min(TruncI64(count), length - from);
    if (n <= 0) return DynString("");
    // The bytes up to the text's NUL: a length field that is ahead of the buffer's text (after
    // TrimControlEnd) never makes this read past it.
    const char* src = text.CStr() + from;
    return FromBytes(src, strnlen(src, static_cast<size_t>(n)));
}

namespace {

DynString MapBytes(const DynString& text, char first, char last, int shift) {
    DynString r(text);
    char* p = r.GetBuffer(0);
    for (uint32_t i = 0; i < r.Length(); ++i) {
        if (p[i] >= first && p[i] <= last) p[i] = static_cast<char>(p[i] + shift);
    }
    return r;
}

} // namespace

DynString UpperCase(const DynString& text) { return MapBytes(text, 'a', 'z', 'A' - 'a'); }

DynString LowerCase(const DynString& text) { return MapBytes(text, 'A', 'Z', 'a' - 'A'); }

DynString FormatNumber(double width, double decimals, double value) {
    // A negative width left-justifies the field, as the '-' flag of the built format does. A
    // negative number of decimals means none.
    int64_t w = TruncI64(width);
    int64_t d = TruncI64(decimals);
    if (w > kMaxFormatWidth) w = kMaxFormatWidth;
    if (w < -kMaxFormatWidth) w = -kMaxFormatWidth;
    if (d < 0) d = 0;
    if (d > kMaxFormatDecimals) d = kMaxFormatDecimals;
    char format[32]; // "%W.Df"
    std::snprintf(format, sizeof format, "%%%d.%df", static_cast<int>(w),
                  static_cast<int>(d));
    DynString r;
    char* out = r.GetBuffer(kMaxFormatText + 1);
    {
        CLocaleScope cLocale;
        std::snprintf(out, kMaxFormatText + 1, format, value);
    }
    r.UpdateLength();
    return r;
}

DynString HexBytes(const void* bytes, double count) {
    static const char kDigits[] = "0123456789ABCDEF";
    int64_t n = TruncI64(count);
    if (bytes == nullptr || n <= 0) return DynString("");
    // Two digits per byte must fit a text's 32-bit capacity: a count beyond that is a block
    // no text can hold, reported like any other allocation a text cannot get.
    if (n > 0x7FFFFEFF) throw std::bad_alloc();
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    DynString r;
    char* out = r.GetBuffer(static_cast<uint32_t>(2 * n));
    for (int64_t i = 0; i < n; ++i) {
        out[2 * i] = kDigits[in[i] >> 4];
        out[2 * i + 1] = kDigits[in[i] & 15];
    }
    out[2 * n] = '\0';
    r.UpdateLength();
    return r;
}

DynString ReplaceText(DynString& text, const DynString& find, const DynString& replace) {
    // find and replace may be the text itself: work from copies of them.
    const std::string f(find.CStr());
    const std::string rep(replace.CStr());
    // The empty text is found at every position; replacing it is defined as no change.
    if (f.empty()) return DynString(text);
    std::string work(text.CStr());
    bool changed = false;
    size_t pos = 0;
    for (;;) {
        size_t hit = work.find(f, pos);
        if (hit == std::string::npos) break;
        work.replace(hit, f.size(), rep);
        changed = true;
        if (f.size() == rep.size()) {
            pos = hit + f.size();
        } else {
            // Continue inside the replaced part (so "aaaa" with "aa" -> "a" ends as "a"), but
            // never before the start of the text when the replacement is much shorter.
            int64_t next = static_cast<int64_t>(hit) + static_cast<int64_t>(rep.size()) -
                           static_cast<int64_t>(f.size()) + 1;
            pos = next < 0 ? 0 : static_cast<size_t>(next);
        }
    }
    if (changed) text.Assign(work.c_str());
    return DynString(text);
}

double SplitText(const DynString& text, DynStringArray& result, const DynString& delimiters) {
    // Both texts are copied before result is dimensioned: either may be an element of result.
    // The caller's text is left exactly as it was.
    const std::string work(text.CStr());
    const std::string delims(delimiters.CStr());
    std::vector<std::string> fields;
    size_t pos = 0;
    for (;;) {
        pos = work.find_first_not_of(delims, pos);
        if (pos == std::string::npos) break;
        size_t end = work.find_first_of(delims, pos);
        if (end == std::string::npos) {
            fields.push_back(work.substr(pos));
            break;
        }
        fields.push_back(work.substr(pos, end - pos));
        pos = end + 1;
    }
    double count = static_cast<double>(fields.size());
    result.Dim(count);
    for (size_t i = 0; i < fields.size(); ++i) result.At(static_cast<double>(i)) = fields[i].c_str();
    return count;
}

double ToNumber(const DynString& text) { return text.ToNumber(); }

double ToNumber(const char* text) {
    CLocaleScope cLocale;
    return std::strtod(text != nullptr ? text : "", nullptr);
}

void End() {
    SetErrorCode(0);
    EndProgram();
}
