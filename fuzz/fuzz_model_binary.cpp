// Fuzzes the binary model reader through the same open-file entry point the loader uses. Inputs
// that do not start with the binary magic get it put in front, so every input reaches the
// binary decoder. A loaded model is then decoded item by item, as drawing does.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fuzz_util.h"
#include "gfx3d/model.h"

namespace {

void DecodeAll(const MeshObject& model) {
    VertexRecord out;
    for (int32_t f = 0; f < model.frames.Count(); ++f) {
        const ModelFrame& frame = model.frames[f];
        for (int32_t i = 0; i < frame.items.Count(); ++i) model.DecodeItem(frame, i, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrivateErrorLog();
    static const uint8_t kMagic[4] = {0x17, 0xB3, 0xC6, 0x00}; // 0x00C6B317 little-endian
    std::vector<uint8_t> bytes;
    if (size < 4 || std::memcmp(data, kMagic, 4) != 0) bytes.assign(kMagic, kMagic + 4);
    bytes.insert(bytes.end(), data, data + size);
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    if (f == nullptr) return 0;
    MeshObject model;
    if (model.ReadModelFile(f, "fuzz.ddd")) DecodeAll(model);
    std::fclose(f);
    return 0;
}
