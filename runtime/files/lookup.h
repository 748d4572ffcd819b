// Case-insensitive file lookup and the pack archive inside the runtime (SetPackFiles and
// ResolveFile are in voxa/files.h). Every loader resolves a name through FindFile (plain file
// first, then the primary pack) and opens files through OpenFileNoCase.
#pragma once

#include <cstdint>
#include <cstdio>

#include "voxa/files.h"

struct PackState;

// Opens path; when that fails, matches the last path component without regard to case inside
// the (case-exact) directory part. Null when nothing matches. Prints a warning when the
// directory cannot be read. Never waits in the open: a FIFO without a writer is not opened,
// nor one without a reader for writing; a mode starting with 'r' opens regular files only.
FILE* OpenFileNoCase(const char* path, const char* mode);

// Resolves name: 1 with resolved holding the path to open (the name itself for a plain file, a
// temporary file under "/tmp/" for a pack entry), else 0. resolved may be the buffer holding
// name; it must hold 1536 bytes. The previous lookup's temporary file is deleted first. Only
// regular files are found: a FIFO, device or directory of that name (or as the pack) is not
// found. A damaged pack gives 0 with resolved empty.
uint32_t FindFile(PackState* pack, const char* name, char* resolved);

// One text line without its line ending; 1 when a line was read, 0 at end of file or on error.
int ReadLine(FILE** stream, char* buf, int size);

// The two pack states owned by the runtime from RuntimeStart to EndProgram.
void CreatePackStates();                                          // both empty
void ReleasePackStates();                                         // deletes their temporary files
PackState* PrimaryPack();                                         // the state every lookup uses

