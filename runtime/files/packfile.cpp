// Reading the pack archive: directory walk and entry unpacking, with every field checked against
// the file before it is used.
#include "files/packfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdint>
#include <new>

#include <lzo/lzo1x.h>

namespace {

uint32_t ReadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The stream belongs to one lookup on one thread: stdio's per-call locking is not needed, and
// the directory walk makes three small reads per entry.
bool ReadExact(FILE* f, void* dst, size_t n) { return fread_unlocked(dst, 1, n, f) == n; }

bool LzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

} // namespace

size_t WriteFully(int fd, const void* bytes, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(fd, p + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += size_t(w);
    }
    return done;
}

uint64_t MaxUnpackedSize(uint64_t streamBytes) { return streamBytes * 255 + 64; }

bool UnpackStored(const unsigned char* stored, size_t storedSize, UnpackedData& out) {
    out.bytes.reset();
    out.size = 0;
    if (storedSize < 4 || !LzoReady()) return false;
    uint64_t want = ReadU32(stored);
    uint64_t bound = MaxUnpackedSize(storedSize - 4);
    if (want > bound) want = bound;
    if (want == 0) return true;
    out.bytes.reset(static_cast<unsigned char*>(std::malloc(size_t(want))));
    if (!out.bytes) return false;
    lzo_uint produced = lzo_uint(want);
    lzo1x_decompress_safe(stored + 4, lzo_uint(storedSize - 4), out.bytes.get(), &produced, nullptr);
    out.size = produced > want ? size_t(want) : size_t(produced);
    return true;
}

bool PackReader::Start() {
    struct stat st;
    if (file_ == nullptr || fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    fileSize_ = int64_t(st.st_size);
    // Offsets are 32-bit: a larger file cannot be addressed and is no pack.
    if (fileSize_ < 4 || fileSize_ > INT32_MAX) return false;
    unsigned char raw[4];
    if (std::fseek(file_, -4, SEEK_END) != 0 || !ReadExact(file_, raw, 4)) return false;
    int32_t d = static_cast<int32_t>(ReadU32(raw));
    fromEnd_ = d < 0;
    int64_t dir = fromEnd_ ? fileSize_ + d : int64_t(d);
    if (dir < 0 || dir > fileSize_) return false;
    return std::fseek(file_, long(dir), SEEK_SET) == 0;
}

bool PackReader::Next(PackEntryInfo& entry) {
    int len = getc_unlocked(file_);
    damaged_ = len == EOF;
    if (len == EOF || len == 0) return false;
    char name[256];
    unsigned char fields[8];
    if (!ReadExact(file_, name, size_t(len)) || !ReadExact(file_, fields, 8)) {
        damaged_ = true;
        return false;
    }
    entry.name.assign(name, size_t(len));
    entry.dataOffset = static_cast<int32_t>(ReadU32(fields));
    entry.storedSize = ReadU32(fields + 4);
    return true;
}

int64_t PackReader::DataPosition(const PackEntryInfo& entry) const {
    int64_t pos = fromEnd_ ? fileSize_ + entry.dataOffset : int64_t(entry.dataOffset);
    if (pos < 0 || pos + int64_t(entry.storedSize) > fileSize_) return -1;
    return pos;
}

bool PackReader::ReadEntry(const PackEntryInfo& entry, UnpackedData& out) {
    int64_t pos = DataPosition(entry);
    if (pos < 0 || entry.storedSize < 4) return false;
    // Bounded by the file's real size, checked above.
    std::unique_ptr<unsigned char[]> stored(new (std::nothrow) unsigned char[entry.storedSize]);
    // The directory walk goes on from where it stood: reading an entry in the middle of a walk
    // must not make Next read the entry's data (or, for an offset aimed back at the directory,
    // the same entries again and again) as directory.
    long walk = std::ftell(file_);
    bool read = stored && walk >= 0 && std::fseek(file_, long(pos), SEEK_SET) == 0 &&
                ReadExact(file_, stored.get(), entry.storedSize);
    if (walk >= 0 && std::fseek(file_, walk, SEEK_SET) != 0) damaged_ = true;
    if (!read) return false;
    return UnpackStored(stored.get(), entry.storedSize, out);
}
