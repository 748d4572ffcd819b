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
IsaacState& RandomState();                     // the generator Rnd draws from
void IsaacPass(IsaacState& s);                 // one complete ISAAC pass
void IsaacInit(IsaacState& s, bool useResults); // ISAAC's own initialisation (with randrsl as seed when useResults)
