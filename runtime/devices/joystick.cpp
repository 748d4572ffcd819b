// Joysticks: up to 10, opened at start-up, read through SDL's joystick API on each query.
#include <SDL/SDL.h>

#include <algorithm>

#include "devices/devices_local.h"
#include "devices/recording.h"
#include "voxa/devices.h"

namespace {

// The first hat in hundredths of a degree clockwise from up.
int HatAngle(uint8_t hat) {
    switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return kHatCentred;
    }
}

// The opened joystick of an index, or null (also for indices outside 0..9).
SDL_Joystick* Joystick(int index) {
    InputDevices* d = Devices();
    if (d == nullptr || !IdInRange(index, kMaxJoysticks)) return nullptr;
    return d->joysticks[index];
}

double Axis(double j, int axis) {
    double v = ReadJoystick(TruncOr(j, -1)).axes[axis] / 32767.0;
    return std::clamp(v, -1.0, 1.0);
}

} // namespace

int JoystickCount() {
    const int replayed = ReplayedJoystickCount();
    if (replayed >= 0) return replayed;
    InputDevices* d = Devices();
    return d ? d->joystickCount : 0;
}

// Joysticks 0..JoystickCount()-1 are read (a replay has the recorded run's); others stay centred.
JoystickState ReadJoystick(int j) {
    JoystickState s;
    if (!IdInRange(j, JoystickCount())) return s;
    if (SDL_Joystick* stick = Joystick(j)) {
        SDL_JoystickUpdate();
        int axes = std::min(SDL_JoystickNumAxes(stick), kJoyAxes);
        for (int a = 0; a < axes; ++a) s.axes[a] = SDL_JoystickGetAxis(stick, a);
        int buttons = std::min(SDL_JoystickNumButtons(stick), kJoyButtons);
        for (int b = 0; b < buttons; ++b) s.buttons[b] = SDL_JoystickGetButton(stick, b) ? 1 : 0;
        if (SDL_JoystickNumHats(stick) > 0) s.hatAngle = HatAngle(SDL_JoystickGetHat(stick, 0));
    }
    return SampleJoystick(j, s);
}

double GetJoystickCount() { return JoystickCount(); }

double GetJoyX(double j) { return Axis(j, 0); }
double GetJoyY(double j) { return Axis(j, 1); }
double GetJoyZ(double j) { return Axis(j, 2); }
double GetJoyRX(double j) { return Axis(j, 3); }
double GetJoyRY(double j) { return Axis(j, 4); }
double GetJoyRZ(double j) { return Axis(j, 5); }

double GetJoyPovX(double j) {
    int angle = ReadJoystick(TruncOr(j, -1)).hatAngle;
    return angle == 9000 ? 1 : angle == 27000 ? -1 : 0;
}

double GetJoyPovY(double j) {
    int angle = ReadJoystick(TruncOr(j, -1)).hatAngle;
    return angle == 0 ? -1 : angle == 18000 ? 1 : 0;
}

double GetJoyButton(double j, double b) {
    int32_t button = 0;
    if (!(b >= 0) || !IdFrom(b, kJoyButtons, button)) return 0;  // -0.5 is no button, though it truncates to 0
    return ReadJoystick(TruncOr(j, -1)).buttons[button];
}

DynString GetJoyName(double j) {
    int32_t index = 0;
    if (!IdFrom(j, JoystickCount(), index)) return DynString("");
    const char* name = ReplayedJoystickCount() >= 0 ? ReplayedJoystickName(index) : SDL_JoystickName(index);
    return DynString(name ? name : "");
}

void GetJoystickDigital(double& x, double& y, double& b1, double& b2) {
    JoystickState s = ReadJoystick(0);
    x = s.axes[0] / 30000;
    y = s.axes[1] / 30000;
    b1 = s.buttons[0];
    b2 = s.buttons[1];
}
