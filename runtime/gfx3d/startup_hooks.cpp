// Per-frame step of the 3D engine, until its renderer exists.
#include "core/lifecycle.h"

void EndShadowPass() {}
