// Test support: tests poll for the state they need instead of sleeping a fixed time, with a limit
// far beyond any normal wait: a loaded machine only makes them slower.
#pragma once

#include <chrono>
#include <thread>

namespace voxatest {

constexpr int kPatienceMs = 60000;  // the usual limit: a minute

// Polls done() every pollMs until it holds (true) or limitMs have passed (false).
template <typename Done>
bool Within(Done done, int limitMs = kPatienceMs, int pollMs = 1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(pollMs))) {
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
    return true;
}

} // namespace voxatest
