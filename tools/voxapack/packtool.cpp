// Building, listing and extracting pack archives (format in files/packfile.h).
#include "packtool.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <lzo/lzo1x.h>

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

bool ReadWhole(const std::string& path, Bytes& out, std::string& error) {
    File f(std::fopen(path.c_str(), "rb"));
    struct stat st;
    if (!f || fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
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

bool CheckNames(const std::vector<PackSource>& sources, std::string& error) {
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string& n = sources[i].name;
        if (n.empty() || n.size() > 255 || n.find('\0') != std::string::npos) {
            error = "entry name must be 1 to 255 bytes: \"" + n + "\"";
            return false;
        }
        for (size_t j = 0; j < i; ++j) {
            if (strcasecmp(sources[j].name.c_str(), n.c_str()) == 0) {
                error = "two entries named \"" + n + "\" (names are compared without regard to case)";
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

// A stored name is extracted only when it stays below the output directory.
bool SafeRelativeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return name.back() != '/';
}

bool MakeParents(const std::string& path) {
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1)) {
        std::string dir = path.substr(0, p);
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool WriteNew(const std::string& path, const UnpackedData& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool complete = WriteFully(fd, data.bytes.get(), data.size) == data.size;
    return ::close(fd) == 0 && complete;
}

} // namespace

bool CreatePack(const std::string& packPath, const std::vector<PackSource>& sources, std::string& error) {
    if (!CheckNames(sources, error)) return false;
    std::string temp = packPath + ".part";
    File out(std::fopen(temp.c_str(), "wb"));
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
    File f(std::fopen(packPath.c_str(), "rb"));
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
    File f(std::fopen(packPath.c_str(), "rb"));
    PackReader reader(f.get());
    std::vector<PackEntryInfo> entries;
    if (!ReadDirectory(packPath, f.get(), reader, entries, error)) return false;
    bool ok = true;
    for (const PackEntryInfo& e : entries) {
        std::string problem;
        UnpackedData data;
        std::string target = outDir + "/" + e.name;
        if (!SafeRelativeName(e.name)) {
            problem = "unsafe name";
        } else if (!reader.ReadEntry(e, data)) {
            problem = "data outside the pack";
        } else if (!MakeParents(target) || !WriteNew(target, data)) {
            problem = "cannot write " + target;
        }
        if (problem.empty()) {
            written.push_back(target);
        } else {
            ok = false;
            error += (error.empty() ? "" : "\n") + std::string("skipped \"") + e.name.c_str() + "\": " + problem;
        }
    }
    return ok;
}
