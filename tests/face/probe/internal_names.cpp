// Names of the runtime's insides are not declared by its public headers, not even by the test
// seams. Each use stands in a function of its own, so the compiler reports every one.
#include "voxa/runtime.h"
#include "voxa/testing.h"

int UsesRenderer() { return gRenderer2D.colourScale > 0; }  // the 2D renderer object
void UsesBinding() { BindTextures(0, -1, 0); }              // texture binding plumbing
int UsesWindow() { return Window().ready; }                 // the window object
void UsesFontNumber() { DrawText(0, "x", 0, 0, 0); }        // text by font number
int UsesLayerNumber() { return LoadLayer(0, "x.bmp"); }     // layers by number
void UsesBuiltinFont() { MakeBuiltinFont(0); }              // the built-in font's maker
int UsesRandomState() { IsaacState s; return int(s.randcnt); } // the generator's state
int UsesClock() { return int(GetTicks()); }                 // the clock inside
int UsesTimers() { return int(gBase.timers.startTime); }   // the frame timers' state
int UsesLookup() { return int(FindFile(nullptr, "x", nullptr)); } // the lookup on a pack state
void UsesStartStep() { CreateInputDevices(); }              // a start-up step
void UsesFrameStep() { EndShadowPass(); }                   // a per-frame step
int UsesHooks() { return gBase.hooks.showScreen != nullptr; } // the hook table

int main() { return 0; }
