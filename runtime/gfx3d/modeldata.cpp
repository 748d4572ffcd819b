// Model data operations that are independent of any file: records, decoding and quantizing
// items, the normal-table lookup and clearing a model.
#include <cmath>
#include <cstring>

#include "gfx3d/model.h"

uint8_t QuantizeNormal(const float v[3]) {
    float n[3] = {v[0], v[1], v[2]};
    float lengthSq = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (lengthSq > 1e-7f) {
        float length = std::sqrt(lengthSq);
        for (float& c : n) c /= length;
    }
    // The distance is |(v - t) . v|, i.e. |1 - cos| for a unit v; later entries win ties.
    float best = 10000.0f;
    uint8_t index = 0;
    for (int i = 0; i < kNormalCount; ++i) {
        const float* t = NormalTable + 3 * i;
        float d = std::fabs((n[0] - t[0]) * n[0] + (n[1] - t[1]) * n[1] + (n[2] - t[2]) * n[2]);
        if (d <= best) {
            index = uint8_t(i);
            if (d == 0.0f) break;
            best = d;
        }
    }
    return index;
}

static void SetColour(VertexRecord& r, uint32_t value) {
    r.value = value;
    for (int c = 0; c < 3; ++c) r.colour[c] = IsMarker(value) ? 1.0f : float((value >> (8 * c)) & 255u) / 255.0f;
}

VertexRecord MarkerRecord(uint32_t marker) {
    VertexRecord r;
    std::memset(&r, 0, sizeof r);
    SetColour(r, marker);
    return r;
}

VertexRecord MakeRecord(float x, float y, float z, float u, float v, uint32_t value) {
    VertexRecord r = MarkerRecord(value);
    r.position[0] = x;
    r.position[1] = y;
    r.position[2] = z;
    r.tex[0] = u;
    r.tex[1] = v;
    return r;
}

void MeshObject::DecodeItem(const ModelFrame& frame, int32_t i, VertexRecord& out) const {
    const ModelItem& item = frame.items[i];
    std::memset(&out, 0, sizeof out);
    const uint8_t q[3] = {item.qx, item.qy, item.qz};
    for (int c = 0; c < 3; ++c) {
        out.position[c] = (float(q[c]) - frame.offset[c]) * frame.scale[c];
        out.normal[c] = NormalTable[3 * item.normal + c];
        out.tangent[c] = NormalTable[3 * item.tangent + c];
        out.binormal[c] = NormalTable[3 * item.binormal + c];
    }
    SetColour(out, ItemValue(item));
    out.colourIndex = item.colour;
    // Every frame shares frame 0's texture list; an item past its end has none.
    if (i < texU.Count() && i < texV.Count()) {
        out.tex[0] = texU[i];
        out.tex[1] = -texV[i];
    }
}

void MeshObject::ClearModel(bool release) {
    for (ModelFrame& frame : frames) {
        frame.records.Clear();
        frame.triangles.Clear();
        frame.items.Clear();
    }
    if (release) {
        frames.Free();
        workVertices.Free();
        texU.Free();
        texV.Free();
        colourTable.Free();
    } else {
        frames.Clear();
        workVertices.Clear();
        texU.Clear();
        texV.Clear();
        colourTable.Clear();
    }
    normalsValid = 0;
}

// Colour-table index of value, appending it when it is new; -1 when the table is full (the
// 8-bit index cannot address a 257th entry) or the memory could not be had.
static int32_t ColourIndex(GrowArray<uint32_t>& table, uint32_t value) {
    for (int32_t i = 0; i < table.Count(); ++i) {
        if (table[i] == value) return i;
    }
    if (table.Count() >= kMaxColours || table.Append(value) == nullptr) return -1;
    return table.Count() - 1;
}

bool MeshObject::QuantizeFrame(ModelFrame& frame, bool firstFrame) {
    const int32_t n = frame.records.Count();
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    bool any = false;
    for (const VertexRecord& r : frame.records) {
        if (IsMarker(r.value)) continue;
        for (int c = 0; c < 3; ++c) {
            if (!any || r.position[c] < lo[c]) lo[c] = r.position[c];
            if (!any || r.position[c] > hi[c]) hi[c] = r.position[c];
        }
        any = true;
    }
    // A frame without vertices keeps offset 0 and scale 1.
    for (int c = 0; c < 3; ++c) {
        float scale = (hi[c] - lo[c]) / 255.0f;
        if (scale == 0.0f) scale = 1.0f;
        frame.scale[c] = scale;
        frame.offset[c] = -lo[c] / scale;
    }
    frame.items.Clear();
    if (!frame.items.Reserve(n) || (firstFrame && (!texU.Reserve(n) || !texV.Reserve(n)))) return false;
    uint32_t lastValue = 0;
    int32_t colour = -1; // index of lastValue: neighbouring records mostly share a colour
    for (const VertexRecord& r : frame.records) {
        if (colour < 0 || r.value != lastValue) {
            colour = ColourIndex(colourTable, r.value);
            lastValue = r.value;
            if (colour < 0) return false;
        }
        ModelItem item = {0, 0, 0, 0, uint8_t(colour), 0, 0};
        if (!IsMarker(r.value)) {
            item.normal = QuantizeNormal(r.normal);
            uint8_t* q[3] = {&item.qx, &item.qy, &item.qz};
            for (int c = 0; c < 3; ++c) {
                float v = r.position[c] / frame.scale[c] + frame.offset[c];
                *q[c] = v < 255.0f ? (v > 0.0f ? uint8_t(v) : 0) : 255;
            }
        }
        if (firstFrame && (texU.Append(r.tex[0]) == nullptr || texV.Append(r.tex[1]) == nullptr)) return false;
        if (frame.items.Append(item) == nullptr) return false;
    }
    frame.records.Clear();
    return true;
}

bool MeshObject::QuantizeFrames() {
    texU.Clear();
    texV.Clear();
    normalsValid = 0;
    for (int32_t f = 0; f < frames.Count(); ++f) {
        if (!QuantizeFrame(frames[f], f == 0)) return false;
    }
    return true;
}
