// Fuzzes the text model reader ("DDDA" files) directly on the bytes, then quantizes the frames
// and decodes every item, as loading and drawing a text model does.
#include <cstdint>

#include "fuzz_util.h"
#include "gfx3d/model.h"
#include "gfx3d/modelfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrivateErrorLog();
    MeshObject model;
    if (ReadTextModel(model, data, size) != ReadStatus::ok) return 0;
    VertexRecord out;
    for (int32_t f = 0; f < model.frames.Count(); ++f) {
        const ModelFrame& frame = model.frames[f];
        for (int32_t i = 0; i < frame.items.Count(); ++i) model.DecodeItem(frame, i, out);
    }
    return 0;
}
