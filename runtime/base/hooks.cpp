// The table of hooks: constant-initialised (every step null) before any registration runs.
#include "base/hooks.h"

RuntimeHooks gHooks;
