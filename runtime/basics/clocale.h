// Internal to basics: number texts are always written and read in the C locale (point as the
// decimal separator), whatever locale the program has selected with setlocale.
#pragma once

#include <locale.h>

// Switches the calling thread to the C locale for its lifetime. uselocale only swaps a
// per-thread pointer, so this is cheap enough for every number conversion.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};
