// The window part of the 2D renderer: the SDL window and its GL context, the optional GL
// extension entry points, full screen, the default 2D drawing state (Setup2D) and the frame
// pacing of PresentFrame. There is one WindowContext, part of this folder's state (gWindow,
// window/state.h, with the extension entry points); the 2D renderer's stores (gfx2d/renderer.h)
// are built on top of it, and Window() reaches it from every layer above.
#pragma once

#include <cstdint>
#include <vector>

// Buffers of the frame for WindowContext::ClearBuffers, combined with |.
constexpr int kClearColour = 1;
constexpr int kClearDepth = 2;
constexpr int kClearStencil = 4;

class WindowContext {
public:
    WindowContext();  // starts SDL's tick count; the first frame deadline is now

    // Window and GL context
    bool OpenWindow(int width, int height, int depth, double fps); // false (message on stderr) when the GL mode cannot be set; no video: exit status 1
    int SetFullscreenOn();                         // toggles only when windowed; always 1
    int SetFullscreenOff();                        // toggles only when full screen; always 1
    void Setup2D(int x, int y, int w, int h);      // viewport (w or h < 1: whole screen) and the default 2D state
    void SetScreenSize(int width, int height);     // new screen size, then Setup2D(0, 0, 0, 0)

    // Frame presentation and pacing
    double PresentFrame();                         // swap, clear, wait for the frame slot; 0 when a quit request came, else ms spent + 1
    double WaitForFrameSlot();                     // the pacing part of PresentFrame, without GL
    bool PollQuit();                               // drains SDL's queue: 1 when empty, 0 at a quit request (SDL_QUIT or Escape pressed)
    void SetFrameRate(double fps);                 // frameInterval = 1000 / fps, or 2 ms when fps <= 0

    // The frame's buffers, for programs that draw or time frames of their own; nothing
    // without a GL context.
    void ClearBuffers(int buffers);                // kClearColour | kClearDepth | kClearStencil
    void FinishDrawing();                          // returns once GL has carried out every call made so far
    const char* RendererName();                    // GL's renderer string; "" without a context

    // The frame last shown, kept by PresentFrame: RGB bytes, screenWidth x screenHeight, rows
    // bottom-up, tightly packed; null before the first frame.
    const uint8_t* ShownFrame();

    int32_t screenWidth = 0;   // pixels
    int32_t screenHeight = 0;  // pixels
    int32_t depth = 0;         // colour depth in bits as opened (0 is stored as 16)
    uint8_t fullscreen = 0;    // 1 after SetFullscreenOn
    int32_t viewportX = 0;     // viewport as last given to Setup2D, pixels from the top-left
    int32_t viewportY = 0;
    int32_t viewportWidth = 0;
    int32_t viewportHeight = 0;
    uint8_t ready = 0;         // 1 once the GL mode has been set: GL calls are allowed
    double nextFrameTime = 0;  // earliest tick at which the next frame may be shown (ms)
    double frameInterval = 0;  // ms per frame

private:
    void KeepShownFrame();

    uint32_t shownTexture_ = 0;          // GL texture with a copy of the frame last shown
    int32_t shownTextureWidth_ = 0;      // its size, powers of two covering the screen
    int32_t shownTextureHeight_ = 0;
    bool shownValid_ = false;            // a frame has been kept since the window opened
    bool shownReadBack_ = false;         // shownPixels_ holds it
    std::vector<uint8_t> shownPixels_;   // read back on first use after each frame
};

WindowContext& Window();       // the program's one window, constructed before the program's entry

// Start-up steps, called by RuntimeStart in its fixed order.
bool StartWindow(int width, int height, int depth, int fps); // opens the window and GL context; a GL mode that cannot be set ends the process with status 1
void SetWindowFullscreen(bool on);  // full screen or windowed, once the window is ready
void PresentStartFrame();           // clear, present one frame, whole-screen 2D state

// Prints the "ext:" line of one probed entry point to standard output.
void PrintExtensionLine(const char* name, bool found);
