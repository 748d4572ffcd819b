// Writing the generated files.
#include "output.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "gfx2d/bmp.h"

namespace assetgen {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

void SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot create " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        throw std::runtime_error("cannot write " + path);
    if (std::fclose(f.release()) != 0) throw std::runtime_error("cannot write " + path);
}

void SaveBmp(const std::string& path, const Image& image) {
    // The runtime's writer takes blue, green, red bytes with the bottom row first.
    const int w = image.Width(), h = image.Height();
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb c = image.Get(x, h - 1 - y);
            uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    if (WriteBmp24(path.c_str(), pixels.data(), w, h, w, false) != 1) throw std::runtime_error("cannot write " + path);
}

}  // namespace assetgen
