// Fuzzes DynString's number conversions: ToNumber on any text, the comparisons that go through
// it, and the "%g" / "%d" texts of the numbers that come out, appended and read back.
#include <cmath>
#include <cstdint>
#include <string>

#include "voxa/dynstring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size); // NUL-terminated copy
    DynString s(text.c_str());
    double x = s.ToNumber();
    DynString printed(x);
    double back = printed.ToNumber();
    if (std::isfinite(x) && !std::isfinite(back)) __builtin_trap(); // "%g" of a finite number reads back finite
    (void)(s == printed);
    (void)(s < 0);
    (void)(s != "1");
    if (x > -2147483648.0 && x < 2147483647.0) {
        DynString integer(static_cast<int>(x));
        integer += x;
        integer += float(x);
        integer.ToNumber();
    }
    s += x;
    s += s;
    s.TrimControlEnd();
    s.ToNumber();
    if (s.Length() > 0) s.Truncate(int(s.Length() / 2));
    return 0;
}
