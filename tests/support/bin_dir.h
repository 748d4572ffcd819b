// Test support: the directory of the built game and its generated assets (the build sets
// VOXA_BIN_DIR for every test; by hand, tests run from the source tree find build/bin).
#pragma once

#include <cstdlib>
#include <string>

namespace voxatest {

inline std::string BinDir() { return std::getenv("VOXA_BIN_DIR") ? std::getenv("VOXA_BIN_DIR") : "build/bin"; }

} // namespace voxatest
