// The C locale used by every number conversion of the runtime.
#include "basics/clocale.h"

namespace {

// Created once; when even the C locale cannot be created (out of memory at start), conversions
// run in whatever locale is current.
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

} // namespace

CLocaleScope::CLocaleScope() : previous_(static_cast<locale_t>(0)) {
    locale_t c = CLocale();
    if (c != static_cast<locale_t>(0)) previous_ = uselocale(c);
}

CLocaleScope::~CLocaleScope() {
    if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
}
