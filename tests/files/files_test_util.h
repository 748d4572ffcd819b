// Helpers for the files tests: a private scratch directory per test, file writing, and pack
// archives assembled byte by byte so that every field can be set to a damaged value.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh directory under /tmp, removed with its content when the object dies. Its name holds
// the process id, so test executables running side by side never share it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Changes the working directory for the life of the object.
class ChangeDir {
public:
    explicit ChangeDir(const std::string& dir);
    ~ChangeDir();

private:
    std::string old_;
};

void WriteFile(const std::string& path, const std::string& content);
void WriteBytes(const std::string& path, const Bytes& bytes);
std::string ReadFile(const std::string& path); // "" when missing
bool Exists(const std::string& path);          // lstat: a dangling link exists too
std::string Unique(const std::string& stem);   // stem + pid + a counter: a name no other test uses

// LZO1X streams.
Bytes LiteralStream(const std::string& text);  // hand-assembled: one literal run and the end marker
Bytes Compress(const Bytes& data, bool densest); // lzo1x_999, else the fast lzo1x_1
Bytes ToBytes(const std::string& s);

// One directory entry of a hand-built pack; data is the whole stored block (size field included).
struct RawEntry {
    std::string name;
    Bytes data;
    bool overrideOffset = false;
    int32_t offset = 0;
    bool overrideSize = false;
    uint32_t storedSize = 0;
};

Bytes EntryData(uint32_t uncompressedSize, const Bytes& stream); // u32 size + stream
void PutU32(Bytes& out, uint32_t v);

// Lays out: 16 bytes of padding, the entry data blocks, the directory, a 0 terminator, then D.
// With fromEnd the directory offset and every data offset are stored relative to the file's end.
Bytes BuildPack(const std::vector<RawEntry>& entries, bool fromEnd = false);
