// The state of the window folder, in one object: the window with its GL context, pacing and the
// frame last shown, and the optional GL extension entry points. The application settings are
// not here: programs fill them, so they stay the public gSettings (voxa/window.h).
//
// Reset: the window is constructed before the program's entry (which starts SDL's tick count)
// and opened by RuntimeStart; SetScreenSize, the full-screen switches and Setup2D change it, and
// every PresentFrame moves the frame deadline and keeps the frame shown. The entry points are
// null until the window opens, which looks them up; a GL that lacks one leaves it null, and every
// user tests for null and falls back (single texturing, client-side vertex arrays). Nothing is
// reset at shutdown: the process ends.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include "window/window.h"

struct GlEntryPoints {
    PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;             // glActiveTextureARB
    PFNGLMULTITEXCOORD2FARBPROC multiTexCoord2f = nullptr;         // glMultiTexCoord2fARB
    PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr; // glClientActiveTextureARB
    PFNGLGENBUFFERSARBPROC genBuffers = nullptr;                   // glGenBuffersARB
    PFNGLBINDBUFFERARBPROC bindBuffer = nullptr;                   // glBindBufferARB
    PFNGLBUFFERDATAARBPROC bufferData = nullptr;                   // glBufferDataARB
    PFNGLDELETEBUFFERSARBPROC deleteBuffers = nullptr;             // glDeleteBuffersARB
    PFNGLMAPBUFFERARBPROC mapBuffer = nullptr;                     // glMapBufferARB
    PFNGLUNMAPBUFFERARBPROC unmapBuffer = nullptr;                 // glUnmapBufferARB
};

struct WindowState {
    WindowContext context; // the one window (also reached as Window())
    GlEntryPoints gl;      // the optional GL extension entry points
};

extern WindowState gWindow;
