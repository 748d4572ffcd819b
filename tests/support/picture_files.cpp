// Test support: PNG, JPEG and TGA writers for picture fixtures made at test time.
#include "support/picture_files.h"

#include <jpeglib.h>
#include <png.h>

#include <cstring>
#include <map>
#include <stdexcept>

#include "support/scratch_files.h"

namespace voxatest {
namespace {

// The pixels' first `channels` bytes (R, G, B, A), row after row from the top.
std::vector<uint8_t> Packed(const Pixels& p, size_t channels) {
    std::vector<uint8_t> out(p.at.size() * channels);
    for (size_t i = 0; i < p.at.size(); ++i) std::memcpy(&out[i * channels], &p.at[i], channels);
    return out;
}

} // namespace

std::vector<uint8_t> PngBytes(const Pixels& p, bool alpha, bool palette) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(p.w);
    image.height = png_uint_32(p.h);
    image.format = palette ? PNG_FORMAT_RGBA_COLORMAP : alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> rows = Packed(p, palette ? 1 : alpha ? 4 : 3);  // a palette's indices set below
    std::map<uint32_t, uint8_t> index;  // each distinct colour once
    std::vector<Rgba> colours;
    for (size_t i = 0; palette && i < p.at.size(); ++i) {
        const Rgba c = p.at[i];
        const auto found = index.emplace(uint32_t(c.r | c.g << 8 | c.b << 16) | uint32_t(c.a) << 24, colours.size());
        if (found.second) colours.push_back(c);
        rows[i] = found.first->second;
    }
    image.colormap_entries = png_uint_32(colours.size());
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rows.data(), 0, colours.data())) {
        throw std::runtime_error("png writer failed");
    }
    out.resize(size);
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
    std::vector<uint8_t> rgb = Packed(p, 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * p.w * 3];
        jpeg_write_scanlines(&cinfo, &row, 1);
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
    for (int y = p.h - 1; y >= 0; --y) {
        for (int x = 0, run = 1; x < p.w; x += run, run = 1) {
            const Rgba* row = &p.at[size_t(y) * p.w];
            while (rle && run < 128 && x + run < p.w && std::memcmp(&row[x + run], &row[x], 4) == 0) ++run;
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
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

} // namespace voxatest
