// Drawing data of a slot: every frame's items decomposed into a list of triangles (separate
// triangles, strips with alternating winding, fans), the per-draw vertex array and the
// bounding spheres.
#include <cmath>

#include "gfx3d/objectstore.h"

namespace {

enum class Kind { triangles, strip, fan };

// Triangles the items make: each vertex completes one once its primitive has three.
int64_t CountTriangles(const MeshObjectX& m, const ModelFrame& frame) {
    int64_t count = 0;
    int n = 0;
    bool separate = true;
    for (const ModelItem& item : frame.items) {
        uint32_t value = m.ItemValue(item);
        if (value == kStripMarker || value == kTrianglesMarker || value == kFanMarker) {
            separate = value == kTrianglesMarker;
            n = 0;
        } else if (++n == 3) {
            ++count;
            n = separate ? 0 : 2;
        }
    }
    return count;
}

// Appends the triangles of one frame's items (reserved at once: the list grows by a fixed step).
bool DecomposeFrame(const MeshObjectX& m, ModelFrame& frame) {
    frame.triangles.Clear();
    if (!frame.triangles.Reserve(3 * CountTriangles(m, frame))) return false;
    VertexRecord window[3];
    int n = 0;
    int parity = 0;
    Kind kind = Kind::triangles;
    for (int32_t i = 0; i < frame.items.Count(); ++i) {
        uint32_t value = m.ItemValue(frame.items[i]);
        if (value == kStripMarker) {
            kind = Kind::strip;
            n = 0;
            parity = 0;
            continue;
        }
        if (value == kTrianglesMarker) {
            kind = Kind::triangles;
            n = 0;
            continue;
        }
        if (value == kFanMarker) {
            kind = Kind::fan;
            n = 0;
            continue;
        }
        m.DecodeItem(frame, i, window[n++]);
        if (n < 3) continue;
        for (const VertexRecord& r : window) {
            if (frame.triangles.Append(r) == nullptr) return false;
        }
        if (kind == Kind::triangles) {
            n = 0;
        } else if (kind == Kind::strip) {
            // Every other strip triangle is reversed so all keep the winding of the first.
            n = 2;
            window[parity == 0 ? 0 : 1] = window[2];
            parity ^= 1;
        } else {
            n = 2;
            window[1] = window[2];
        }
    }
    return true;
}

} // namespace

void MeshObjectX::BuildDrawData() {
    for (ModelFrame& frame : frames) {
        if (!DecomposeFrame(*this, frame)) frame.triangles.Clear();
    }
    workVertices.Clear();
    if (!frames.Empty()) {
        const GrowArray<VertexRecord>& source = frames[0].triangles;
        if (workVertices.Reserve(source.Count())) {
            for (const VertexRecord& r : source) workVertices.Append(r);
        }
    }
    hasColours = 0;
    for (uint32_t value : colourTable) {
        if (!IsMarker(value) && value != 0xFFFFFFu) hasColours = 1;
    }
}

// A frame without triangles gets centre (0, 0, 0) and radius 0.
void MeshObjectX::ComputeBounds() {
    for (ModelFrame& frame : frames) {
        const GrowArray<VertexRecord>& t = frame.triangles;
        double sum[3] = {0, 0, 0};
        for (const VertexRecord& r : t) {
            for (int c = 0; c < 3; ++c) sum[c] += r.position[c];
        }
        for (int c = 0; c < 3; ++c) frame.centre[c] = t.Empty() ? 0.0f : float(sum[c] / t.Count());
        float radiusSq = 0;
        for (const VertexRecord& r : t) {
            float d[3];
            for (int c = 0; c < 3; ++c) d[c] = r.position[c] - frame.centre[c];
            float dSq = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            if (dSq > 1e-7f && dSq > radiusSq) radiusSq = dSq;
        }
        frame.radius = std::sqrt(radiusSq);
    }
}
