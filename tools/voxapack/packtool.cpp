// Building, listing and extracting pack archives (format in files/packfile.h).
#include "packtool.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "files/packfile.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A regular file opened for reading; null for anything else. The open does not wait: a FIFO
// given as a source or as the pack would otherwise block the tool until a writer came.
File OpenRegular(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return File();
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return File();
    }
    File f(fdopen(fd, "rb"));
    if (!f) ::close(fd);
    return f;
}

bool ReadWhole(const std::string& path, Bytes& out, std::string& error) {
    File f(OpenRegular(path));
    struct stat st;
    if (!f || fstat(fileno(f.get()), &st) != 0) {
        error = "cannot read " + path;
        return false;
    }
    if (st.st_size >= INT32_MAX) {
        error = path + " is too large for a pack (2 GiB at most)";
        return false;
    }
    out.resize(size_t(st.st_size));
    if (std::fread(out.data(), 1, out.size(), f.get()) != out.size()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// The entry's stored block: u32 unpacked size, then the LZO1X-999 stream.
bool CompressEntry(const Bytes& data, Bytes& block, std::string& error) {
    static std::vector<unsigned char> work(LZO1X_999_MEM_COMPRESS);
    block.assign(4 + data.size() + data.size() / 16 + 64 + 3, 0);
    lzo_uint len = block.size() - 4;
    if (lzo_init() != LZO_E_OK ||
        lzo1x_999_compress(data.data(), data.size(), block.data() + 4, &len, work.data()) != LZO_E_OK) {
        error = "compression failed";
        return false;
    }
    block.resize(4 + len);
    for (int i = 0; i < 4; ++i) block[size_t(i)] = static_cast<unsigned char>(uint32_t(data.size()) >> (8 * i));
    return true;
}

// The parts of a stored name that name folders and the file: empty and "." parts say nothing.
std::vector<std::string> NameParts(const std::string& name) {
    std::vector<std::string> parts;
    for (size_t start = 0; start <= name.size();) {
        size_t end = std::min(name.find('/', start), name.size());
        std::string part = name.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// A stored name is extracted only when it stays below the output folder and names a file: not
// absolute, no ".." part, no back slash (a folder separator elsewhere), no NUL, and not ending in
// a folder ("dir/", "dir/.").
bool SafeRelativeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) {
        return false;
    }
    std::vector<std::string> parts = NameParts(name);
    for (const std::string& part : parts) {
        if (part == "..") return false;
    }
    size_t last = name.rfind('/');
    std::string tail = last == std::string::npos ? name : name.substr(last + 1);
    return !parts.empty() && !tail.empty() && tail != ".";
}

// The same path as a folder of the other name's file ("gfx" and "gfx/ball.bmp"): the pair cannot
// be extracted together.
bool FileIsFolderOf(const std::vector<std::string>& file, const std::vector<std::string>& other) {
    return file.size() < other.size() && std::equal(file.begin(), file.end(), other.begin());
}

// Every name must be one that extraction writes, and the pack must extract as a whole.
bool CheckNames(const std::vector<PackSource>& sources, std::string& error) {
    std::vector<std::vector<std::string>> parts;
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string& n = sources[i].name;
        if (n.empty() || n.size() > 255 || n.find('\0') != std::string::npos) {
            error = "entry name must be 1 to 255 bytes: \"" + n + "\"";
            return false;
        }
        if (!SafeRelativeName(n)) {
            error = "entry name \"" + n + "\" cannot be extracted: names are relative paths of files, " +
                    "without \"..\" parts or back slashes";
            return false;
        }
        parts.push_back(NameParts(n));
        for (size_t j = 0; j < i; ++j) {
            const std::string& m = sources[j].name;
            if (strcasecmp(m.c_str(), n.c_str()) == 0) {
                error = "two entries named \"" + n + "\" (names are compared without regard to case)";
                return false;
            }
            if (FileIsFolderOf(parts[j], parts[i]) || FileIsFolderOf(parts[i], parts[j])) {
                error = "entries \"" + m + "\" and \"" + n + "\" cannot both be extracted: one is a folder of the other";
                return false;
            }
        }
    }
    return true;
}

bool WriteAll(FILE* f, const Bytes& b) { return b.empty() || std::fwrite(b.data(), 1, b.size(), f) == b.size(); }

// Opens the pack and reads its whole directory; reader then serves the entries' data.
bool ReadDirectory(const std::string& packPath, FILE* f, PackReader& reader, std::vector<PackEntryInfo>& entries,
                   std::string& error) {
    if (f == nullptr) {
        error = "cannot open " + packPath;
        return false;
    }
    if (!reader.Start()) {
        error = packPath + " is not a pack archive (directory outside the file)";
        return false;
    }
    PackEntryInfo e;
    while (reader.Next(e)) entries.push_back(e);
    if (reader.Damaged()) {
        error = packPath + " is damaged: its directory runs past the end of the file";
        return false;
    }
    return true;
}

// Creates path's missing folders, as mkdir -p: the output folder the user named (links in it
// are the user's choice and followed).
bool MakeFolders(const std::string& path) {
    for (size_t p = 1; p <= path.size(); ++p) {
        if (p < path.size() && path[p] != '/') continue;
        if (mkdir(path.substr(0, p).c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Writes data as the file leaf of the folder dir: into a new file beside it, renamed over the
// leaf. Whatever stood at the leaf (a file, a link, a hard link to a file elsewhere) is replaced
// as a name, never written through. "" on success, else the problem.
std::string ReplaceAt(int dir, const std::string& leaf, const UnpackedData& data) {
    static unsigned counter = 0;
    char temp[64];
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        std::snprintf(temp, sizeof temp, ".voxapack-%d-%u", int(getpid()), counter++);
        fd = openat(dir, temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return "cannot create a file";
    bool ok = WriteFully(fd, data.bytes.get(), data.size) == data.size;
    ok = ::close(fd) == 0 && ok;
    ok = ok && renameat(dir, temp, dir, leaf.c_str()) == 0;
    if (!ok) unlinkat(dir, temp, 0);
    return ok ? "" : "cannot write the file";
}

// Writes an entry below the output folder open as root, one folder at a time: each folder is
// created when missing and opened with O_NOFOLLOW, so no symbolic link on the way can lead
// outside. "" on success, else the problem.
std::string WriteBelow(int root, const std::string& name, const UnpackedData& data) {
    std::vector<std::string> parts = NameParts(name);
    std::string passed;
    int dir = root;
    std::string problem;
    for (size_t i = 0; i + 1 < parts.size() && problem.empty(); ++i) {
        passed += parts[i] + "/";
        mkdirat(dir, parts[i].c_str(), 0777);
        int next = openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (next < 0) {
            bool link = fstatat(dir, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
            problem = (link ? "symbolic link on the way: " : "cannot create the folder ") + passed;
        }
        if (dir != root) ::close(dir);
        dir = next;
    }
    if (problem.empty()) problem = ReplaceAt(dir, parts.back(), data);
    if (dir != root && dir >= 0) ::close(dir);
    return problem;
}

} // namespace

bool CreatePack(const std::string& packPath, const std::vector<PackSource>& sources, std::string& error) {
    if (!CheckNames(sources, error)) return false;
    std::string temp = packPath + ".part";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    File out(fd >= 0 ? fdopen(fd, "wb") : nullptr);
    if (fd >= 0 && !out) ::close(fd);
    if (!out) {
        error = "cannot write " + temp;
        return false;
    }
    Bytes directory, data, block;
    uint64_t offset = 0;
    bool ok = true;
    for (const PackSource& s : sources) {
        ok = ReadWhole(s.path, data, error) && CompressEntry(data, block, error);
        if (!ok) break;
        directory.push_back(static_cast<unsigned char>(s.name.size()));
        directory.insert(directory.end(), s.name.begin(), s.name.end());
        PutU32(directory, uint32_t(offset));
        PutU32(directory, uint32_t(block.size()));
        offset += block.size();
        if (offset + directory.size() + 5 >= uint64_t(INT32_MAX)) {
            error = "the pack would reach 2 GiB, more than its offsets can address";
            ok = false;
            break;
        }
        if (!(ok = WriteAll(out.get(), block))) error = "cannot write " + temp;
        if (!ok) break;
    }
    if (ok) {
        directory.push_back(0);
        PutU32(directory, uint32_t(offset));
        ok = WriteAll(out.get(), directory) && std::fflush(out.get()) == 0;
        if (!ok) error = "cannot write " + temp;
    }
    ok = std::fclose(out.release()) == 0 && ok;
    if (ok && std::rename(temp.c_str(), packPath.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + packPath;
        ok = false;
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool ListPack(const std::string& packPath, std::vector<PackListing>& listing, std::string& error) {
    File f(OpenRegular(packPath));
    PackReader reader(f.get());
    std::vector<PackEntryInfo> entries;
    if (!ReadDirectory(packPath, f.get(), reader, entries, error)) return false;
    for (const PackEntryInfo& e : entries) {
        PackListing l{e.name, 0, e.storedSize};
        unsigned char raw[4];
        int64_t pos = reader.DataPosition(e);
        if (pos >= 0 && e.storedSize >= 4 && std::fseek(f.get(), long(pos), SEEK_SET) == 0 &&
            std::fread(raw, 1, 4, f.get()) == 4) {
            l.unpackedSize = uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 | uint32_t(raw[3]) << 24;
        }
        listing.push_back(l);
    }
    return true;
}

bool ExtractPack(const std::string& packPath, const std::string& outDir, std::vector<std::string>& written,
                 std::string& error) {
    File f(OpenRegular(packPath));
    PackReader reader(f.get());
    std::vector<PackEntryInfo> entries;
    if (!ReadDirectory(packPath, f.get(), reader, entries, error)) return false;
    int root = MakeFolders(outDir) ? ::open(outDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (root < 0) {
        error = "cannot create the folder " + outDir;
        return false;
    }
    bool ok = true;
    for (const PackEntryInfo& e : entries) {
        std::string problem;
        UnpackedData data;
        if (!SafeRelativeName(e.name)) {
            problem = "unsafe name";
        } else if (!reader.ReadEntry(e, data)) {
            problem = "data outside the pack";
        } else {
            problem = WriteBelow(root, e.name, data);
        }
        if (problem.empty()) {
            written.push_back(outDir + "/" + e.name);
        } else {
            ok = false;
            error += (error.empty() ? "" : "\n") + std::string("skipped \"") + e.name.c_str() + "\": " + problem;
        }
    }
    ::close(root);
    return ok;
}
