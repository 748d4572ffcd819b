// Frame presentation and pacing: PresentFrame, the frame-rate limit and the frame last shown.
//
// The pacing grid. The window keeps one deadline, nextFrameTime, set to the tick count when the
// window opens, and moves it forward by frameInterval per frame, so frames are released on a
// fixed grid of slots counted from that moment (16.67 ms apart at 60 frames per second), not
// frameInterval after the previous frame. PresentFrame swaps first and waits afterwards, while
// the deadline is still >= the current tick, so a deadline equal to the tick waits for the next
// one: the frame is released at the first tick past the deadline. Then the deadline moves one
// slot on; a frame that came back later than that slot skips every slot already in the past
// and the deadline lands on the first grid point at or after the current tick. Missed slots
// are dropped, never caught up by running faster.
//
// The wait sleeps, in steps of at most kPollStepMs with SDL's queue drained between them (a
// close request or Escape is heard within a step), until the release tick is less than
// kSpinMs plus one tick away; it spins on the clock for that last stretch, because a sleep
// ends a little late and the tick must be caught as it turns. Being somewhere inside the
// current tick, the wait knows only that the release tick is more than (release - now - 1) ms
// away, so that is what it sleeps on.
//
// Time is read only through GetTicks and slept only through SleepTicks, so tests drive this
// loop with their own clock.
//
// The frame last shown. Before each swap the back buffer is copied into a texture (a copy
// inside GL), because the front buffer cannot be read back reliably: software GL on X (Mesa's
// llvmpipe) returns black for it, and a covered or composited window need not hold its pixels.
// GetPixel and SaveScreenshot read that copy, fetched once per shown frame on first use.
#include <GL/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>

#include "base/clock.h"
#include "base/state.h"
#include "voxa/window.h"
#include "window/window.h"

namespace {

// Intervals beyond one minute per frame are taken as one minute, so an absurd frame rate
// (a subnormal fps gives an infinite interval) cannot stall the program for good.
constexpr double kLongestFrameInterval = 60000.0;

constexpr double kPollStepMs = 2.0; // longest sleep between two drains of the event queue
constexpr double kSpinMs = 0.5;     // the stretch before the release tick that is spun, not slept

} // namespace

// A quit request is input like a key: a replay ends where the recorded run ended, and a live
// request (the viewer closing the window) still ends a replay. The input recorder (devices/)
// lies above the window, so it hands its two steps over through the hook table.
bool WindowContext::PollQuit() {
    if (gBase.hooks.quitReplayed != nullptr && gBase.hooks.quitReplayed()) return false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT || (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
            if (gBase.hooks.noteQuitRequest != nullptr) gBase.hooks.noteQuitRequest();
            return false;
        }
    }
    return true;
}

void WindowContext::SetFrameRate(double fps) {
    frameInterval = fps > 0 ? 1000.0 / fps : 2.0;
    if (!(frameInterval <= kLongestFrameInterval)) frameInterval = kLongestFrameInterval;
}

double WindowContext::WaitForFrameSlot() {
    double t0 = GetTicks();
    double now = t0;
    // A quit request met right after the swap ends the program too: dropping it would lose an
    // Escape press or a close request of a program that is always late and never waits.
    if (!PollQuit()) return 0;
    while (nextFrameTime >= now) {
        const double release = std::floor(nextFrameTime) + 1; // the first tick past the deadline
        const double sleep = std::min(release - now - 1 - kSpinMs, kPollStepMs);
        if (sleep > 0) SleepTicks(sleep);
        if (!PollQuit()) return 0;
        now = GetTicks();
    }
    nextFrameTime += frameInterval;
    while (frameInterval > 0 && nextFrameTime < now) nextFrameTime += frameInterval;
    return now - t0 + 1;
}

void WindowContext::KeepShownFrame() {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    if (shownTexture_ == 0 || shownTextureWidth_ < screenWidth || shownTextureHeight_ < screenHeight) {
        if (shownTexture_ == 0) glGenTextures(1, &shownTexture_);
        shownTextureWidth_ = shownTextureHeight_ = 1;
        while (shownTextureWidth_ < screenWidth) shownTextureWidth_ *= 2;
        while (shownTextureHeight_ < screenHeight) shownTextureHeight_ *= 2;
        glBindTexture(GL_TEXTURE_2D, shownTexture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, shownTextureWidth_, shownTextureHeight_, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, shownTexture_);
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, screenWidth, screenHeight);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    shownValid_ = true;
    shownReadBack_ = false;
}

const uint8_t* WindowContext::ShownFrame() {
    if (!ready || !shownValid_) return nullptr;
    if (!shownReadBack_) {
        std::vector<uint8_t> texels(size_t(shownTextureWidth_) * size_t(shownTextureHeight_) * 3);
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glBindTexture(GL_TEXTURE_2D, shownTexture_);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, GLuint(previous));
        const size_t row = size_t(screenWidth) * 3;
        shownPixels_.resize(row * size_t(screenHeight));
        for (int y = 0; y < screenHeight; ++y) {
            std::copy_n(&texels[size_t(y) * size_t(shownTextureWidth_) * 3], row, &shownPixels_[y * row]);
        }
        shownReadBack_ = true;
    }
    return shownPixels_.data();
}

double WindowContext::PresentFrame() {
    if (ready) {
        glFlush();
        KeepShownFrame();
        SDL_GL_SwapBuffers();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    return WaitForFrameSlot();
}

void SetFrameRate(double fps) { Window().SetFrameRate(fps); }
