// A program of another project: the runtime's public header alone. It starts the runtime, draws a
// red square, reads a pixel of it and one beside it back, uses the text and array types and ends
// through End (exit status 0).
#include <cstdio>

#include "voxa/runtime.h"

int main(int argc, char** argv) {
    gSettings.screenWidth = 160;
    gSettings.screenHeight = 120;
    RuntimeStart(argc, argv, "", nullptr, "install test");
    DynArray cells;
    cells.Dim(3);
    cells.At(2) = 7;
    DrawRect(10, 10, 40, 40, 255);
    ShowScreen();
    std::printf("%s %g %g\n", (DynString("cells ") + cells.At(2) + " " + UpperCase("red")).CStr(), GetPixel(20, 20), GetPixel(100, 100));
    std::fflush(stdout);
    End();
}
