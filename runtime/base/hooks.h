// Steps that a lower layer runs and a higher layer provides. Includes point down only, so a
// lower layer cannot name a step of a higher one. Instead the file that defines the step puts it
// into this table while the program starts (a static registration beside the step's
// definition), and the lower layer calls it through the table. A step whose file is not linked
// into the program stays null and is skipped: the state it acts on cannot exist either (no
// shadow pass without the 3D renderer, no recording without the input recorder).
#pragma once

struct RuntimeHooks {
    void (*endShadowPass)() = nullptr;   // gfx3d: closes an open stencil-shadow pass (SetViewport, before the 2D state)
    bool (*quitReplayed)() = nullptr;    // devices: replaying, and the recorded run met a quit request here (PollQuit)
    void (*noteQuitRequest)() = nullptr; // devices: a quit request came off the window's queue (written while recording)
    void (*showScreen)() = nullptr;      // core: ends the frame (the line editor's own frames)
};

// The table is gBase.hooks (base/state.h): all null until the providing files register at static
// initialisation, e.g. `const HookRegistration kHook(gBase.hooks.showScreen, ShowScreen);`
struct HookRegistration {
    template <typename Step>
    HookRegistration(Step*& slot, Step* step) { slot = step; }
};
