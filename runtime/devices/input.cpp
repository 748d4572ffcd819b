// The input-devices object: created, started and destroyed by RuntimeStart and EndProgram,
// and refreshed by ShowScreen once per frame.
#include <SDL/SDL.h>

#include <algorithm>

#include "devices/devices_local.h"
#include "devices/lifecycle.h"
#include "devices/state.h"
#include "voxa/devices.h"

DevicesState gDevices;

InputDevices* Devices() { return gDevices.input; }

void CreateInputDevices() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    delete gDevices.input;
    gDevices.input = new InputDevices();
}

void StartInputDevices() {
    if (gDevices.input == nullptr) return;
    gDevices.input->cursorVisible = 0;
    SDL_ShowCursor(SDL_DISABLE);
    gDevices.input->joystickCount = std::min(SDL_NumJoysticks(), kMaxJoysticks);
    for (int j = 0; j < gDevices.input->joystickCount; ++j) gDevices.input->joysticks[j] = SDL_JoystickOpen(j);
    WatchWheel();
}

// Runs after SDL_Quit in the shutdown: SDL then reports no joysticks, so none is touched. An
// input recording is closed here, with the frame the program ended in.
void DestroyInputDevices() {
    StopInputRecording();
    if (gDevices.input == nullptr) return;
    StopWatchingWheel();
    if (gDevices.input->cursorVisible != 1) {
        gDevices.input->cursorVisible = 1;
        SDL_ShowCursor(SDL_ENABLE);
    }
    int count = std::min(SDL_NumJoysticks(), kMaxJoysticks);
    for (int j = 0; j < count; ++j) {
        if (SDL_JoystickOpened(j) && gDevices.input->joysticks[j] != nullptr) {
            SDL_JoystickClose(gDevices.input->joysticks[j]);
        }
    }
    delete gDevices.input;
    gDevices.input = nullptr;
}

void UpdateInputDevices() {
    SDL_PumpEvents();
    if (gDevices.input != nullptr) gDevices.input->mouseStale = 1;
}
