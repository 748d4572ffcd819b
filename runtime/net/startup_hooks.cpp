// Start-up and shutdown steps of the network object, until it exists.
#include "core/lifecycle.h"

void CreateNetGame() {}
void ShutdownNetGame() {}
