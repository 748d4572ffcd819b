// SDL's own include path (pkg-config's -I.../SDL) does not come with the runtime: SDL is linked
// privately.
#include <SDL.h>

int main() { return 0; }
