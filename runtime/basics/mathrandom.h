// Degree-based math, small arithmetic helpers and the random generator (ISAAC, one instance).
#pragma once

#include <cstdint>

constexpr double kDegreesPerRadian = 57.2957795; // the runtime's degree factor, exactly this value

double Sin(double degrees);
double Cos(double degrees);
double Tan(double degrees);
double ATan(double y, double x);   // atan2 in degrees, -180..180
double ASin(double x);             // degrees; 90 for x >= 1, -90 for x <= -1
double ACos(double x);             // degrees; 0 for x >= 1, 180 for x <= -1
double Sqr(double x);              // square root; NaN for x < 0
double Abs(double x);
double Pow(double base, double exponent);
double Mod(double a, double b);    // C remainder of the truncated operands; 0 when b truncates to 0
double Rnd(double max);            // whole number 0..trunc(max); 0 for a negative max
void SeedRandom(uint32_t seed);    // seeds the generator (RuntimeStart: the tick count)
double BoxCollision(double x1, double y1, double w1, double h1, double x2, double y2, double w2,
                    double h2);    // 1.0 when the rectangles touch or overlap

// The generator's state, exposed for tests that check the ISAAC pass itself.
struct IsaacState {
    uint32_t randcnt = 0;        // 256 after seeding
    uint32_t randrsl[256] = {};  // results of the last pass
    uint32_t randmem[256] = {};  // internal state
    uint32_t randa = 0, randb = 0, randc = 0;
};
IsaacState& RandomState();
void IsaacPass(IsaacState& s);                 // one complete ISAAC pass
void IsaacInit(IsaacState& s, bool useResults); // ISAAC's own initialisation (with randrsl as seed when useResults)
