// Files and system: case-insensitive lookup, the pack archive, text/INI files, system commands.
#pragma once

#include "voxa/dynarray.h"
#include "voxa/dynstring.h"

// --- File lookup and the pack archive -----------------------------------------------------------
// Every loader finds its file as a plain file first (the last part of the name without regard to
// case), then as an entry of the primary pack, unpacked into a temporary file under "/tmp/" that
// lives until the next lookup.
void SetPackFiles(const DynString& primary, const DynString& secondary); // names the pack archives (RuntimeStart: the program's directory, which is no pack)
bool ResolveFile(const char* name, DynString& resolved); // resolved: the path to open at once (plain file or unpacked entry); false when not found

// --- Text files addressed by line ---------------------------------------------------------------
// One file of up to 256 lines (each at most 1023 characters) is kept in memory. Naming another
// file writes the current one back when it changed (each line ended by "\r\n"); so does the
// program's exit. A file that is not found records error code 3, a line index outside 0..255
// records error code 7; neither ends the program.
double ReadTextLine(const DynString& file, double line, DynString& text);   // 0; text "NO_FILE" / "NO_DATA" when missing or empty
double ReadTextLine(const DynString& file, double line, double& number);   // 0; the line as a number, 0 when missing
double WriteTextLine(const DynString& file, double line, const DynString& text); // 0; stores the line, cut to 1023 characters
double WriteTextLine(const DynString& file, double line, double number);   // 0; stores the number's "%g" text

// --- INI files ----------------------------------------------------------------------------------
// One INI file is kept in memory: "[section]" lines and "key=value" lines; ";" starts a comment.
// Changes are written back ("\r\n" lines, sections and keys in their stored order, comments not
// kept) when another INI file is opened and at the program's exit.
void IniOpen(const DynString& file);                                   // writes back the current one when changed; a missing file gives an empty object
DynString IniGet(const DynString& section, const DynString& key);      // the value; "NO_DATA" when missing; names without regard to case
void IniPut(const DynString& section, const DynString& key, const DynString& value); // adds or replaces; empty value removes the key, empty key the section

// --- Files and directories ----------------------------------------------------------------------
double CopyFile(const DynString& source, const DynString& destination); // 1 copied; 0 on failure (a partial destination is deleted)
double DeleteFile(const DynString& path);                  // 0 deleted, -1 on failure
double FileExists(const DynString& path);                  // 1 when the file opens for reading (name without regard to case), else 0
double IsDirectory(const DynString& path);                 // 1 when path is a directory, else 0
DynString GetCurrentDir();                                 // working directory with "/" separators, ending in "/"; "" when unknown
double SetCurrentDir(const DynString& path);               // 1 changed, 0 on failure
double GetFileList(const DynString& pattern, DynStringArray& list); // entry count; list: every sub-directory, then the files matching pattern ('*', '?' not '.', letters without case)

// --- System -------------------------------------------------------------------------------------
double ShellCommand(const DynString& command);             // the value returned by system()
DynString GetCommandLine();                                // the program's command line as the program's setup stored it
DynString PlatformInfo(const DynString& key);              // "" -> "LINUX", "DEVICE" -> "DESKTOP", "ID" -> disk serial or "FA17ED"; else "NO_DATA"
void ToSlashes(DynString& text);                           // turns every back slash into "/", in place
