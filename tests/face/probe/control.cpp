// What a program may use: the umbrella header, the test seams, and every kind of thing they
// declare (commands, plain types, settings, key names, constants), built and linked; nothing of
// the libraries under the runtime comes with them.
#include "voxa/runtime.h"
#include "voxa/testing.h"

#if defined(SDL_MAJOR_VERSION) || defined(GL_VERSION_1_1) || defined(LZO_VERSION)
#error "a public header includes SDL, GL or LZO"
#endif

uint32_t FixedClock() { return 1000; }

int main(int argc, char** argv) {
    gSettings.screenWidth = 320;
    gErrors.errorCode = 0;
    SetTickSource(FixedClock);
    DynArray grid, path;
    grid.Dim(4, 4);
    grid.At(1, 2) = Rnd(10);
    const double cells = FindPath(grid, path, 0.5, 0, 0, 3, 3);
    if (argc > 5) { // never true when the probe is only built; the calls must link
        RuntimeStart(argc, argv, "", nullptr, "probe");
        DrawObject(0, 0);
        PlaySound(0, 0, 1);
        NetHostGame(DynString("0"));
        End();
    }
    return int(Len(DynString("keys: ") + KEY_SPACE + FormatNumber(4, 1, Sin(90))) + cells + kNetDefaultPort) > 0 ? 0 : 1;
}
