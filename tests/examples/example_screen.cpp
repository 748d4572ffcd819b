// The example's window on the X display: finding it, grabbing its pixels, xdotool input.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "example_run.h"

namespace example {

namespace {

// The example creates and destroys windows while it starts: a window met in the tree may be gone
// by the next request about it. Such an error only means "not this one".
int IgnoreError(Display*, XErrorEvent*) { return 0; }

Display* AsDisplay(void* d) { return static_cast<Display*>(d); }

// A depth-first search below `parent` for a window named `caption`.
::Window FindNamed(Display* d, ::Window parent, const std::string& caption) {
    char* name = nullptr;
    if (XFetchName(d, parent, &name) && name) {
        bool match = caption == name;
        XFree(name);
        if (match) return parent;
    }
    ::Window root, up, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (XQueryTree(d, parent, &root, &up, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = FindNamed(d, children[i], caption);
        if (children) XFree(children);
    }
    return found;
}

void Xdotool(const std::string& arguments) {
    std::string command = "xdotool " + arguments;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

} // namespace

Screen::Screen(const std::string& caption) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    display_ = d;
    XSetErrorHandler(IgnoreError);
    const long long start = NowMs();
    XWindowAttributes a;
    do {
        ::Window w = FindNamed(d, DefaultRootWindow(d), caption);
        if (w && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) window_ = w;
    } while (!window_ && TimeLeft(start));
    if (!window_) return;
    ::Window child;
    XTranslateCoordinates(d, window_, DefaultRootWindow(d), 0, 0, &originX_, &originY_, &child);
    width_ = a.width;
    height_ = a.height;
    // The keyboard goes where the user would have clicked: the example's window.
    XSetInputFocus(d, window_, RevertToParent, CurrentTime);
    XSync(d, False);
}

Screen::~Screen() {
    if (display_) XCloseDisplay(AsDisplay(display_));
}

bool Screen::TimeLeft(long long startMs) const {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return LeftMs(startMs) > 0;
}

Picture Screen::Grab() {
    Picture p;
    if (!window_) return p;
    XImage* image = XGetImage(AsDisplay(display_), window_, 0, 0, unsigned(width_), unsigned(height_), AllPlanes, ZPixmap);
    if (!image) return p;
    p.width = width_;
    p.height = height_;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            unsigned long v = XGetPixel(image, x, y); // 0xRRGGBB on the 24-bit server
            p.pixels.push_back(uint32_t(((v >> 16) & 255) | (v & 0xFF00) | ((v & 255) << 16)));
        }
    }
    XDestroyImage(image);
    return p;
}

void Screen::MoveMouse(int x, int y) {
    Xdotool("mousemove --sync " + std::to_string(originX_ + x) + " " + std::to_string(originY_ + y));
}

void Screen::Key(const std::string& keysym, bool down) { Xdotool((down ? "keydown " : "keyup ") + keysym); }

void Screen::Button(int button, bool down) { Xdotool((down ? "mousedown " : "mouseup ") + std::to_string(button)); }

void Screen::Click(int button) { Xdotool("click " + std::to_string(button)); }

} // namespace example
