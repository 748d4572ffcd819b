// Describing a model file: a .ddd file (either encoding, read by the runtime's own reader without
// touching its error log) by its frames, items, triangles and bounds; any other file by what a
// conversion with the default options would make of it.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gfx3d/modelfile.h"
#include "gfx3d/objectstore.h"
#include "voxamodel.h"

namespace voxamodel {

namespace {

constexpr size_t kMaxFramesListed = 8;

struct Box {
    Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    void Add(float x, float y, float z) {
        lo = {std::min(lo.x, x), std::min(lo.y, y), std::min(lo.z, z)};
        hi = {std::max(hi.x, x), std::max(hi.y, y), std::max(hi.z, z)};
    }
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

void ListBounds(const std::vector<Box>& boxes, std::string& report) {
    for (size_t f = 0; f < boxes.size() && f < kMaxFramesListed; ++f) {
        const Box& b = boxes[f];
        report += Format("  frame %zu: bounds (%g, %g, %g) to (%g, %g, %g)\n", f, b.lo.x, b.lo.y, b.lo.z, b.hi.x, b.hi.y,
                         b.hi.z);
    }
    if (boxes.size() > kMaxFramesListed) report += Format("  ... %zu frames more\n", boxes.size() - kMaxFramesListed);
}

// A .ddd file's first token is "DDDA" (text) or its first bytes are the binary magic.
bool LooksLikeModelFile(const std::vector<uint8_t>& bytes) {
    if (IsBinaryModel(bytes.data(), bytes.size())) return true;
    size_t p = 0;
    while (p < bytes.size()) {
        const uint8_t c = bytes[p];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++p;
        } else if (c == '#') {
            while (p < bytes.size() && bytes[p] != '\n') ++p;
        } else {
            break;
        }
    }
    return bytes.size() - p >= 4 && std::memcmp(&bytes[p], "DDDA", 4) == 0;
}

bool DescribeModelFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& report,
                       std::string& error) {
    MeshObjectX model;
    const ReadStatus status = ReadModelBytes(model, bytes.data(), bytes.size());
    if (status != ReadStatus::ok) {
        error = path + " is a damaged .ddd file (" +
                (status == ReadStatus::mallocError ? "more than memory holds" : "the runtime's reader refuses it") + ")";
        return false;
    }
    model.BuildDrawData();
    const int32_t items = model.frames.Empty() ? 0 : model.frames[0].items.Count();
    const int32_t triangles = model.frames.Empty() ? 0 : model.frames[0].triangles.Count() / 3;
    report += Format("%s: .ddd model, %s encoding, %d frame%s, %d items and %d triangles a frame, %d colour-table "
                     "entries\n",
                     path.c_str(), IsBinaryModel(bytes.data(), bytes.size()) ? "binary" : "text", model.frames.Count(),
                     model.frames.Count() == 1 ? "" : "s", items, triangles, model.colourTable.Count());
    std::vector<Box> boxes(size_t(model.frames.Count()));
    for (int32_t f = 0; f < model.frames.Count(); ++f)
        for (const VertexRecord& r : model.frames[f].triangles) boxes[size_t(f)].Add(r.position[0], r.position[1], r.position[2]);
    ListBounds(boxes, report);
    return true;
}

bool DescribeSource(const std::string& path, std::string& report, std::string& error) {
    SampledModel model;
    if (!ImportModel(path, ImportOptions{}, model, error)) return false;
    const size_t triangles = model.triangles.size() / 3;
    report += Format("%s: %zu triangles over %zu vertices; as .ddd: %zu frame%s of %zu items\n", path.c_str(), triangles,
                     model.u.size(), model.positions.size(), model.positions.size() == 1 ? "" : "s", 1 + 3 * triangles);
    if (!model.animation.empty()) report += "  animation " + model.animation + "\n";
    if (model.texture.width > 0)
        report += Format("  texture %s, %d x %d\n", model.texture.source.c_str(), model.texture.width, model.texture.height);
    std::vector<Box> boxes(model.positions.size());
    for (size_t f = 0; f < model.positions.size(); ++f)
        for (uint32_t v : model.triangles) boxes[f].Add(model.positions[f][v].x, model.positions[f][v].y, model.positions[f][v].z);
    ListBounds(boxes, report);
    for (const std::string& note : model.notes) report += "  note: " + note + "\n";
    return true;
}

} // namespace

bool DescribeFile(const std::string& path, std::string& report, std::string& error) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read " + path + (stat(path.c_str(), &st) == 0 ? ": not a regular file" : ": no such file");
        return false;
    }
    std::vector<uint8_t> bytes;
    if (st.st_size <= (int64_t(1) << 30)) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            error = "cannot read " + path;
            return false;
        }
        bytes.resize(size_t(st.st_size));
        const bool read = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        std::fclose(f);
        if (!read) {
            error = "cannot read " + path;
            return false;
        }
    }
    return LooksLikeModelFile(bytes) ? DescribeModelFile(path, bytes, report, error) : DescribeSource(path, report, error);
}

} // namespace voxamodel
