// Test support: waiting for a child the test started to end.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include "support/within.h"

namespace voxatest {

// The exit status (128 for a signal); -1 when it still runs after ms milliseconds (it is killed).
inline int WaitForExit(pid_t pid, int ms) {
    int status = 0;
    if (Within([&] { return waitpid(pid, &status, WNOHANG) == pid; }, ms, 20)) {
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace voxatest
