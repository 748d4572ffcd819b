// The random generator's insides (ISAAC, one instance): its state, for the input recorder, which
// saves and restores it, and for the tests that check the ISAAC pass itself. The math and random
// commands are in voxa/basics.h.
#pragma once

#include <cstdint>

struct IsaacState {
    uint32_t randcnt = 0;        // 256 after seeding
    uint32_t randrsl[256] = {};  // results of the last pass
    uint32_t randmem[256] = {};  // internal state
    uint32_t randa = 0, randb = 0, randc = 0;
};

// The state of the basics folder (DynString, DynArray and the string commands share none): the
// generator, seeded by RuntimeStart and by SeedRandom; the input recorder saves it into a
// recording and a replay puts it back. Nothing else resets it.
struct BasicsState {
    IsaacState random; // the generator Rnd draws from
};
extern BasicsState gBasics;

void IsaacPass(IsaacState& s);                 // one complete ISAAC pass
void IsaacInit(IsaacState& s, bool useResults); // ISAAC's own initialisation (with randrsl as seed when useResults)
