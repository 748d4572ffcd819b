// XTest events and pixel reads for the X tests.
#include "devices/x_user.h"

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <vector>

#include "base/state.h"
#include "support/within.h"

namespace {

Display* AsDisplay(void* d) { return static_cast<Display*>(d); }

// What the program in the main thread has taken in: SDL's key table changes when it pumps a key
// event, and ShowScreen stamps each frame's start. A value read a moment early only costs a poll.
std::vector<uint8_t> PumpedKeys() {
    int count = 0;
    const Uint8* keys = SDL_GetKeyState(&count);
    return std::vector<uint8_t>(keys, keys + count);
}

double FrameStart() {
    double t = 0;
    __atomic_load(&gBase.timers.currentFrameTime, &t, __ATOMIC_RELAXED);
    return t;
}

} // namespace

XUser::~XUser() {
    if (display_) XCloseDisplay(AsDisplay(display_));
}

bool XUser::Connect() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1) return false;
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return false;
    display_ = d;
    window_ = info.info.x11.window;
    wmWindow_ = info.info.x11.wmwindow;
    ::Window child;
    XTranslateCoordinates(d, window_, DefaultRootWindow(d), 0, 0, &originX_, &originY_, &child);
    XSetInputFocus(d, wmWindow_, RevertToParent, CurrentTime);
    MovePointer(320, 240);
    return true;
}

void XUser::Sync() { XSync(AsDisplay(display_), False); }

void XUser::MovePointer(int x, int y) {
    XTestFakeMotionEvent(AsDisplay(display_), -1, originX_ + x, originY_ + y, CurrentTime);
    Sync();
}

void XUser::Key(unsigned long keysym, bool down) {
    Display* d = AsDisplay(display_);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, keysym), down, CurrentTime);
    Sync();
}

bool XUser::KeyTakenIn(unsigned long keysym, bool down) {
    const std::vector<uint8_t> before = PumpedKeys();
    Key(keysym, down);
    return voxatest::Within([&] { return PumpedKeys() != before; });
}

bool XUser::WaitFrames(int frames) {
    double last = FrameStart();
    return voxatest::Within([&] {
        const double now = FrameStart();
        if (now != last) --frames;
        last = now;
        return frames <= 0;
    });
}

// The program reads the key once a frame, right after ShowScreen, and reports a key held on only
// once: the key stays down until two frames have started since the program took the press in,
// and up as long, however long the frames take.
bool XUser::Type(unsigned long keysym) {
    return KeyTakenIn(keysym, true) && WaitFrames(2) && KeyTakenIn(keysym, false) && WaitFrames(2);
}

void XUser::Button(unsigned button, bool down) {
    XTestFakeButtonEvent(AsDisplay(display_), button, down, CurrentTime);
    Sync();
}

void XUser::CloseWindow() {
    Display* d = AsDisplay(display_);
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = wmWindow_;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, wmWindow_, False, NoEventMask, &e);
    Sync();
}

void XUser::Count(int x, int y, int w, int h, int& white, int& blue) {
    white = blue = 0;
    XImage* image = XGetImage(AsDisplay(display_), window_, x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) return;
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            unsigned long p = XGetPixel(image, i, j);
            int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            if (r > 150 && g > 150 && b > 150) ++white;
            if (b > 200 && r < 60 && g < 60) ++blue;
        }
    }
    XDestroyImage(image);
}
