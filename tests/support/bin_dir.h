// Test support: the directory of the built game and its assets (VOXA_BIN_DIR, else build/bin).
#pragma once

#include <cstdlib>
#include <string>

namespace voxatest {

inline std::string BinDir() { return std::getenv("VOXA_BIN_DIR") ? std::getenv("VOXA_BIN_DIR") : "build/bin"; }

} // namespace voxatest
