// Helpers for the files tests: the tool tests' scratch files, and pack archives assembled byte by
// byte so that every field can be set to a damaged value.
#pragma once

#include <lzo/lzo1x.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scratch_files.h" // ScratchDir, WriteFile, ReadFile, Exists
#include "voxa/dynstring.h"

using Bytes = std::vector<unsigned char>;

// Changes the working directory for the life of the object.
struct ChangeDir {
    std::filesystem::path old = std::filesystem::current_path();
    explicit ChangeDir(const std::string& dir) { std::filesystem::current_path(dir); }
    ~ChangeDir() {
        std::error_code ignored;
        std::filesystem::current_path(old, ignored);
    }
};

inline DynString S(const std::string& s) { return DynString(s.c_str()); }
inline void WriteBytes(const std::string& path, const Bytes& b) { WriteFile(path, std::string(b.begin(), b.end())); }
inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// stem + pid + a counter: a name no other test uses, also in /tmp, which other executables share.
inline std::string Unique(const std::string& stem) {
    static int counter = 0;
    return stem + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

// A hand-assembled LZO1X stream: one literal run and the end marker (a far match of distance 0).
inline Bytes LiteralStream(const std::string& text) {
    if (text.size() > 238) throw std::runtime_error("one literal run holds at most 238 bytes");
    Bytes out;
    if (!text.empty()) out.push_back(static_cast<unsigned char>(17 + text.size()));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), {0x11, 0x00, 0x00});
    return out;
}

// The fast lzo1x_1 stream of data (matches as well as literal runs).
inline Bytes Compress(const Bytes& data) {
    if (lzo_init() != LZO_E_OK) throw std::runtime_error("lzo_init failed");
    Bytes out(data.size() + data.size() / 16 + 64 + 3), work(LZO1X_1_MEM_COMPRESS);
    lzo_uint outLen = out.size();
    if (lzo1x_1_compress(data.data(), data.size(), out.data(), &outLen, work.data()) != LZO_E_OK)
        throw std::runtime_error("lzo compress failed");
    out.resize(outLen);
    return out;
}

inline void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An entry's stored block: the u32 unpacked size, then the stream.
inline Bytes EntryData(uint32_t uncompressedSize, const Bytes& stream) {
    Bytes out;
    PutU32(out, uncompressedSize);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}
// The stored block of text as one literal run.
inline Bytes Packed(const std::string& text) { return EntryData(uint32_t(text.size()), LiteralStream(text)); }

// One directory entry of a hand-built pack; data is the whole stored block (size field included).
struct RawEntry {
    std::string name;
    Bytes data;
    bool overrideOffset = false;
    int32_t offset = 0;
    bool overrideSize = false;
    uint32_t storedSize = 0;
};

// Lays out: 16 bytes of padding, the entry data blocks, the directory, a 0 terminator, then D.
// With fromEnd the directory offset and every data offset are stored relative to the file's end.
inline Bytes BuildPack(const std::vector<RawEntry>& entries, bool fromEnd = false) {
    Bytes file(16, 0xEE);
    std::vector<uint32_t> starts;
    for (const RawEntry& e : entries) {
        starts.push_back(uint32_t(file.size()));
        file.insert(file.end(), e.data.begin(), e.data.end());
    }
    uint32_t dirStart = uint32_t(file.size());
    size_t dirBytes = 1 + 4;
    for (const RawEntry& e : entries) dirBytes += 1 + e.name.size() + 8;
    int64_t total = int64_t(file.size() + dirBytes);
    auto rel = [&](int64_t pos) { return uint32_t(int32_t(fromEnd ? pos - total : pos)); };
    for (size_t i = 0; i < entries.size(); ++i) {
        const RawEntry& e = entries[i];
        file.push_back(static_cast<unsigned char>(e.name.size()));
        file.insert(file.end(), e.name.begin(), e.name.end());
        PutU32(file, e.overrideOffset ? uint32_t(e.offset) : rel(starts[i]));
        PutU32(file, e.overrideSize ? e.storedSize : uint32_t(e.data.size()));
    }
    file.push_back(0);
    PutU32(file, rel(dirStart));
    return file;
}
