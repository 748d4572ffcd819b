// Runtime basics: texts, number conversion and string commands, math and random numbers, arrays.
#pragma once

#include <cstdint>

#include "voxa/dynarray.h"
#include "voxa/dynstring.h"

// ---- String commands (positions are 0-based byte offsets)
double Len(const DynString& text);                 // length in bytes
double Len(double number);                         // length of the number's "%g" text
double Asc(const DynString& text);                 // first byte as a signed value; 0 for ""
DynString Chr(double code);                        // one character, the low byte of trunc(code); "" for byte 0
DynString MidText(const DynString& text, double start, double count); // at most count bytes from start; "" when out of range
DynString UpperCase(const DynString& text);        // a..z to A..Z
DynString LowerCase(const DynString& text);        // A..Z to a..z
DynString FormatNumber(double width, double decimals, double value); // "%W.Df" in the C locale; never longer than 511
DynString HexBytes(const void* bytes, double count); // 2*count upper-case hex digits
DynString ReplaceText(DynString& text, const DynString& find, const DynString& replace); // in place; returns a copy
double SplitText(const DynString& text, DynStringArray& result, const DynString& delimiters); // field count
double ToNumber(const DynString& text);            // strtod of the text in the C locale, 0 when there is no number
double ToNumber(const char* text);                 // the same for a plain text; null reads as ""
[[noreturn]] void End();                           // the program's normal end (error code 0)

// ---- Math (angles in degrees) and random numbers
constexpr double kDegreesPerRadian = 57.2957795; // the runtime's degree factor, exactly this value
double Sin(double degrees);        // sine of an angle in degrees
double Cos(double degrees);        // cosine of an angle in degrees
double Tan(double degrees);        // tangent of an angle in degrees
double ATan(double y, double x);   // atan2 in degrees, -180..180
double ASin(double x);             // degrees; 90 for x >= 1, -90 for x <= -1
double ACos(double x);             // degrees; 0 for x >= 1, 180 for x <= -1
double Sqr(double x);              // square root; NaN for x < 0
double Abs(double x);              // absolute value
double Pow(double base, double exponent); // base to the power exponent (pow)
double Mod(double a, double b);    // C remainder of the truncated operands; 0 when b truncates to 0
double Rnd(double max);            // whole number 0..trunc(max); 0 for a negative max
void SeedRandom(uint32_t seed);    // seeds the generator (RuntimeStart: the tick count)
double BoxCollision(double x1, double y1, double w1, double h1, double x2, double y2, double w2, double h2); // 1.0 when the rectangles touch or overlap
