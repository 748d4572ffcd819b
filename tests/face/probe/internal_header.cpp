// A header of the runtime's insides is not on a program's include path.
#include "gfx2d/renderer.h"

int main() { return 0; }
