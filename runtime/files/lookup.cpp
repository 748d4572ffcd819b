// File lookup and pack archive.
//
// Search order: a name is first opened as a plain file (with the last path component matched
// without regard to case, the directory part exactly); only when that fails is the primary pack
// archive consulted. A pack is a file whose last four bytes give the offset D of its directory
// (from the start when D >= 0, from the end when D < 0). Each directory entry is a one-byte name
// length (0 ends the directory), the name, an i32 data offset (relative the same way as D) and
// a u32 stored size. Entry data is a u32 uncompressed size followed by an LZO1X stream. A hit is
// unpacked into a temporary file "/tmp/~dud" + two letters + the entry's name, which lives until
// the next lookup through the same state.
//
// A pack is outside data: every offset and size read from it is checked against the file's real
// size before anything is read or allocated, the unpacked size is capped by what LZO1X can
// expand the stored bytes to, and the temporary file is never created through a symbolic link or
// outside "/tmp/".
#include "files/lookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <lzo/lzo1x.h>

#include <cstring>
#include <string>
#include <vector>

struct PackState {
    char packPath[260] = {}; // path of the pack archive; empty means no pack
    char tempPath[260] = {}; // temporary file of the last successful pack lookup; empty when none
};

namespace {

PackState* gPacks[2] = {nullptr, nullptr};

// LZO1X expands at most about 255x per stored byte (long runs of a repeated match); anything
// claiming more than that is damaged and is cut to this bound.
constexpr uint64_t kMaxExpansion = 256;

void CopyPath(char (&dst)[260], const char* src) {
    std::strncpy(dst, src, sizeof dst - 1);
    dst[sizeof dst - 1] = '\0';
}

void DeleteTemp(PackState* pack) {
    if (pack->tempPath[0] != '\0') {
        std::remove(pack->tempPath);
        pack->tempPath[0] = '\0';
    }
}

bool ReadExact(FILE* f, void* dst, size_t n) { return std::fread(dst, 1, n, f) == n; }

uint32_t ReadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Resolves an offset stored in the pack to a position from the start, or -1 when it lies
// outside the file.
int64_t Position(int32_t stored, bool fromEnd, int64_t fileSize) {
    int64_t pos = fromEnd ? fileSize + stored : int64_t(stored);
    return pos < 0 || pos > fileSize ? -1 : pos;
}

struct Entry {
    int32_t dataOffset = 0;
    uint32_t storedSize = 0;
    std::string name;
};

// Walks the directory for the first entry whose name equals the tail of the requested name.
bool FindEntry(FILE* f, int64_t fileSize, const char* name, Entry& hit, bool& fromEnd) {
    if (fileSize < 4 || std::fseek(f, -4, SEEK_END) != 0) return false;
    unsigned char raw[4];
    if (!ReadExact(f, raw, 4)) return false;
    int32_t d = static_cast<int32_t>(ReadU32(raw));
    fromEnd = d < 0;
    int64_t dir = Position(d, fromEnd, fileSize);
    if (dir < 0 || std::fseek(f, long(dir), SEEK_SET) != 0) return false;
    size_t nameLen = std::strlen(name);
    for (;;) {
        int len = std::fgetc(f);
        if (len == EOF || len == 0) return false;
        char entryName[256];
        unsigned char fields[8];
        if (!ReadExact(f, entryName, size_t(len)) || !ReadExact(f, fields, 8)) return false;
        entryName[len] = '\0';
        if (entryName[0] == '\0' || size_t(len) > nameLen) continue;
        if (strcasecmp(entryName, name + (nameLen - size_t(len))) == 0) {
            hit.dataOffset = static_cast<int32_t>(ReadU32(fields));
            hit.storedSize = ReadU32(fields + 4);
            hit.name = entryName;
            return true;
        }
    }
}

// Reads and unpacks an entry; what the decompressor produced is kept even when it reports an
// error, so a damaged entry gives short content.
bool Unpack(FILE* f, int64_t fileSize, const Entry& e, bool fromEnd, std::vector<unsigned char>& out) {
    int64_t pos = Position(e.dataOffset, fromEnd, fileSize);
    if (pos < 0 || e.storedSize < 4 || uint64_t(pos) + e.storedSize > uint64_t(fileSize)) return false;
    std::vector<unsigned char> stored(e.storedSize);
    if (std::fseek(f, long(pos), SEEK_SET) != 0 || !ReadExact(f, stored.data(), stored.size())) return false;
    uint64_t want = ReadU32(stored.data());
    uint64_t bound = uint64_t(e.storedSize - 4) * kMaxExpansion + 64;
    if (want > bound) want = bound;
    out.resize(size_t(want));
    lzo_uint produced = lzo_uint(want);
    if (want > 0) {
        lzo1x_decompress_safe(stored.data() + 4, lzo_uint(e.storedSize - 4), out.data(), &produced, nullptr);
        if (produced > want) produced = lzo_uint(want);
    }
    out.resize(size_t(produced));
    return true;
}

// The entry name as it may appear in a temporary file name: path separators and ".." would
// leave "/tmp/", so they are mapped to '_'.
std::string SafeTempName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        if (c == '/' || c == '\\') c = '_';
    }
    for (size_t p = safe.find(".."); p != std::string::npos; p = safe.find("..", p)) safe[p] = '_';
    return safe;
}

// Writes the unpacked bytes without following a symbolic link planted at the path.
void WriteTemp(const char* path, const std::vector<unsigned char>& bytes) {
    std::remove(path);
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    ::close(fd);
}

} // namespace

FILE* OpenFileNoCase(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    if (FILE* f = std::fopen(path, mode)) return f;
    std::string full(path);
    size_t slash = full.rfind('/');
    bool bare = slash == std::string::npos;
    std::string dirPart = bare ? "." : full.substr(0, slash);
    std::string namePart = bare ? full : full.substr(slash + 1);
    if (!bare && dirPart.empty()) dirPart = "/";
    DIR* dir = opendir(dirPart.c_str());
    if (dir == nullptr) {
        std::printf("cannot read directory %s - watch case sensitivity for directory names!\n", dirPart.c_str());
        return nullptr;
    }
    std::string found;
    while (dirent* ent = readdir(dir)) {
        if (strcasecmp(ent->d_name, namePart.c_str()) == 0) {
            found = ent->d_name;
            break;
        }
    }
    closedir(dir);
    if (found.empty()) return nullptr;
    std::string open = bare ? found : full.substr(0, slash) + "/" + found;
    return std::fopen(open.c_str(), mode);
}

uint32_t FindFile(PackState* pack, const char* name, char* resolved) {
    if (pack != nullptr) DeleteTemp(pack);
    if (name == nullptr || name[0] == '\0') {
        resolved[0] = '\0';
        return 0;
    }
    if (FILE* plain = OpenFileNoCase(name, "rb")) {
        std::fclose(plain);
        if (resolved != name) std::memmove(resolved, name, std::strlen(name) + 1);
        return 1;
    }
    if (pack == nullptr || pack->packPath[0] == '\0') return 0;
    FILE* f = OpenFileNoCase(pack->packPath, "rb");
    if (f == nullptr) return 0;
    struct stat st;
    int64_t fileSize = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : -1;
    Entry hit;
    bool fromEnd = false;
    std::vector<unsigned char> content;
    bool ok = fileSize >= 0 && fileSize <= INT32_MAX && FindEntry(f, fileSize, name, hit, fromEnd) &&
              Unpack(f, fileSize, hit, fromEnd, content);
    std::fclose(f);
    if (!ok) {
        resolved[0] = '\0';
        return 0;
    }
    std::string temp = std::string("/tmp/~dud") + char('A' + uint32_t(hit.dataOffset) % 26) +
                       char('A' + hit.storedSize % 26) + SafeTempName(hit.name);
    WriteTemp(temp.c_str(), content);
    CopyPath(pack->tempPath, temp.c_str());
    std::memcpy(resolved, pack->tempPath, std::strlen(pack->tempPath) + 1);
    return 1;
}

int ReadLine(FILE** stream, char* buf, int size) {
    if (stream == nullptr || *stream == nullptr || buf == nullptr || size <= 0) return 0;
    if (std::fgets(buf, size, *stream) == nullptr) return 0;
    char* lf = static_cast<char*>(std::memchr(buf, '\n', size_t(size)));
    if (lf == nullptr) return 1;
    *lf = '\0';
    if (lf > buf && lf[-1] == '\r') lf[-1] = '\0';
    return 1;
}

void CreatePackStates() {
    for (PackState*& p : gPacks) {
        if (p == nullptr) p = new PackState();
    }
}

void ReleasePackStates() {
    for (PackState*& p : gPacks) {
        if (p == nullptr) continue;
        DeleteTemp(p);
        delete p;
        p = nullptr;
    }
}

void SetPackFiles(const DynString& primary, const DynString& secondary) {
    const DynString* paths[2] = {&primary, &secondary};
    for (int i = 0; i < 2; ++i) {
        if (gPacks[i] == nullptr) continue;
        DeleteTemp(gPacks[i]);
        gPacks[i]->packPath[0] = '\0';
        CopyPath(gPacks[i]->packPath, paths[i]->CStr());
    }
}

PackState* PrimaryPack() { return gPacks[0]; }

bool ResolveFile(const char* name, DynString& resolved) {
    resolved.Reserve(1024);
    resolved.Assign(name);
    char* buf = resolved.GetBuffer(1536);
    uint32_t found = FindFile(PrimaryPack(), buf, buf);
    resolved.UpdateLength();
    return found != 0;
}
