// Vertex normals, tangents and binormals of a slot's items. Each triangle's face normal (not
// normalised, so larger triangles weigh more), tangent and binormal are summed into the shared
// vertices it touches; a shared vertex is either every item at one quantized position (smooth
// shading across faces) or one item (faces stay apart). The sums are quantized into the items.
#include <cmath>
#include <unordered_map>
#include <vector>

#include "gfx3d/objectstore.h"

namespace {

struct SharedVertex {
    float normal[3] = {0, 0, 0};
    float tangent[3] = {0, 0, 0};
    float binormal[3] = {0, 0, 0};
};

struct Corner {
    float position[3];
    float tex[2];
    int32_t shared;
};

void Add(float sum[3], const float v[3]) {
    for (int c = 0; c < 3; ++c) sum[c] += v[c];
}

// Tangent and binormal of a triangle from its texture coordinates; components are kept from the
// previous triangle when the texture mapping is degenerate.
void TriangleTangents(const Corner w[3], float t[3], float b[3]) {
    float dU1 = w[1].tex[0] - w[0].tex[0], dV1 = w[1].tex[1] - w[0].tex[1];
    float dU2 = w[2].tex[0] - w[0].tex[0], dV2 = w[2].tex[1] - w[0].tex[1];
    float d = dU1 * dV2 - dU2 * dV1;
    if (!(std::fabs(d) > 1e-5f)) return;
    for (int c = 0; c < 3; ++c) {
        float d1 = w[1].position[c] - w[0].position[c];
        float d2 = w[2].position[c] - w[0].position[c];
        t[c] = -(dV1 * d2 - d1 * dV2) / d;
        b[c] = -(d1 * dU2 - d2 * dU1) / d;
    }
}

enum class Kind { triangles, strip, fan };

class FrameNormals {
public:
    FrameNormals(MeshObjectX& m, ModelFrame& frame, bool recompute, bool byPosition, bool tangents)
        : m_(m), frame_(frame), recompute_(recompute), byPosition_(byPosition), tangents_(tangents) {}

    void Run() {
        const int32_t count = frame_.items.Count();
        itemShared_.assign(size_t(count), 0);
        index_.reserve(size_t(count));
        for (int32_t i = 0; i < count; ++i) Visit(i);
        if (shared_.empty()) return;
        for (int32_t i = 0; i < count; ++i) {
            ModelItem& item = frame_.items[i];
            const SharedVertex& s = shared_[size_t(itemShared_[size_t(i)])];
            if (recompute_) item.normal = QuantizeNormal(s.normal);
            if (tangents_) {
                item.tangent = QuantizeNormal(s.tangent);
                item.binormal = QuantizeNormal(s.binormal);
            }
        }
    }

private:
    void Visit(int32_t i) {
        const ModelItem& item = frame_.items[i];
        uint32_t value = m_.ItemValue(item);
        if (IsMarker(value)) {
            if (value == kStripMarker) kind_ = Kind::strip;
            if (value == kTrianglesMarker) kind_ = Kind::triangles;
            if (value == kFanMarker) kind_ = Kind::fan;
            n_ = 0;
            parity_ = 0;
            return;
        }
        VertexRecord r;
        m_.DecodeItem(frame_, i, r);
        uint32_t key = byPosition_ ? uint32_t(item.qx) | uint32_t(item.qy) << 8 | uint32_t(item.qz) << 16 : uint32_t(i);
        auto found = index_.find(key);
        int32_t shared;
        if (found != index_.end()) {
            shared = found->second;
        } else {
            shared = int32_t(shared_.size());
            shared_.emplace_back();
            index_.emplace(key, shared);
        }
        itemShared_[size_t(i)] = shared;
        Corner& corner = window_[n_++];
        for (int c = 0; c < 3; ++c) corner.position[c] = r.position[c];
        corner.tex[0] = r.tex[0];
        corner.tex[1] = r.tex[1];
        corner.shared = shared;
        if (n_ == 3) Triangle();
    }

    void Triangle() {
        parity_ ^= 1;
        n_ = 2;
        if (kind_ == Kind::triangles) {
            parity_ = 0;
            n_ = 0;
        }
        bool flip = kind_ == Kind::strip && parity_ == 0;
        if (recompute_) {
            float a[3], b[3], f[3];
            for (int c = 0; c < 3; ++c) {
                a[c] = window_[0].position[c] - window_[1].position[c];
                b[c] = window_[2].position[c] - window_[1].position[c];
            }
            f[0] = a[1] * b[2] - a[2] * b[1];
            f[1] = a[2] * b[0] - a[0] * b[2];
            f[2] = a[0] * b[1] - a[1] * b[0];
            if (flip) {
                for (float& c : f) c = -c;
            }
            for (const Corner& corner : window_) Add(shared_[size_t(corner.shared)].normal, f);
        }
        if (tangents_) {
            TriangleTangents(window_, tangent_, binormal_);
            for (const Corner& corner : window_) {
                Add(shared_[size_t(corner.shared)].tangent, tangent_);
                Add(shared_[size_t(corner.shared)].binormal, binormal_);
            }
        }
        // A strip slides on by one vertex; a fan keeps its first vertex, as it is drawn.
        if (kind_ == Kind::fan) {
            window_[1] = window_[2];
        } else {
            window_[0] = window_[1];
            window_[1] = window_[2];
        }
    }

    MeshObjectX& m_;
    ModelFrame& frame_;
    bool recompute_, byPosition_, tangents_;
    Kind kind_ = Kind::triangles;
    int n_ = 0;
    int parity_ = 0;
    Corner window_[3] = {};
    float tangent_[3] = {0, 0, 0};
    float binormal_[3] = {0, 0, 0};
    std::vector<SharedVertex> shared_;
    std::vector<int32_t> itemShared_;           // shared vertex of each item; 0 for markers
    std::unordered_map<uint32_t, int32_t> index_; // key -> shared vertex (keys are unique)
};

} // namespace

void MeshObjectX::ComputeNormals(bool recompute, bool smoothByPosition, bool tangents) {
    if (frames.Empty() || frames[0].items.Empty()) return;
    if (normalsValid == 1) recompute = false;
    const ModelItem& first = frames[0].items[0];
    if (first.tangent != 0 || first.binormal != 0) tangents = false;
    if (!recompute && !tangents) return;
    normalsValid = 1;
    for (ModelFrame& frame : frames) FrameNormals(*this, frame, recompute, smoothByPosition, tangents).Run();
    BuildDrawData();
}
