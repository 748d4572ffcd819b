// Test support: waiting for a program the test started (fork and exec) to end.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace voxatest {

// The child's exit status (128 when a signal ended it); -1 when it still runs after ms
// milliseconds, and it is killed then.
inline int WaitForExit(pid_t pid, int ms) {
    for (int i = 0; i < ms / 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace voxatest
