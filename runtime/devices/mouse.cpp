// Mouse: one sample per frame, the stored position and the wheel.
//
// ShowScreen marks the mouse stale; the first query after it samples SDL afresh (relative
// motion since the previous fresh sample, buttons, wheel) and later queries in the same frame
// return that motion again. With the cursor hidden (the default) the stored position is not the
// system pointer's: it starts at (100, 100) and integrates the relative motion, so a program
// can steer by mouse beyond the window's edges; GetMouseState clamps it to the screen.
//
// A wheel notch reaches SDL as a press and release of button 4 (up) or 5 (down) that arrive
// together, so the button mask alone almost never shows it, and the press event itself is taken
// off the queue by the frame's event polling. An event filter, which SDL calls for every event
// it queues, therefore notes each wheel press; the next fresh sample reports the latest one.
#include <SDL/SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "base/errors.h"
#include "devices/devices_local.h"
#include "devices/recording.h"
#include "voxa/devices.h"
#include "voxa/window.h"

namespace {

int NoteWheel(const SDL_Event* event) {
    if (event->type == SDL_MOUSEBUTTONDOWN) {
        if (event->button.button == SDL_BUTTON_WHEELUP) gDevices.pendingWheel = 1;
        if (event->button.button == SDL_BUTTON_WHEELDOWN) gDevices.pendingWheel = -1;
    }
    return gDevices.chainedFilter ? gDevices.chainedFilter(event) : 1;  // the event stays queued
}

// Position plus motion, kept inside the int range whatever position a program has set.
int AddClamped(int32_t position, int motion) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{position} + motion, INT32_MIN, INT32_MAX));
}

int16_t ToShort(int v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// SDL's mouse state as one read takes it: a fresh read also takes the relative motion, the
// pointer (when it is shown) and the noted wheel press.
MouseReading ReadSdlMouse(bool fresh, bool pointerShown) {
    MouseReading r;
    if (!fresh) {
        r.mask = SDL_GetMouseState(nullptr, nullptr);
        return r;
    }
    int rx = 0, ry = 0;
    r.mask = SDL_GetRelativeMouseState(&rx, &ry);
    r.relX = rx;
    r.relY = ry;
    if (pointerShown) {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        r.x = x;
        r.y = y;
    }
    r.wheel = static_cast<int8_t>(gDevices.pendingWheel.exchange(0));
    return r;
}

} // namespace

void WatchWheel() {
    SDL_EventFilter current = SDL_GetEventFilter();
    if (current == NoteWheel) return;
    gDevices.chainedFilter = current;
    SDL_SetEventFilter(NoteWheel);
}

void StopWatchingWheel() {
    if (SDL_GetEventFilter() == NoteWheel) SDL_SetEventFilter(gDevices.chainedFilter);
    gDevices.chainedFilter = nullptr;
    gDevices.pendingWheel = 0;
}

MouseSample ReadMouse() {
    MouseSample m;
    InputDevices* d = Devices();
    if (d == nullptr) return m;
    SDL_PumpEvents();
    const bool fresh = d->mouseStale != 0;
    const MouseReading r = SampleMouse(fresh, ReadSdlMouse(fresh, d->cursorVisible != 0));
    if (fresh) {
        // Only a fresh sample takes SDL's relative motion, so motion made after it waits for
        // the next frame instead of being dropped by a repeated query.
        const bool shown = d->cursorVisible != 0;
        const int x = shown ? r.x : AddClamped(d->mouseX, r.relX);
        const int y = shown ? r.y : AddClamped(d->mouseY, r.relY);
        const int wheel = (r.mask & SDL_BUTTON(SDL_BUTTON_WHEELUP)) ? 1
                        : (r.mask & SDL_BUTTON(SDL_BUTTON_WHEELDOWN)) ? -1 : r.wheel;
        d->mouseStale = 0;
        d->lastRelX = ToShort(r.relX);
        d->lastRelY = ToShort(r.relY);
        d->lastWheel = static_cast<int16_t>(wheel);
        d->mouseX = x;
        d->mouseY = y;
    }
    m.left = (r.mask & SDL_BUTTON(SDL_BUTTON_LEFT)) ? 1 : 0;
    m.right = (r.mask & SDL_BUTTON(SDL_BUTTON_RIGHT)) ? 1 : 0;
    m.middle = (r.mask & SDL_BUTTON(SDL_BUTTON_MIDDLE)) ? 1 : 0;
    m.relX = d->lastRelX;
    m.relY = d->lastRelY;
    m.wheel = d->lastWheel;
    return m;
}

void GetMouseState(double& x, double& y, double& left, double& right) {
    MouseSample m = ReadMouse();
    InputDevices* d = Devices();
    if (d == nullptr) {
        x = y = left = right = 0;
        return;
    }
    d->mouseX = std::max(0, std::min(d->mouseX, gSettings.screenWidth - 1));
    d->mouseY = std::max(0, std::min(d->mouseY, gSettings.screenHeight - 1));
    x = d->mouseX;
    y = d->mouseY;
    left = m.left;
    right = m.right;
}

double MouseAxis(double n) {
    MouseSample m = ReadMouse();
    switch (TruncOr(n, -1)) {
        case 0: return m.relX;
        case 1: return m.relY;
        case 2: return m.wheel;
        case 3: return m.left;
        case 4: return m.right;
        case 5: return m.middle;
        default: return 0;
    }
}

void ShowMouse(double on) {
    InputDevices* d = Devices();
    if (d == nullptr) return;
    uint8_t v = on != 0 ? 1 : 0;
    if (v == d->cursorVisible) return;
    d->cursorVisible = v;
    SDL_ShowCursor(v ? SDL_ENABLE : SDL_DISABLE);
}

void SetMousePosition(double x, double y) {
    InputDevices* d = Devices();
    if (d == nullptr) return;
    d->mouseX = TruncOr(x, 0);
    d->mouseY = TruncOr(y, 0);
}
