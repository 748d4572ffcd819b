// The optional GL extension entry points, looked up at run time when the window opens. Each is
// null until then, and stays null when the GL lacks it: every user tests for null and falls back
// (single texturing, client-side vertex arrays).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARBPtr;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARBPtr;
extern PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARBPtr;
extern PFNGLGENBUFFERSARBPROC glGenBuffersARBPtr;
extern PFNGLBINDBUFFERARBPROC glBindBufferARBPtr;
extern PFNGLBUFFERDATAARBPROC glBufferDataARBPtr;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARBPtr;
extern PFNGLMAPBUFFERARBPROC glMapBufferARBPtr;
extern PFNGLUNMAPBUFFERARBPROC glUnmapBufferARBPtr;
