// The user's side of the X tests: a connection of its own to the X server that shows the
// program's SDL window, sending key, button and pointer events through XTest and reading the
// window's pixels. Xlib stays inside x_user.cpp (its type Window collides with the runtime's
// Window()); keys are named by the XK_ constants of <X11/keysym.h>, which are plain numbers.
#pragma once

#include <X11/keysym.h>

// How long Type holds a key down and then up. The program reads the keys' state once a frame,
// so both must outlast the slowest frame: frames of a sanitizer build on a loaded machine take
// well over 150 ms now and then.
constexpr int kTypeHoldMs = 300;

class XUser {
public:
    XUser() = default;
    XUser(const XUser&) = delete;
    XUser& operator=(const XUser&) = delete;
    ~XUser();

    bool Connect();                                  // to SDL's window; takes the keyboard focus, pointer at the centre
    void MovePointer(int x, int y);                  // window coordinates
    void Key(unsigned long keysym, bool down);
    void Type(unsigned long keysym);                 // down, then up, each for kTypeHoldMs
    void Button(unsigned button, bool down);         // 1 left, 2 middle, 3 right, 4/5 wheel up/down
    void CloseWindow();                              // the window manager's close request
    void Count(int x, int y, int w, int h, int& white, int& blue); // shown pixels of an area: white-ish, blue

private:
    void Sync();

    void* display_ = nullptr;
    unsigned long window_ = 0;    // SDL's drawing window
    unsigned long wmWindow_ = 0;  // its top-level window, which takes the keyboard focus
    int originX_ = 0, originY_ = 0;
};
