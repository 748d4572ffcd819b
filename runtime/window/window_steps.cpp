// Start-up steps of the window, called by RuntimeStart in its fixed order.
#include <cstdlib>

#include "window/window.h"

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
