// The line editor InputText and the two commands built on it. The screen under the edited
// line is saved once into background layer 3 and drawn again every frame, so the text can
// shrink (Backspace) and the cursor blink without leaving marks.
#include "base/state.h"
#include "devices/devices_local.h"
#include "gfx2d/renderer.h"
#include "voxa/basics.h"
#include "voxa/devices.h"

namespace {
constexpr int kEditLayer = 3;
constexpr int kBlinkFrames = 20;  // the cursor changes after 21 frames without a key
}

void InputText(DynString& text, double x, double y) {
    GrabLayer(kEditLayer);
    DrawLayer(kEditLayer);
    DrawText(CurrentFont(), text.CStr(), x, y, 0);
    int blink = 0, idle = 0;
    for (;;) {
        if (gBase.hooks.showScreen != nullptr) gBase.hooks.showScreen(); // ShowScreen (core/, above devices)
        int c = ReadKeyChar();
        if (c == 10) {
            ReleaseLayer(kEditLayer);
            return;
        }
        if (c == 8) {
            if (text.Length() > 0) text.Truncate(static_cast<int>(text.Length()) - 1);
        } else if (c != 0) {
            const char typed[2] = {static_cast<char>(c), '\0'};
            text += typed;
        } else if (++idle > kBlinkFrames) {
            idle = 0;
            blink = 1 - blink;
        }
        DrawLayer(kEditLayer);
        PrintText(blink ? text + "_" : text, TruncOr(x, 0), TruncOr(y, 0));
    }
}

void InputNumber(double& value, double x, double y) {
    DynString text;
    InputText(text, x, y);
    value = ToNumber(text);
}

DynString FileRequest() {
    DynString text("File:");
    InputText(text, 0, 100);
    return text;
}
