// The one 2D renderer of the program, constructed before the program's entry.
#include "gfx2d/renderer.h"

OpenGLZovovezi gRenderer2D;

// Every table starts empty and colourScale at 1 (opaque mode) without touching GL; the window
// (window/) is a static object of its own, whose constructor starts SDL's timer.
OpenGLZovovezi::OpenGLZovovezi() = default;

// GL objects are not deleted here: the destructor runs at process exit, after EndProgram has
// quit SDL and with it the GL context, and the process exit reclaims them. The alpha masks and
// tables are freed with the members.
OpenGLZovovezi::~OpenGLZovovezi() = default;
