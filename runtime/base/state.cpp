// The base folder's state: constant-initialised (every hook null) before any registration runs.
#include "base/state.h"

BaseState gBase;
