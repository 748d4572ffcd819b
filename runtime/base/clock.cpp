// The replaceable millisecond clock and its filter.
#include "base/clock.h"
#include "voxa/testing.h"

#include <SDL/SDL.h>

namespace {
TickSource gTickSource = nullptr;
TickFilter gTickFilter = nullptr;
}

uint32_t GetSourceTicks() { return gTickSource ? gTickSource() : SDL_GetTicks(); }

uint32_t GetTicks() {
    const uint32_t ticks = GetSourceTicks();
    return gTickFilter ? gTickFilter(ticks) : ticks;
}

void SetTickSource(TickSource source) { gTickSource = source; }

void SetTickFilter(TickFilter filter) { gTickFilter = filter; }
