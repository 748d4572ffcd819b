// Degree math, arithmetic helpers, BoxCollision and the ISAAC generator behind Rnd.
#include "basics/mathrandom.h"

#include <algorithm>
#include <iterator>
#include <cmath>

#include "basics/arguments.h"
#include "voxa/basics.h"

BasicsState gBasics;

namespace {

#define ISAAC_MIX(a, b, c, d, e, f, g, h) \
    {                                     \
        a ^= b << 11; d += a; b += c;     \
        b ^= c >> 2;  e += b; c += d;     \
        c ^= d << 8;  f += c; d += e;     \
        d ^= e >> 16; g += d; e += f;     \
        e ^= f << 10; h += e; f += g;     \
        f ^= g >> 4;  a += f; g += h;     \
        g ^= h << 8;  b += g; h += a;     \
        h ^= a >> 9;  c += h; a += b;     \
    }

} // namespace

double Sin(double d) { return std::sin(d / kDegreesPerRadian); }
double Cos(double d) { return std::cos(d / kDegreesPerRadian); }
double Tan(double d) { return std::tan(d / kDegreesPerRadian); }
double ATan(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }

double ASin(double x) {
    if (x >= 1) return 90;
    if (x <= -1) return -90;
    return std::asin(x) * kDegreesPerRadian;
}

double ACos(double x) {
    if (x >= 1) return 0;
    if (x <= -1) return 180;
    return std::acos(x) * kDegreesPerRadian;
}

double Sqr(double x) { return std::sqrt(x); }
double Abs(double x) { return x >= 0 ? x : -x; }
double Pow(double b, double e) { return std::pow(b, e); }

double Mod(double a, double b) {
    if (b == 0) return 0;
    int32_t ia = TruncToInt(a);
    int32_t ib = TruncToInt(b);
    if (ib == 0) return 0;               // |b| < 1 truncates to 0: no division by zero
    if (ib == -1) return 0;              // x mod -1 is 0; INT32_MIN % -1 would overflow
    return static_cast<double>(ia % ib);
}

void IsaacPass(IsaacState& s) {
    uint32_t a = s.randa;
    uint32_t b = s.randb + (++s.randc);
    uint32_t* m = s.randmem;
    for (int i = 0; i < 256; ++i) {
        uint32_t x = m[i];
        switch (i & 3) {
            case 0: a ^= a << 13; break;
            case 1: a ^= a >> 6; break;
            case 2: a ^= a << 2; break;
            default: a ^= a >> 16; break;
        }
        a += m[(i + 128) & 255];
        uint32_t y = m[(x >> 2) & 255] + a + b;
        m[i] = y;
        b = m[(y >> 10) & 255] + x;
        s.randrsl[i] = b;
    }
    s.randa = a;
    s.randb = b;
}

namespace {

// The eight-word initialisation pipeline shared by seeding and ISAAC's own randinit: steps
// after the warm-up mixes, run on a..h that the caller has prepared.
void IsaacFill(IsaacState& s, uint32_t (&w)[8], bool useResults) {
    uint32_t* m = s.randmem;
    if (useResults) {
        for (int i = 0; i < 256; i += 8) {
            for (int k = 0; k < 8; ++k) w[k] += s.randrsl[i + k];
            ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
            for (int k = 0; k < 8; ++k) m[i + k] = w[k];
        }
        for (int i = 0; i < 256; i += 8) {
            for (int k = 0; k < 8; ++k) w[k] += m[i + k];
            ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
            for (int k = 0; k < 8; ++k) m[i + k] = w[k];
        }
    } else {
        for (int i = 0; i < 256; i += 8) {
            ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
            for (int k = 0; k < 8; ++k) m[i + k] = w[k];
        }
    }
    IsaacPass(s);
    s.randcnt = 256;
}

} // namespace

void IsaacInit(IsaacState& s, bool useResults) {
    s.randa = s.randb = s.randc = 0;
    uint32_t w[8];
    std::fill(std::begin(w), std::end(w), 0x9e3779b9u);
    for (int i = 0; i < 4; ++i) ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
    IsaacFill(s, w, useResults);
}

void SeedRandom(uint32_t seed) {
    IsaacState& s = gBasics.random;
    s.randa = s.randb = s.randc = 0;
    // The results of earlier draws would enter the state below; at start-up they are all zero,
    // and clearing them makes a later reseed give the same sequence as the first seeding.
    std::fill(std::begin(s.randrsl), std::end(s.randrsl), 0u);
    uint32_t w[8];
    std::fill(std::begin(w), std::end(w), 0x9e3779b9u);
    // The seed enters once per eight-word block, before ISAAC's own initialisation.
    for (int i = 0; i < 256; i += 8) {
        w[0] += seed;
        ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
        for (int k = 0; k < 8; ++k) s.randmem[i + k] = w[k];
    }
    for (int i = 0; i < 4; ++i) ISAAC_MIX(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
    IsaacFill(s, w, true);
}

double Rnd(double max) {
    // A negative max has no whole numbers from 0 to it; the result is 0, which also avoids the
    // division by zero that max = -1 would cause.
    if (!(max >= 0)) return 0;
    IsaacPass(gBasics.random);
    uint32_t r = gBasics.random.randrsl[0];
    // The low 32 bits of the whole number max, exactly, however large: from 2^84 up they are
    // all zero, so the modulus is 1.
    uint32_t n = LowBitsOfWhole(max, 4294967296.0) + 1u;
    if (n == 0) return r; // low bits all ones (max = 2^32 - 1 and its aliases): the whole 32-bit range
    return static_cast<double>(r % n);
}

double BoxCollision(double x1, double y1, double w1, double h1, double x2, double y2, double w2,
                    double h2) {
    auto overlaps = [](double p1, double s1, double p2, double s2) {
        double lo = std::max(std::min(p1, p1 + s1), std::min(p2, p2 + s2));
        double hi = std::min(std::max(p1, p1 + s1), std::max(p2, p2 + s2));
        return lo <= hi;
    };
    return overlaps(x1, w1, x2, w2) && overlaps(y1, h1, y2, h2) ? 1.0 : 0.0;
}
