// The user's side of the X tests: its own connection to the X server, sending XTest events to
// the program's SDL window and reading its pixels. Xlib stays in x_user.cpp (its type Window
// collides with the runtime's Window()); keys are the XK_ numbers of <X11/keysym.h>.
#pragma once

#include <X11/keysym.h>

class XUser {
public:
    XUser() = default;
    XUser(const XUser&) = delete;
    XUser& operator=(const XUser&) = delete;
    ~XUser();

    bool Connect();                                  // to SDL's window; takes the keyboard focus, pointer at the centre
    void MovePointer(int x, int y);                  // window coordinates
    void Key(unsigned long keysym, bool down);

    // For a player thread beside a program that runs in the main thread; each waits at most a
    // minute and reports whether what it waited for happened.
    bool KeyTakenIn(unsigned long keysym, bool down); // Key, then wait until the program has pumped it
    static bool WaitFrames(int frames);              // until the program has started that many more frames
    bool Type(unsigned long keysym);                 // a key stroke a program reading one key a frame sees once
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
