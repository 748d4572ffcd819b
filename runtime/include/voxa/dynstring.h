// DynString: the runtime's text value. An owned, NUL-terminated byte buffer with an explicit
// length and capacity; capacity grows to the next multiple of 512 above what is needed, so
// building a text by many small appends reallocates rarely. Numbers convert with "%d" / "%g"
// in the C locale. Comparisons return the doubles 1.0 / 0.0, as every truth value of the
// command interface does.
#pragma once

#include <cstdint>
#include <cstring>

class DynString {
public:
    DynString();                       // capacity 4, text ""
    DynString(const char* text);       // copy of text (null reads as ""); capacity the next multiple of 512 above its length
    DynString(const DynString& other); // copy up to other's length
    DynString(DynString&& other) noexcept; // takes other's buffer; other becomes empty
    DynString(int value);              // "%d"
    DynString(float value);            // "%g" of the value widened to double
    DynString(double value);           // "%g"
    ~DynString();                      // releases the buffer; all three fields become zero

    DynString& operator=(const char* text);
    DynString& operator=(const DynString& other);
    DynString& operator=(DynString&& other) noexcept;
    DynString& operator=(int value);
    DynString& operator=(float value);
    DynString& operator=(double value);
    DynString& AssignExact(const char* text); // releases the buffer and allocates strlen + 1 bytes exactly

    DynString& operator+=(const char* text) { return Append(text); }
    DynString& operator+=(const DynString& other);
    DynString& operator+=(int value);
    DynString& operator+=(float value);
    DynString& operator+=(double value);

    void Reserve(uint32_t needed);          // ensures capacity > needed (next multiple of 512); keeps the text
    char* GetBuffer(uint32_t minCapacity);  // Reserve, then the writable buffer; length is not touched
    uint32_t UpdateLength();                // length = strlen(buffer); returns it
    const char* CStr() const { return buffer_ ? buffer_ : ""; }
    uint32_t Length() const { return length_; }
    uint32_t Capacity() const { return capacity_; }
    DynString& Assign(const char* text);    // same as operator= from text
    DynString& Append(const char* text) {   // same as operator+= of text
        if (text != nullptr) AppendBytes(text, static_cast<uint32_t>(std::strlen(text)));
        return *this;
    }
    int CharAt(int i) const { return static_cast<signed char>(buffer_[i]); } // no bounds check
    void Truncate(int n);                   // NUL at n (caller keeps n inside 0..length), then UpdateLength
    void TrimControlEnd();                  // NULs trailing bytes whose signed value <= 31; length left as is
    double ToNumber() const;                // strtod: longest numeric prefix, 0 when there is none

private:
    // Appends count bytes. Inline for the common case of a text that fits the buffer (memmove:
    // the source may be a part of this string).
    void AppendBytes(const char* bytes, uint32_t count) {
        if (capacity_ >= 512 && count < capacity_ - length_) {
            std::memmove(buffer_ + length_, bytes, count);
            length_ += count;
            buffer_[length_] = '\0';
            return;
        }
        AppendGrowing(bytes, count);
    }
    void AppendGrowing(const char* bytes, uint32_t count); // Reserve first; safe for self-appends
    void SetNumber(const char* format, double value, bool isInt, int intValue);

    char* buffer_ = nullptr;  // owned (malloc/realloc/free); NUL-terminated once anything was stored
    uint32_t capacity_ = 0;   // bytes allocated for buffer_
    uint32_t length_ = 0;     // bytes before the NUL
};

// Position of the first occurrence of needle in haystack as a double, -1 when there is none;
// an empty needle is found at 0.
double Find(const char* haystack, const char* needle);
inline double Find(const DynString& h, const DynString& n) { return Find(h.CStr(), n.CStr()); }
inline double Find(const DynString& h, const char* n) { return Find(h.CStr(), n); }
inline double Find(const char* h, const DynString& n) { return Find(h, n.CStr()); }

// Concatenation: a new string built from the left side, then the right side appended.
// Every pair with at least one DynString side (pairs of two plain C types cannot be overloaded).
DynString operator+(const DynString& a, const DynString& b);
DynString operator+(const DynString& a, const char* b);
DynString operator+(const DynString& a, int b);
DynString operator+(const DynString& a, float b);
DynString operator+(const DynString& a, double b);
DynString operator+(const char* a, const DynString& b);
DynString operator+(int a, const DynString& b);
DynString operator+(float a, const DynString& b);
DynString operator+(double a, const DynString& b);

// Comparisons, 1.0 when the relation holds, else 0.0. String against string: strcmp order
// (DynString == DynString first compares lengths). String against number: the text is
// converted with ToNumber and the doubles are compared; a NaN on either side makes != 1.0 and
// every other relation 0.0.
#define VOXA_DYNSTRING_COMPARE(op)                          \
    double operator op(const DynString& a, const DynString& b); \
    double operator op(const DynString& a, const char* b);      \
    double operator op(const char* a, const DynString& b);      \
    double operator op(const DynString& a, int b);              \
    double operator op(const DynString& a, float b);            \
    double operator op(const DynString& a, double b);           \
    double operator op(int a, const DynString& b);              \
    double operator op(float a, const DynString& b);            \
    double operator op(double a, const DynString& b);
VOXA_DYNSTRING_COMPARE(==)
VOXA_DYNSTRING_COMPARE(!=)
VOXA_DYNSTRING_COMPARE(<)
VOXA_DYNSTRING_COMPARE(>)
VOXA_DYNSTRING_COMPARE(<=)
VOXA_DYNSTRING_COMPARE(>=)
#undef VOXA_DYNSTRING_COMPARE
