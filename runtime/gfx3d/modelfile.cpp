// The binary .ddd encoding (an image of the model data, little-endian) and the entry points that
// read a file of either encoding. A file is read into memory once and parsed from there. Every
// count in a file is checked against the bytes that are left before anything is reserved, and
// every colour and normal index against its table, so a damaged or hostile file ends in a read error
// and an empty model, never in a crash or an allocation the file cannot back.
#include <cstring>
#include <vector>

#include "base/errors.h"
#include "base/openfile.h"
#include "files/lookup.h"
#include "gfx3d/model.h"
#include "gfx3d/modelfile.h"

namespace {

constexpr uint32_t kMagic = 0x00C6B317u;
constexpr double kVersion = 1.02;
constexpr size_t kFrameHeaderSize = 28; // item count, offset and scale
constexpr size_t kItemSize = 5;

class ByteReader {
public:
    ByteReader(const uint8_t* bytes, size_t size) : p_(bytes), left_(size) {}
    size_t Left() const { return left_; }
    bool Bytes(void* out, size_t n) {
        if (n > left_) return false;
        std::memcpy(out, p_, n);
        p_ += n;
        left_ -= n;
        return true;
    }
    bool U32(uint32_t& v) {
        uint8_t b[4];
        if (!Bytes(b, 4)) return false;
        v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!U32(u)) return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool F32(float& v) {
        uint32_t u;
        if (!U32(u)) return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool F64(double& v) {
        uint32_t lo, hi;
        if (!U32(lo) || !U32(hi)) return false;
        uint64_t u = uint64_t(hi) << 32 | lo;
        std::memcpy(&v, &u, 8);
        return true;
    }
    // True when count elements of size bytes each fit in what is left.
    bool Holds(int32_t count, size_t size) const { return count >= 0 && uint64_t(count) * size <= left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

// Marker code of an item, 0 for a vertex: frames must agree on it item by item, so that every
// frame decomposes into the same triangles.
uint32_t Shape(const MeshObject& m, const ModelItem& item) {
    uint32_t v = m.ItemValue(item);
    return IsMarker(v) ? v : 0;
}

ReadStatus ReadFrame(MeshObject& m, ByteReader& in) {
    ModelFrame frame;
    int32_t itemCount = 0;
    if (!in.I32(itemCount)) return ReadStatus::readError;
    for (float& v : frame.offset) if (!in.F32(v)) return ReadStatus::readError;
    for (float& v : frame.scale) if (!in.F32(v)) return ReadStatus::readError;
    if (!in.Holds(itemCount, kItemSize)) return ReadStatus::readError;
    const ModelFrame* first = m.frames.Empty() ? nullptr : &m.frames[0];
    if (first != nullptr && itemCount != first->items.Count()) return ReadStatus::readError;
    if (!frame.items.Reserve(itemCount)) return ReadStatus::mallocError;
    for (int32_t i = 0; i < itemCount; ++i) {
        uint8_t b[kItemSize] = {};
        in.Bytes(b, kItemSize);
        ModelItem item = {b[0], b[1], b[2], b[3], b[4], 0, 0};
        if (item.colour >= m.colourTable.Count() || item.normal >= kNormalCount) return ReadStatus::readError;
        if (first != nullptr && Shape(m, item) != Shape(m, first->items[i])) return ReadStatus::readError;
        frame.items.Append(item);
    }
    return m.frames.Append(std::move(frame)) ? ReadStatus::ok : ReadStatus::mallocError;
}

ReadStatus ReadBinaryModel(MeshObject& m, const uint8_t* bytes, size_t size) {
    ByteReader in(bytes, size);
    uint32_t magic = 0;
    double version = 0;
    int32_t frameCount = 0, colourCount = 0, texCount = 0;
    if (!in.U32(magic) || !in.F64(version) || !in.I32(frameCount) || !in.I32(colourCount) || !in.I32(texCount))
        return ReadStatus::readError;
    if (version != kVersion) return ReadStatus::readError;
    if (!in.Holds(colourCount, 4)) return ReadStatus::readError;
    if (!m.colourTable.Reserve(colourCount)) return ReadStatus::mallocError;
    for (int32_t i = 0; i < colourCount; ++i) {
        uint32_t value = 0;
        in.U32(value);
        m.colourTable.Append(value);
    }
    if (!in.Holds(texCount, 8)) return ReadStatus::readError;
    if (!m.texU.Reserve(texCount) || !m.texV.Reserve(texCount)) return ReadStatus::mallocError;
    for (int32_t i = 0; i < texCount; ++i) {
        float u = 0, v = 0;
        in.F32(u);
        in.F32(v);
        m.texU.Append(u);
        m.texV.Append(v);
    }
    if (!in.Holds(frameCount, kFrameHeaderSize)) return ReadStatus::readError;
    if (!m.frames.Reserve(frameCount)) return ReadStatus::mallocError;
    for (int32_t f = 0; f < frameCount; ++f) {
        ReadStatus status = ReadFrame(m, in);
        if (status != ReadStatus::ok) return status;
    }
    m.normalsValid = 1;
    return ReadStatus::ok;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutF32(std::vector<uint8_t>& out, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(out, u);
}

} // namespace

bool IsBinaryModel(const uint8_t* bytes, size_t size) {
    return size >= 4 && (uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                         uint32_t(bytes[3]) << 24) == kMagic;
}

ReadStatus ReadModelBytes(MeshObject& model, const uint8_t* bytes, size_t size) {
    return IsBinaryModel(bytes, size) ? ReadBinaryModel(model, bytes, size) : ReadTextModel(model, bytes, size);
}

uint8_t MeshObject::ReadModel(const char* path) {
    ClearModel(true);
    FILE* file = OpenFileNoCase(path, "rb");
    if (file == nullptr) return 0;
    uint8_t result = ReadModelFile(file, path);
    std::fclose(file);
    return result;
}

uint8_t MeshObject::ReadModelFile(FILE* file, const char* path) {
    ClearModel(true);
    std::vector<uint8_t> bytes;
    ReadStatus status = ReadStatus::ok;
    uint8_t chunk[65536];
    size_t n;
    try {
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    } catch (const std::bad_alloc&) {
        status = ReadStatus::mallocError;
    }
    if (status == ReadStatus::ok && std::ferror(file)) status = ReadStatus::readError;
    if (status == ReadStatus::ok) status = ReadModelBytes(*this, bytes.data(), bytes.size());
    if (status == ReadStatus::ok) return 1;
    WriteErrorLog(status == ReadStatus::mallocError ? "# malloc error" : "# read error");
    WriteErrorLog(path);
    ClearModel(true);
    return 0;
}

bool MeshObject::WriteModelFile(FILE* file) const {
    std::vector<uint8_t> out;
    PutU32(out, kMagic);
    uint64_t version;
    std::memcpy(&version, &kVersion, 8);
    PutU32(out, uint32_t(version));
    PutU32(out, uint32_t(version >> 32));
    PutU32(out, uint32_t(frames.Count()));
    PutU32(out, uint32_t(colourTable.Count()));
    PutU32(out, uint32_t(texU.Count()));
    for (uint32_t value : colourTable) PutU32(out, value);
    for (int32_t i = 0; i < texU.Count(); ++i) {
        PutF32(out, texU[i]);
        PutF32(out, i < texV.Count() ? texV[i] : 0.0f);
    }
    for (const ModelFrame& frame : frames) {
        PutU32(out, uint32_t(frame.items.Count()));
        for (float v : frame.offset) PutF32(out, v);
        for (float v : frame.scale) PutF32(out, v);
        for (const ModelItem& item : frame.items) {
            const uint8_t stored[kItemSize] = {item.qx, item.qy, item.qz, item.normal, item.colour};
            out.insert(out.end(), stored, stored + kItemSize);
        }
    }
    return std::fwrite(out.data(), 1, out.size(), file) == out.size();
}

int MeshObject::WriteModel(const char* path) {
    QuietPipeWrites quiet; // the path may name a FIFO whose reader quits
    FILE* file = OpenFileNoCase(path, "wb");
    if (file == nullptr) return 0;
    bool written = WriteModelFile(file);
    return std::fclose(file) == 0 && written ? 1 : 0;
}
