// The waiting commands: WaitForInputChange, KeyWait and MouseWait. They poll (SDL 1.2 offers
// no wait on key state) and keep the window's event queue drained, so a close request or an
// Escape press ends the program while a program waits.
#include "base/errors.h"
#include "base/state.h"
#include "devices/devices_local.h"
#include "devices/lifecycle.h"
#include "devices/state.h"
#include "voxa/devices.h"
#include "window/window.h"

namespace {

constexpr int kWaitPasses = 8;
constexpr uint32_t kWaitPassMs = 30;

// Compares the mouse with what the previous call saw (gDevices.memory) and remembers it.
bool MouseChanged() {
    double x, y, left, right;
    GetMouseState(x, y, left, right);
    InputMemory& seen = gDevices.memory;
    if (x == seen.waitX && y == seen.waitY && left == seen.waitLeft && right == seen.waitRight) return false;
    seen.waitX = x;
    seen.waitY = y;
    seen.waitLeft = left;
    seen.waitRight = right;
    return true;
}

bool AnyJoystickActive() {
    for (int j = JoystickCount() - 1; j >= 0; --j) {
        JoystickState s = ReadJoystick(j);
        for (uint8_t b : s.buttons) {
            if (b) return true;
        }
        if (GetJoyX(j) != 0 || GetJoyY(j) != 0 || GetJoyZ(j) != 0 || GetJoyPovX(j) != 0 ||
            GetJoyPovY(j) != 0) {
            return true;
        }
    }
    return false;
}

bool AnyButtonDown() {
    MouseSample m = ReadMouse();
    return m.left || m.right || m.middle;
}

} // namespace

void WaitForInputChange() {
    for (int pass = 0; pass < kWaitPasses; ++pass) {
        if (!Window().PollQuit()) EndProgram();
        UpdateInputDevices();
        if (gBase.timers.allowEscape && KeyHeld(1)) EndProgram();
        if (AnyKeyHeld() || MouseChanged() || AnyJoystickActive()) return;
        SleepMs(kWaitPassMs);
    }
}

void KeyWait() {
    for (;;) {
        if (ReadKeyChar() != 0) return;
        if (!Window().PollQuit()) EndProgram();
        WaitForInputChange();
    }
}

void MouseWait() {
    // The release is waited for like the press: polling at the waits' pace, with the window's
    // close request and Escape still heard, instead of spinning on the button state.
    while (AnyButtonDown()) WaitForInputChange();
    for (;;) {
        if (AnyButtonDown()) return;
        WaitForInputChange();
    }
}
