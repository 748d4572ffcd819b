// ShowScreen: the end of every frame. It is the one per-frame step that knows every subsystem:
// input, the 3D engine's shadow pass, the window's presentation and pacing, the 2D state.
#include "base/clock.h"
#include "base/errors.h"
#include "base/state.h"
#include "devices/lifecycle.h"
#include "gfx2d/renderer.h"
#include "gfx3d/render.h"
#include "voxa/core.h"
#include "window/window.h"

namespace {

constexpr int kScancodeEscape = 1;
constexpr int kScancodeLeftAlt = 56;
constexpr int kScancodeF4 = 62;

[[noreturn]] void QuitByUser() {
    SetErrorCode(0);
    EndProgram();
}

// The line editor (devices/) runs frames of its own.
const HookRegistration kShowScreenHook(gBase.hooks.showScreen, ShowScreen);

} // namespace

void ShowScreen() {
    gBase.timers.previousFrameTime = gBase.timers.currentFrameTime;
    gBase.timers.currentFrameTime = GetTicks();
    UpdateInputDevices();
    if (gBase.timers.allowEscape != 0 && ScancodeHeld(kScancodeEscape)) QuitByUser();
    if (ScancodeHeld(kScancodeLeftAlt) && ScancodeHeld(kScancodeF4)) QuitByUser();
    EndShadowPass();
    WindowContext& window = Window();
    if (window.PresentFrame() == 0) QuitByUser();
    if (window.ready) {
        SetAlphaMode(0);
        DrawLayer(0);
        window.Setup2D(0, 0, 0, 0);
    }
    SetTextureVariant(0);
    EndInputFrame();
}
