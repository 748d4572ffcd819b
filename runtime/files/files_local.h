// Internals of the files folder shared between its source files and its tests.
#pragma once

#include <memory>
#include <string>

struct PackState;
struct TextFileObject;
struct IniObject;

// The state of the files folder. The pack states live from RuntimeStart (CreatePackStates) to
// EndProgram (ReleasePackStates); SetPackFiles sets their paths, and every lookup replaces the
// primary one's temporary file. The text-file and INI objects are made on their first command
// and live to process exit, which writes back what is dirty; each command that names another
// file writes the old one back first and starts over. A test may empty them
// (DiscardFileObjectsForTesting).
struct FilesState {
    PackState* packs[2] = {nullptr, nullptr};  // primary and secondary pack; null outside the run
    std::unique_ptr<TextFileObject> textFile;  // the text file of ReadTextLine and WriteTextLine
    std::unique_ptr<IniObject> ini;            // the INI file of IniOpen, IniGet and IniPut
};
extern FilesState gFiles;

// The path of the file that path names: path itself when it exists as typed, else the entry of
// its (case-exact) directory that matches its last component without regard to case, else "".
std::string ExistingPathNoCase(const std::string& path);

// Replaces the content of path without leaving it half written: the bytes go to a new file in
// the same directory, which is then renamed over path. A symbolic link at path keeps pointing at
// the file it names, whose content is replaced. An existing file in a directory that refuses the
// new file or the rename is written in place instead (the one way it is not atomic). False on
// failure.
bool ReplaceFileContents(const std::string& path, const std::string& content);

// The wildcard rule of GetFileList: '*' any run, '?' any one character but '.', ASCII letters
// without regard to case, everything else itself.
bool MatchWildcard(const char* pattern, const char* name);

// The first readable disk serial: the IDE identify request on devDir/hda, then each disk under
// sysBlock (its "serial", "device/serial", "device/vpd_pg80" files, then the identify request on
// devDir/<disk>). "" when none can be read.
std::string ReadDiskSerial(const std::string& sysBlock, const std::string& devDir);

// The text-file and INI objects: what the process exit does (write back whatever is dirty), and
// a way for tests to start from empty objects without writing anything.
void WriteBackFileObjects();
void DiscardFileObjectsForTesting();
