// Internals of the input and sound folder: the input-devices object and the helpers its files
// share (the folder's state is gDevices, devices/state.h). Other folders use devices.h.
#pragma once

#include <SDL/SDL.h>

#include <cmath>
#include <cstdint>

#include "basics/arguments.h"

// Scancodes are PC keyboard set-1 codes, extended keys numbered 0x80 + code; 0..254 are used.
constexpr int kScancodeCount = 255;
constexpr int kMaxJoysticks = 10;
constexpr int kJoyAxes = 6;
constexpr int kJoyButtons = 32;

// The input-devices object: created by RuntimeStart, destroyed by EndProgram.
struct InputDevices {
    int32_t mouseX = 100;                    // stored mouse position in pixels
    int32_t mouseY = 100;
    SDL_Joystick* joysticks[kMaxJoysticks] = {}; // null until opened
    uint8_t cursorVisible = 0;               // 1 while the system cursor is shown
    int32_t joystickCount = 0;               // opened joysticks, at most 10
    uint8_t mouseStale = 1;                  // 1: the next mouse query samples SDL afresh
    int16_t lastRelX = 0;                    // relative motion and wheel of the last fresh sample
    int16_t lastRelY = 0;
    int16_t lastWheel = 0;
};

// What the commands remember from one read to the next, outside the input-devices object.
struct InputMemory {
    uint8_t lastChar = 0;   // the character last returned by ReadKeyChar
    double waitX = 0;       // the mouse as WaitForInputChange saw it last; all 0 at start
    double waitY = 0;
    double waitLeft = 0;
    double waitRight = 0;
};

// One read of SDL's mouse state, as ReadMouse takes it.
struct MouseReading {
    uint8_t mask = 0;        // SDL's button mask
    int32_t relX = 0;        // relative motion since the last fresh read (fresh reads only)
    int32_t relY = 0;
    int32_t x = 0;           // the system pointer (fresh reads with the cursor shown, else 0)
    int32_t y = 0;
    int8_t wheel = 0;        // the latest wheel press noted since the last fresh read: +1, -1, 0
};

// One fresh or cached mouse sample.
struct MouseSample {
    int left = 0, right = 0, middle = 0;  // buttons, 0/1
    int relX = 0, relY = 0;               // motion since the previous fresh sample, pixels
    int wheel = 0;                        // +1 up, -1 down, 0 none
};

// One joystick read: six axes (-32768..32767), 32 buttons (0/1), the first hat's angle in
// hundredths of a degree clockwise from up, or kHatCentred.
constexpr int kHatCentred = -1;
struct JoystickState {
    int axes[kJoyAxes] = {};
    uint8_t buttons[kJoyButtons] = {};
    int hatAngle = kHatCentred;
};

InputDevices* Devices();            // the object, or null outside RuntimeStart..EndProgram
bool KeyHeld(int scancode);         // scancode 0..254 held, from the (replaceable) key table
bool AnyKeyHeld();                  // any scancode 0..254 held
int ReadKeyChar();                  // newly pressed character key, 0 for none
MouseSample ReadMouse();            // fresh after UpdateInputDevices, cached otherwise
void WatchWheel();                  // notes wheel presses as SDL queues them (from start-up)
void StopWatchingWheel();           // at shutdown
JoystickState ReadJoystick(int j);  // all zero and centred for a joystick not opened
int JoystickCount();                // opened joysticks (while replaying: the recorded run's)

