// Start-up steps of the window and the 2D renderer, called by RuntimeStart in its fixed order.
#include <cstdlib>

#include "core/core.h"
#include "core/lifecycle.h"
#include "gfx2d/gfx2d.h"

// A program whose GL mode cannot be set has no window to draw into and no way to receive the
// user's quit, so it ends here, after the message, with status 1 like a program without video.
bool StartWindow(int width, int height, int depth, int fps) {
    if (!Window().OpenWindow(width, height, depth, fps)) std::exit(1);
    return true;
}

void SetWindowFullscreen(bool on) {
    if (!Window().ready) return;
    if (on) {
        Window().SetFullscreenOn();
    } else {
        Window().SetFullscreenOff();
    }
}

void PresentStartFrame() {
    WindowContext& window = Window();
    if (!window.ready) return;
    window.ClearBuffers(kClearColour);
    window.PresentFrame();
    window.Setup2D(0, 0, 0, 0);
}

void ShowLoadingScreen() {
    LoadFont(DynString(""), 0);
    LoadFont(DynString("smalfont.bmp"), 0);
    double w = 0, h = 0;
    GetFontSize(w, h);
    PrintText(DynString("Loading..."), (gSettings.screenWidth - 10 * w) * 0.5,
              (gSettings.screenHeight - h) * 0.5);
    ShowScreen();
}
