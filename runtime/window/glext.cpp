// Storage of the GL extension entry points (null until the window's probe fills them).
#include "window/glext.h"

PFNGLACTIVETEXTUREARBPROC glActiveTextureARBPtr = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARBPtr = nullptr;
PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARBPtr = nullptr;
PFNGLGENBUFFERSARBPROC glGenBuffersARBPtr = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARBPtr = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARBPtr = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARBPtr = nullptr;
PFNGLMAPBUFFERARBPROC glMapBufferARBPtr = nullptr;
PFNGLUNMAPBUFFERARBPROC glUnmapBufferARBPtr = nullptr;
