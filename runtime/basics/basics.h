// Runtime basics: texts, number conversion and string commands, math and random numbers, arrays.
#pragma once

#include <cstdint>

#include "basics/dynarray.h"
#include "basics/dynstring.h"
#include "basics/mathrandom.h"

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
