// File lookup and pack archive.
//
// Search order: a name is first opened as a plain file (with the last path component matched
// without regard to case, the directory part exactly); only when that fails is the primary pack
// archive consulted (format in files/packfile.h). The first directory entry whose name equals
// the tail of the requested name wins, so "gfx/ball.bmp" finds the entry "ball.bmp". A hit is
// unpacked into a temporary file "/tmp/~dud" + two letters + the entry's name, which lives until
// the next lookup through the same state, the next SetPackFiles or the program's end. There is no
// cache: every pack lookup reopens the pack and walks its directory from the start. Only regular
// files count, as the plain file and as the pack; every open is non-blocking, so a FIFO planted
// under either name is "not found" instead of a lookup that waits forever.
//
// The temporary file never lands outside "/tmp/": path separators in an entry name become '_'
// (the rest of the name, ".." included, stays one file name inside "/tmp/"). Its name is
// predictable, so anyone may have put something there first: another user's file, a symbolic
// link, or the temporary file of another running program. None of that is followed, written or
// removed. The file is created afresh with O_EXCL | O_NOFOLLOW at the usual name when that name
// is free, else under a fresh unique name in "/tmp/" that still ends in the entry's name (and so
// keeps its extension); the lookup returns whichever it wrote.
#include "files/lookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "base/openfile.h"
#include "files/files_local.h"
#include "files/packfile.h"

struct PackState {
    std::string packPath; // path of the pack archive; empty means no pack
    std::string tempPath; // temporary file of the last successful pack lookup; empty when none
};

namespace {

void DeleteTemp(PackState* pack) {
    if (!pack->tempPath.empty()) {
        std::remove(pack->tempPath.c_str());
        pack->tempPath.clear();
    }
}

// The first entry whose name (as a C string) equals the last name-length characters of name.
bool FindEntry(PackReader& reader, const char* name, PackEntryInfo& hit) {
    if (!reader.Start()) return false;
    size_t nameLen = std::strlen(name);
    PackEntryInfo entry;
    while (reader.Next(entry)) {
        size_t len = entry.name.size();
        if (entry.name[0] == '\0' || len > nameLen) continue;
        if (strcasecmp(entry.name.c_str(), name + (nameLen - len)) == 0) {
            hit = entry;
            return true;
        }
    }
    return false;
}

// The entry's name as one file name: separators mapped to '_', and of a name too long for the
// room left beside a prefix the tail kept (its extension survives, which some loaders look at).
std::string FileNamePart(const PackEntryInfo& e, size_t room) {
    std::string name(e.name.c_str());
    if (name.size() > room) name.erase(0, name.size() - room);
    for (char& c : name) {
        if (c == '/' || c == '\\') c = '_';
    }
    return name;
}

// "/tmp/~dud", the letters of offset and size, then the entry's name. A file name holds at most
// 255 bytes, of which the name gets 249.
std::string TempPathFor(const PackEntryInfo& e) {
    return std::string("/tmp/~dud") + char('A' + uint32_t(e.dataOffset) % 26) + char('A' + e.storedSize % 26) +
           FileNamePart(e, 255 - 6);
}

// Creates the entry's temporary file: the usual name when it is free, else "/tmp/~dud-", six
// random characters, '-' and the entry's name. Returns the path and sets fd; an empty path (and
// fd -1) when neither can be created.
std::string CreateTemp(const PackEntryInfo& e, int& fd) {
    std::string path = TempPathFor(e);
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return path;
    std::string suffix = "-" + FileNamePart(e, 255 - 12); // after "~dud-", six random characters and '-'
    path = "/tmp/~dud-XXXXXX" + suffix;
    fd = mkostemps(&path[0], int(suffix.size()), O_CLOEXEC);
    return fd >= 0 ? path : std::string();
}

// Writes the unpacked bytes into a temporary file created afresh; the file's path, or "" when
// none can be created. A short write leaves a short file, as a damaged entry does.
std::string WriteTemp(const PackEntryInfo& e, const UnpackedData& data) {
    int fd = -1;
    std::string path = CreateTemp(e, fd);
    if (fd < 0) return path;
    WriteFully(fd, data.bytes.get(), data.size);
    ::close(fd);
    return path;
}

} // namespace

FILE* OpenFileNoCase(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    if (FILE* f = OpenNoWait(path, mode)) return f;
    std::string full(path);
    size_t slash = full.rfind('/');
    bool bare = slash == std::string::npos;
    std::string dirPart = bare ? "." : full.substr(0, slash);
    std::string namePart = bare ? full : full.substr(slash + 1);
    // "/name" has the root as its directory; the empty directory part would never open.
    std::string openDir = !bare && dirPart.empty() ? "/" : dirPart;
    DIR* dir = opendir(openDir.c_str());
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
    std::string open = bare ? found : dirPart + "/" + found;
    return OpenNoWait(open.c_str(), mode);
}

uint32_t FindFile(PackState* pack, const char* name, char* resolved) {
    if (pack != nullptr) DeleteTemp(pack);
    if (name == nullptr || name[0] == '\0') {
        if (resolved != nullptr) resolved[0] = '\0';
        return 0;
    }
    if (FILE* plain = OpenFileNoCase(name, "rb")) {
        std::fclose(plain);
        if (resolved != name) std::memmove(resolved, name, std::strlen(name) + 1);
        return 1;
    }
    if (pack == nullptr || pack->packPath.empty()) return 0;
    FILE* f = OpenFileNoCase(pack->packPath.c_str(), "rb");
    if (f == nullptr) return 0;
    PackReader reader(f);
    PackEntryInfo hit;
    UnpackedData content;
    bool found = FindEntry(reader, name, hit) && reader.ReadEntry(hit, content);
    std::fclose(f);
    std::string temp = found ? WriteTemp(hit, content) : std::string();
    if (temp.empty()) {
        resolved[0] = '\0';
        return 0;
    }
    pack->tempPath = temp;
    std::memcpy(resolved, temp.c_str(), temp.size() + 1);
    return 1;
}

int ReadLine(FILE** stream, char* buf, int size) {
    if (stream == nullptr || *stream == nullptr || buf == nullptr || size <= 0) return 0;
    if (std::fgets(buf, size, *stream) == nullptr) return 0;
    // Only the bytes fgets wrote: what lies after its NUL is left over from earlier lines.
    char* lf = static_cast<char*>(std::memchr(buf, '\n', std::strlen(buf)));
    if (lf == nullptr) return 1;
    *lf = '\0';
    if (lf > buf && lf[-1] == '\r') lf[-1] = '\0';
    return 1;
}

void CreatePackStates() {
    for (PackState*& p : gFiles.packs) {
        if (p == nullptr) p = new PackState();
    }
}

void ReleasePackStates() {
    for (PackState*& p : gFiles.packs) {
        if (p == nullptr) continue;
        DeleteTemp(p);
        delete p;
        p = nullptr;
    }
}

void SetPackFiles(const DynString& primary, const DynString& secondary) {
    const DynString* paths[2] = {&primary, &secondary};
    for (int i = 0; i < 2; ++i) {
        if (gFiles.packs[i] == nullptr) continue;
        DeleteTemp(gFiles.packs[i]);
        gFiles.packs[i]->packPath = paths[i]->CStr();
    }
}

PackState* PrimaryPack() { return gFiles.packs[0]; }

bool ResolveFile(const char* name, DynString& resolved) {
    std::string copy(name ? name : ""); // name may point into resolved's own buffer
    resolved.Reserve(1024);
    resolved.Assign(copy.c_str());
    char* buf = resolved.GetBuffer(1536);
    uint32_t found = FindFile(PrimaryPack(), buf, buf);
    resolved.UpdateLength();
    return found != 0;
}
