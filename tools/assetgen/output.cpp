// Writing the generated files.
#include "output.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace assetgen {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot create " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        throw std::runtime_error("cannot write " + path);
    if (std::fclose(f.release()) != 0) throw std::runtime_error("cannot write " + path);
}

void SaveBmp(const std::string& path, const Image& image) {
    const int w = image.Width(), h = image.Height();
    const uint32_t rowBytes = (3 * w + 3) & ~3u;
    std::vector<uint8_t> out;
    out.reserve(54 + rowBytes * h);
    out.push_back('B');
    out.push_back('M');
    PutLe(out, 54 + rowBytes * h, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<uint32_t>(w), 4);
    PutLe(out, static_cast<uint32_t>(h), 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 10000, 4);
    PutLe(out, 10000, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int row = h - 1; row >= 0; --row) {
        for (int x = 0; x < w; ++x) {
            Rgb c = image.Get(x, row);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (uint32_t pad = 3 * w; pad < rowBytes; ++pad) out.push_back(0);
    }
    SaveBytes(path, out);
}

}  // namespace assetgen
