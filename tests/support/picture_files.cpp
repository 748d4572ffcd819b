// Test support: PNG, JPEG and TGA writers for picture fixtures made at test time.
#include "support/picture_files.h"

#include <jpeglib.h>
#include <png.h>

#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace voxatest {

std::vector<uint8_t> PngBytes(const Pixels& p, bool alpha, bool palette) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png writer failed");
    }
    png_set_write_fn(png, &out, [](png_structp s, png_bytep data, png_size_t n) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(s));
        bytes->insert(bytes->end(), data, data + n);
    }, nullptr);
    const int channels = palette ? 1 : alpha ? 4 : 3;
    std::vector<uint8_t> rows(size_t(p.w) * p.h * channels);
    std::map<uint32_t, int> index;  // palette: each distinct colour once, its alpha in tRNS
    std::vector<png_color> colours;
    std::vector<png_byte> trans;
    for (size_t i = 0; i < p.at.size(); ++i) {
        const Rgba c = p.at[i];
        if (!palette) {
            std::memcpy(&rows[i * channels], &c, size_t(channels));
            continue;
        }
        const auto found = index.emplace(uint32_t(c.r | c.g << 8 | c.b << 16) | uint32_t(c.a) << 24, int(colours.size()));
        if (found.second) colours.push_back({c.r, c.g, c.b}), trans.push_back(c.a);
        rows[i] = uint8_t(found.first->second);
    }
    png_set_IHDR(png, info, p.w, p.h, 8, palette ? PNG_COLOR_TYPE_PALETTE : alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        png_set_PLTE(png, info, colours.data(), int(colours.size()));
        png_set_tRNS(png, info, trans.data(), int(trans.size()), nullptr);
    }
    png_write_info(png, info);
    for (int y = 0; y < p.h; ++y) png_write_row(png, &rows[size_t(y) * p.w * channels]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> JpegBytes(const Pixels& p, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(p.w);
    cinfo.image_height = JDIMENSION(p.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row;
    while (cinfo.next_scanline < cinfo.image_height) {
        row.clear();
        for (int x = 0; x < p.w; ++x) {
            const Rgba c = p.at[size_t(cinfo.next_scanline) * p.w + x];
            row.insert(row.end(), {c.r, c.g, c.b});
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    free(buffer);
    return out;
}

std::vector<uint8_t> TgaBytes(const Pixels& p, int bits, bool rle) {
    std::vector<uint8_t> out = {0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(p.w), uint8_t(p.w >> 8),
                                uint8_t(p.h), uint8_t(p.h >> 8), uint8_t(bits), uint8_t(bits == 32 ? 8 : 0)};
    auto same = [](Rgba a, Rgba b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; };
    for (int y = p.h - 1; y >= 0; --y) {
        for (int x = 0, run = 1; x < p.w; x += run, run = 1) {
            const Rgba* row = &p.at[size_t(y) * p.w];
            while (rle && run < 128 && x + run < p.w && same(row[x + run], row[x])) ++run;
            // A run packet for equal neighbours, else a raw packet of one pixel.
            if (rle) out.push_back(uint8_t(run > 1 ? 0x80 | (run - 1) : 0));
            const uint8_t pixel[4] = {row[x].b, row[x].g, row[x].r, row[x].a};
            out.insert(out.end(), pixel, pixel + bits / 8);
        }
    }
    return out;
}

std::vector<uint8_t> ScrambledPng(std::vector<uint8_t> png) {
    for (size_t p = 8; p + 12 <= png.size();) {
        const size_t length = size_t(png[p]) << 24 | size_t(png[p + 1]) << 16 | size_t(png[p + 2]) << 8 | png[p + 3];
        if (std::string(png.begin() + long(p) + 4, png.begin() + long(p) + 8) == "IDAT") {
            for (size_t i = p + 10; i < p + 8 + length; ++i) png[i] = uint8_t(i * 7);
        }
        p += 12 + length;
    }
    return png;
}

void WriteBytesTo(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())).flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace voxatest
