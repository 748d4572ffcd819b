// The SDL window and its GL context, the extension probe, full screen and the default 2D state.
#include "window/window.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/clock.h"
#include "window/state.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Leak-checking builds only. The GL driver keeps blocks that only its own globals point to, and
// SDL_Quit unloads it before the leak check at exit runs: those blocks would be reported as
// lost, with stacks into a library that is no longer mapped. Marking the loaded driver
// RTLD_NODELETE keeps it, and its globals, in the check.
void KeepGlDriverLoaded() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            const char* name = info->dlpi_name;
            if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium")))
                static_cast<std::vector<std::string>*>(found)->push_back(name);
            return 0;
        },
        &drivers);
    for (const std::string& name : drivers) {
        if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(handle);
    }
}
#else
void KeepGlDriverLoaded() {}
#endif

// The colour channel sizes asked of the GL for a colour depth (0 already mapped to 16).
void ChannelSizes(int depth, int& red, int& green, int& blue) {
    if (depth == 8) {
        red = 3, green = 3, blue = 2;
    } else if (depth == 15 || depth == 16) {
        red = green = blue = 5;
    } else {
        red = green = blue = 8;
    }
}

template <typename Pointer>
void Probe(Pointer& slot, const char* name) {
    slot = reinterpret_cast<Pointer>(SDL_GL_GetProcAddress(name));
    PrintExtensionLine(name, slot != nullptr);
}

// Looks up the nine ARB entry points, but only when the GL offers multitexturing; without it
// none is looked up and nothing is printed.
void ProbeExtensions() {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || std::strstr(extensions, "GL_ARB_multitexture") == nullptr) return;
    Probe(gWindow.gl.activeTexture, "glActiveTextureARB");
    Probe(gWindow.gl.multiTexCoord2f, "glMultiTexCoord2fARB");
    Probe(gWindow.gl.clientActiveTexture, "glClientActiveTextureARB");
    Probe(gWindow.gl.genBuffers, "glGenBuffersARB");
    Probe(gWindow.gl.bindBuffer, "glBindBufferARB");
    Probe(gWindow.gl.bufferData, "glBufferDataARB");
    Probe(gWindow.gl.deleteBuffers, "glDeleteBuffersARB");
    Probe(gWindow.gl.mapBuffer, "glMapBufferARB");
    Probe(gWindow.gl.unmapBuffer, "glUnmapBufferARB");
    std::fflush(stdout);
}

bool SurfaceIsFullscreen() {
    SDL_Surface* surface = SDL_GetVideoSurface();
    return surface != nullptr && (surface->flags & SDL_FULLSCREEN) != 0;
}

void ToggleFullscreen() {
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (surface != nullptr) SDL_WM_ToggleFullScreen(surface);
}

} // namespace

WindowState gWindow;

WindowContext& Window() { return gWindow.context; }

void PrintExtensionLine(const char* name, bool found) {
    std::printf("ext: %.35s   [%s]\n", name, found ? " OK " : "FAIL");
}

// Starts SDL's tick count, which is all the runtime needs of SDL's timer. The timer subsystem
// proper is left alone: it runs a thread from here on, and a forked child (a test's death
// test, for one) that quits SDL would join that thread, which does not exist in the child.
WindowContext::WindowContext() {
    SDL_Init(SDL_INIT_NOPARACHUTE);
    nextFrameTime = GetTicks();
}

bool WindowContext::OpenWindow(int width, int height, int colourDepth, double fps) {
    SetFrameRate(fps);
    // Without NOPARACHUTE every SDL_Init installs SDL's fatal-signal handler, which calls
    // SDL_Quit and exit from inside the signal: after a crash in the GL driver that second
    // shutdown hangs. A crash must end the process as a crash.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) {
        std::fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        std::exit(1);
    }
    if (colourDepth == 0) colourDepth = 16;
    int red, green, blue;
    ChannelSizes(colourDepth, red, green, blue);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (SDL_SetVideoMode(width, height, colourDepth, SDL_OPENGL) == nullptr) {
        std::fprintf(stderr, "Couldn't set GL mode: %s\n", SDL_GetError());
        SDL_Quit();
        return false;
    }
    KeepGlDriverLoaded();
    depth = colourDepth;
    fullscreen = 0;
    screenWidth = width;
    screenHeight = height;
    nextFrameTime = GetTicks();
    ready = 1;
    ProbeExtensions();
    Setup2D(0, 0, 0, 0);
    return true;
}

int WindowContext::SetFullscreenOn() {
    if (!SurfaceIsFullscreen()) ToggleFullscreen();
    fullscreen = 1;
    return 1;
}

int WindowContext::SetFullscreenOff() {
    if (SurfaceIsFullscreen()) ToggleFullscreen();
    fullscreen = 0;
    return 1;
}

void WindowContext::Setup2D(int x, int y, int w, int h) {
    if (w < 1 || h < 1) {
        w = screenWidth;
        h = screenHeight;
    }
    viewportX = x;
    viewportY = y;
    viewportWidth = w;
    viewportHeight = h;
    if (!ready) return;
    glViewport(x, screenHeight - h - y, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, -h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.15f);
    for (GLenum cap : {GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH,
                       GL_POLYGON_SMOOTH, GL_STENCIL_TEST, GL_POLYGON_OFFSET_POINT,
                       GL_COLOR_MATERIAL, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING}) {
        glDisable(cap);
    }
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_FLAT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}

void WindowContext::ClearBuffers(int buffers) {
    if (!ready) return;
    glClear(((buffers & kClearColour) ? GL_COLOR_BUFFER_BIT : 0) | ((buffers & kClearDepth) ? GL_DEPTH_BUFFER_BIT : 0) |
            ((buffers & kClearStencil) ? GL_STENCIL_BUFFER_BIT : 0));
}

void WindowContext::FinishDrawing() {
    if (ready) glFinish();
}

const char* WindowContext::RendererName() {
    const GLubyte* name = ready ? glGetString(GL_RENDERER) : nullptr;
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

void WindowContext::SetScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
    Setup2D(0, 0, 0, 0);
}
