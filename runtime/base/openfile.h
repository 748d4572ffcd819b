// Opening a file without ever waiting in the open: the error log and the file lookup open every
// file through this.
#pragma once

#include <cstdio>

// fopen with the same modes ("r", "w", "a", each with "+", "b" and "x"), except that the open
// itself never blocks: a FIFO without a writer is not opened, nor one without a reader for
// writing; a mode starting with 'r' opens regular files only. Null on any failure.
FILE* OpenNoWait(const char* path, const char* mode);
