// Test support: starts a program whose standard input and output are pipes held by the test; the
// test's ends are close-on-exec, so programs started later never hold them open.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

namespace voxatest {

struct PipedChild {
    pid_t pid = -1;   // -1 when the program could not be started
    int input = -1;   // write end of its standard input
    int output = -1;  // read end of its standard output
};

inline PipedChild SpawnPiped(const char* path, char* const argv[], char* const envp[]) {
    PipedChild child;
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return child;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (posix_spawn(&child.pid, path, &actions, nullptr, argv, envp) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    child.input = in[1];
    child.output = out[0];
    return child;
}

} // namespace voxatest
