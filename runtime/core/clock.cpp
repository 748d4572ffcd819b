// The replaceable millisecond clock.
#include "core/clock.h"

#include <SDL/SDL.h>

namespace {
TickSource gTickSource = nullptr;
}

uint32_t GetTicks() { return gTickSource ? gTickSource() : SDL_GetTicks(); }

void SetTickSource(TickSource source) { gTickSource = source; }
