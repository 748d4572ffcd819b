// The pack archive format, read by the file lookup and written and read by the pack tool.
//
// All integers little-endian. The last four bytes hold the directory offset D (i32): from the
// start of the file when D >= 0, from its end when D < 0. The directory is a run of entries,
// each a u8 name length (0 ends the directory), the name (no NUL), an i32 data offset (from the
// start or the end, as the sign of D says) and a u32 stored size. An entry's data is a u32
// uncompressed size followed by stored size - 4 bytes of LZO1X stream.
//
// A pack is outside data: PackReader checks every offset and size against the file's real size
// before it seeks, reads or allocates.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

struct PackEntryInfo {
    std::string name;        // the stored name bytes (may hold a NUL: C-string users see less)
    int32_t dataOffset = 0;  // as stored
    uint32_t storedSize = 0; // as stored
};

// Bytes from malloc, released with free: a large claimed size that the stream never fills costs
// address space, not memory.
struct UnpackedData {
    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    std::unique_ptr<unsigned char, Free> bytes;
    size_t size = 0;
};

// Unpacks one entry's stored bytes (u32 size, then the LZO1X stream) with the safe decompressor.
// What the decompressor produced is kept even when it reports an error, so damaged data gives
// short content. The claimed size is capped by what LZO1X can expand the stream to. False when
// the stored bytes are shorter than the size field or the buffer cannot be allocated.
bool UnpackStored(const unsigned char* stored, size_t storedSize, UnpackedData& out);

// Writes n bytes to fd, going on after short writes and interruptions; the bytes written (fewer
// than n when the file system refuses more).
size_t WriteFully(int fd, const void* bytes, size_t n);

// The most bytes an LZO1X stream of n bytes can expand to (a run of zero bytes each adds 255
// to a match length).
uint64_t MaxUnpackedSize(uint64_t streamBytes);

// Walks a pack's directory through an open stream; never reads outside the file.
class PackReader {
public:
    explicit PackReader(FILE* f) : file_(f) {}
    bool Start();                          // finds the directory; false when it lies outside the file
    bool Next(PackEntryInfo& entry);       // the next entry; false at the end or on a damaged directory
    int64_t DataPosition(const PackEntryInfo& entry) const; // from the start; -1 when outside the file
    bool ReadEntry(const PackEntryInfo& entry, UnpackedData& out); // reads and unpacks; false when outside; the walk position is kept
    bool Damaged() const { return damaged_; }              // the walk ended on a short read, not on a 0
    bool FromEnd() const { return fromEnd_; }
    int64_t FileSize() const { return fileSize_; }

private:
    FILE* file_;
    int64_t fileSize_ = -1;
    bool fromEnd_ = false;
    bool damaged_ = false;
};
