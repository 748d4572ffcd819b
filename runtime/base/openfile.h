// Opening a file without ever waiting in the open: the error log and the file lookup open every
// file through this.
#pragma once

#include <signal.h>

#include <cstdio>

// fopen with the same modes ("r", "w", "a", each with "+", "b" and "x"), except that the open
// itself never blocks: a FIFO without a writer is not opened, nor one without a reader for
// writing; a mode starting with 'r' opens regular files only. Null on any failure.
FILE* OpenNoWait(const char* path, const char* mode);

// While alive, a write by this thread to a pipe or FIFO whose reader has gone fails with EPIPE
// instead of ending the whole program with SIGPIPE: the signal is blocked for this thread, and
// one raised meanwhile is taken back before the old mask returns. Every command that writes to
// a path the program names (which may be a FIFO) holds one until its file is closed.
class QuietPipeWrites {
public:
    QuietPipeWrites();
    ~QuietPipeWrites();
    QuietPipeWrites(const QuietPipeWrites&) = delete;
    QuietPipeWrites& operator=(const QuietPipeWrites&) = delete;

private:
    sigset_t oldMask_;           // this thread's mask before
    bool pendingBefore_ = false; // a SIGPIPE was already waiting: the program's, not ours to take
};
