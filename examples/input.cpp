// Keyboard, mouse and the line editor: InputText asks for a name; then the arrow keys move a
// box, typed characters collect in a line, and the mouse drops marks that its wheel resizes.
//
//   input [ASSETS]   ASSETS: the folder with font_mid.bmp (default ../bin/)
//
// Keys are named by PC scancodes (1 Escape, 28 Return, 200/208/203/205 the arrows). The program
// prints what it reads, one line for each change.
#include <algorithm>
#include <cstdio>

#include "voxa/runtime.h"

int main(int argc, char** argv) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "Keyboard, mouse and the line editor");
    LoadFont((argc > 1 ? DynString(argv[1]) + "/" : DynString("../bin/")) + "font_mid.bmp", 1);
    ShowMouse(1); // the system pointer; GetMouseState reports where it is

    // The line editor runs frames of its own until Return, keeping what was drawn before it.
    SetFont(1);
    PrintText("What is your name?", 40, 40);
    SetFont(0);
    PrintText("(type it and press Return)", 40, 64);
    std::printf("line editor: type your name and press Return\n");
    std::fflush(stdout);
    DynString name;
    InputText(name, 40, 90);  // Backspace deletes; the text grows at a blinking "_"
    std::printf("name: %s\n", name.CStr());

    double boxX = 300, boxY = 200, size = 6, wasLeft = 0;
    DynString typed;
    DynArray marks;
    marks.Dim(100, 2);        // up to 100 marks, x and y
    int markCount = 0;
    for (;;) {
        // While an arrow key is held the box moves 4 pixels a frame, up to the screen's edges.
        double toX = std::clamp(boxX + 4 * (KeyDown(KEY_RIGHT) - KeyDown(KEY_LEFT)), 20.0, 620.0);
        double toY = std::clamp(boxY + 4 * (KeyDown(KEY_DOWN) - KeyDown(KEY_UP)), 20.0, 460.0);
        if (toX != boxX || toY != boxY) std::printf("box at %g, %g\n", toX, toY);
        boxX = toX, boxY = toY;
        DynString key = InKey(); // each new key press once: "a", "A" with Shift, "" for none
        if (Len(key) > 0 && Asc(key) >= 32) {
            typed = Len(typed) < 40 ? typed + key : key;
            std::printf("key: %s\n", key.CStr());
        }
        double x, y, left, right;
        GetMouseState(x, y, left, right);
        if (left != 0 && wasLeft == 0 && markCount < 100) {
            marks.At(markCount, 0) = x, marks.At(markCount, 1) = y, ++markCount;
            std::printf("mark at %g, %g\n", x, y);
        }
        wasLeft = left;
        if (double wheel = MouseAxis(2); wheel != 0) { // +1 up, -1 down, in the frame it turned
            size = size + wheel < 2 ? 2 : size + wheel;
            std::printf("wheel: %+g, marks of %g pixels\n", wheel, 2 * size + 1);
        }
        std::fflush(stdout);

        DrawRect(0, 0, 639, 479, 0x301810);
        SetFont(1);
        PrintText(DynString("Hello, ") + name + "!", 40, 40);
        SetFont(0);
        PrintText("Arrows move the box, keys type, a click drops a mark, the wheel resizes them", 40, 70);
        PrintText(DynString("typed: ") + typed, 40, 440);
        DrawRect(boxX - 20, boxY - 20, boxX + 20, boxY + 20, 0x20A0F0);
        for (int i = 0; i < markCount; ++i) {
            double mx = marks.At(i, 0), my = marks.At(i, 1);
            DrawRect(mx - size, my - size, mx + size, my + size, 0x4040F0);
        }
        DrawLine(x - 10, y, x + 10, y, 0xFFFFFF); // a cross at the pointer
        DrawLine(x, y - 10, x, y + 10, 0xFFFFFF);
        ShowScreen();
    }
}
