// The input-devices object: created, started and destroyed by RuntimeStart and EndProgram,
// and refreshed by ShowScreen once per frame.
#include <SDL/SDL.h>

#include <algorithm>

#include "devices/devices_local.h"
#include "devices/lifecycle.h"
#include "voxa/devices.h"

InputMemory gInputMemory;

namespace {
InputDevices* gDevices = nullptr;  // owned; lives from CreateInputDevices to DestroyInputDevices
}

InputDevices* Devices() { return gDevices; }

void CreateInputDevices() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    delete gDevices;
    gDevices = new InputDevices();
}

void StartInputDevices() {
    if (gDevices == nullptr) return;
    gDevices->cursorVisible = 0;
    SDL_ShowCursor(SDL_DISABLE);
    gDevices->joystickCount = std::min(SDL_NumJoysticks(), kMaxJoysticks);
    for (int j = 0; j < gDevices->joystickCount; ++j) gDevices->joysticks[j] = SDL_JoystickOpen(j);
    WatchWheel();
}

// Runs after SDL_Quit in the shutdown: SDL then reports no joysticks, so none is touched. An
// input recording is closed here, with the frame the program ended in.
void DestroyInputDevices() {
    StopInputRecording();
    if (gDevices == nullptr) return;
    StopWatchingWheel();
    if (gDevices->cursorVisible != 1) {
        gDevices->cursorVisible = 1;
        SDL_ShowCursor(SDL_ENABLE);
    }
    int count = std::min(SDL_NumJoysticks(), kMaxJoysticks);
    for (int j = 0; j < count; ++j) {
        if (SDL_JoystickOpened(j) && gDevices->joysticks[j] != nullptr) {
            SDL_JoystickClose(gDevices->joysticks[j]);
        }
    }
    delete gDevices;
    gDevices = nullptr;
}

void UpdateInputDevices() {
    SDL_PumpEvents();
    if (gDevices != nullptr) gDevices->mouseStale = 1;
}
