#include "files_test_util.h"

#include <dirent.h>
#include <sys/stat.h>

#include <lzo/lzo1x.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

void RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") RemoveTree(path + "/" + n);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

} // namespace

ScratchDir::ScratchDir() {
    std::string tmpl = "/tmp/voxa_files_" + std::to_string(getpid()) + "_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

ChangeDir::ChangeDir(const std::string& dir) {
    char buf[4096];
    old_ = getcwd(buf, sizeof buf) ? buf : "/";
    if (chdir(dir.c_str()) != 0) throw std::runtime_error("chdir failed: " + dir);
}

ChangeDir::~ChangeDir() {
    if (chdir(old_.c_str()) != 0) std::perror("chdir back");
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string Unique(const std::string& stem) {
    static int counter = 0;
    return stem + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes LiteralStream(const std::string& text) {
    if (text.size() > 238) throw std::runtime_error("one literal run holds at most 238 bytes");
    Bytes out;
    if (!text.empty()) out.push_back(static_cast<unsigned char>(17 + text.size()));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), {0x11, 0x00, 0x00}); // end of stream: a far match of distance 0
    return out;
}

Bytes Compress(const Bytes& data, bool densest) {
    if (lzo_init() != LZO_E_OK) throw std::runtime_error("lzo_init");
    Bytes out(data.size() + data.size() / 16 + 64 + 3);
    std::vector<unsigned char> work(LZO1X_999_MEM_COMPRESS);
    lzo_uint outLen = out.size();
    int r = densest ? lzo1x_999_compress(data.data(), data.size(), out.data(), &outLen, work.data())
                    : lzo1x_1_compress(data.data(), data.size(), out.data(), &outLen, work.data());
    if (r != LZO_E_OK) throw std::runtime_error("lzo compress failed");
    out.resize(outLen);
    return out;
}

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

Bytes EntryData(uint32_t uncompressedSize, const Bytes& stream) {
    Bytes out;
    PutU32(out, uncompressedSize);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

Bytes BuildPack(const std::vector<RawEntry>& entries, bool fromEnd) {
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
