// Edge adjacency of frame 0 for shadow volumes.
//
// Triangle records are first welded to vertex ids: the id of a record is the first item of
// frame 0 whose decoded position lies within 1e-5 of it on every axis. Two edges match when they
// join the same two ids in either order. The links are those of comparing every triangle with
// every later one, where a later match overwrites an earlier one: for an edge shared by
// triangles t0 < t1 < ... < tk, t0's edge links to tk and each later triangle's edge links to t0.
// Both steps run in near-linear time here: welding looks only into the neighbouring cells of a
// grid whose cells are wider than the tolerance, and linking groups edges by their id pair in a
// hash table. The quadratic versions stay as the reference the tests and benchmarks compare to.
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "gfx3d/objectstore.h"

namespace {

constexpr float kWeldTolerance = 1e-5f;
// Cell width of the welding grid: comfortably wider than the tolerance, so every match lies in
// the same or a neighbouring cell.
constexpr double kCell = 2e-5;
constexpr double kCellLimit = 1099511627776.0; // 2^40: farther cells share the outermost one

bool Near(const float a[3], const float b[3]) {
    for (int c = 0; c < 3; ++c) {
        if (!(std::fabs(a[c] - b[c]) < kWeldTolerance)) return false;
    }
    return true;
}

void ItemPosition(const ModelFrame& frame, int32_t i, float p[3]) {
    const ModelItem& item = frame.items[i];
    const uint8_t q[3] = {item.qx, item.qy, item.qz};
    for (int c = 0; c < 3; ++c) p[c] = (float(q[c]) - frame.offset[c]) * frame.scale[c];
}

struct Key3 {
    int64_t v[3];
    bool operator==(const Key3& o) const { return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2]; }
};
struct Key3Hash {
    size_t operator()(const Key3& k) const {
        uint64_t h = 1469598103934665603ull;
        for (int64_t x : k.v) h = (h ^ uint64_t(x)) * 1099511628211ull;
        return size_t(h ^ (h >> 29));
    }
};

// Exact bits of a position, so equal positions are looked up once.
Key3 BitsKey(const float p[3]) {
    Key3 k;
    for (int c = 0; c < 3; ++c) {
        uint32_t u;
        std::memcpy(&u, &p[c], 4);
        k.v[c] = u;
    }
    return k;
}

bool CellOf(const float p[3], Key3& cell) {
    for (int c = 0; c < 3; ++c) {
        if (std::isnan(p[c])) return false; // NaN is near nothing
        double x = std::floor(double(p[c]) / kCell);
        if (x > kCellLimit) x = kCellLimit;
        if (x < -kCellLimit) x = -kCellLimit;
        cell.v[c] = int64_t(x);
    }
    return true;
}

struct Candidate {
    float position[3];
    int32_t item; // first item at this exact position
};

} // namespace

void WeldVertices(const MeshObject& model, GrowArray<int32_t>& ids) {
    ids.Clear();
    if (model.frames.Empty()) return;
    const ModelFrame& frame = model.frames[0];
    std::vector<Candidate> candidates;
    std::unordered_map<Key3, int32_t, Key3Hash> exact;   // position bits -> candidate
    std::unordered_map<Key3, std::vector<int32_t>, Key3Hash> grid; // cell -> candidates
    exact.reserve(size_t(frame.items.Count()));
    for (int32_t i = 0; i < frame.items.Count(); ++i) {
        Candidate c;
        ItemPosition(frame, i, c.position);
        c.item = i;
        Key3 cell;
        if (!CellOf(c.position, cell) || !exact.emplace(BitsKey(c.position), int32_t(candidates.size())).second)
            continue;
        grid[cell].push_back(int32_t(candidates.size()));
        candidates.push_back(c);
    }
    std::unordered_map<Key3, int32_t, Key3Hash> answered; // record position bits -> id
    const GrowArray<VertexRecord>& records = frame.triangles;
    if (!ids.Reserve(records.Count())) return;
    for (const VertexRecord& r : records) {
        Key3 bits = BitsKey(r.position);
        auto known = answered.find(bits);
        if (known != answered.end()) {
            ids.Append(known->second);
            continue;
        }
        int32_t id = -1;
        Key3 cell;
        if (CellOf(r.position, cell)) {
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dz = -1; dz <= 1; ++dz) {
                        auto bucket = grid.find(Key3{{cell.v[0] + dx, cell.v[1] + dy, cell.v[2] + dz}});
                        if (bucket == grid.end()) continue;
                        for (int32_t k : bucket->second) {
                            const Candidate& c = candidates[size_t(k)];
                            if ((id < 0 || c.item < id) && Near(c.position, r.position)) id = c.item;
                        }
                    }
        }
        answered.emplace(bits, id);
        ids.Append(id);
    }
}

void WeldVerticesQuadratic(const MeshObject& model, GrowArray<int32_t>& ids) {
    ids.Clear();
    if (model.frames.Empty()) return;
    const ModelFrame& frame = model.frames[0];
    for (const VertexRecord& r : frame.triangles) {
        int32_t id = -1;
        for (int32_t i = 0; i < frame.items.Count() && id < 0; ++i) {
            float p[3];
            ItemPosition(frame, i, p);
            if (Near(p, r.position)) id = i;
        }
        ids.Append(id);
    }
}

static uint64_t PairKey(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    return uint64_t(uint32_t(a)) << 32 | uint32_t(b);
}

void LinkEdges(const int32_t* ids, int32_t triangleCount, EdgeLink* links) {
    struct Sharers {
        int32_t first, last; // lowest and highest triangle with this edge
    };
    std::unordered_map<uint64_t, Sharers> groups;
    groups.reserve(size_t(triangleCount) * 2);
    for (int32_t t = 0; t < triangleCount; ++t) {
        for (int e = 0; e < 3; ++e) {
            uint64_t key = PairKey(ids[3 * t + e], ids[3 * t + (e + 1) % 3]);
            auto inserted = groups.emplace(key, Sharers{t, t});
            if (!inserted.second) inserted.first->second.last = t;
        }
    }
    for (int32_t t = 0; t < triangleCount; ++t) {
        for (int e = 0; e < 3; ++e) {
            const Sharers& s = groups[PairKey(ids[3 * t + e], ids[3 * t + (e + 1) % 3])];
            EdgeLink& link = links[3 * t + e];
            link.neighbour = s.last == s.first ? -1 : (t == s.first ? s.last : s.first);
            link.silhouette = 0;
        }
    }
}

void LinkEdgesQuadratic(const int32_t* ids, int32_t triangleCount, EdgeLink* links) {
    for (int32_t k = 0; k < 3 * triangleCount; ++k) links[k] = EdgeLink();
    for (int32_t i = 0; i + 1 < triangleCount; ++i) {
        for (int e = 0; e < 3; ++e) {
            if (links[3 * i + e].neighbour != -1) continue;
            int32_t a = ids[3 * i + e], b = ids[3 * i + (e + 1) % 3];
            for (int32_t j = i + 1; j < triangleCount; ++j) {
                for (int f = 0; f < 3; ++f) {
                    int32_t c = ids[3 * j + f], d = ids[3 * j + (f + 1) % 3];
                    if ((a == c && b == d) || (a == d && b == c)) {
                        links[3 * i + e].neighbour = j;
                        links[3 * j + f].neighbour = i;
                    }
                }
            }
        }
    }
}

void MeshObjectX::BuildEdges() {
    if (frames.Empty() || !edges.Empty()) return;
    int32_t triangleCount = frames[0].triangles.Count() / 3;
    if (triangleCount == 0 || !edges.Resize(3 * triangleCount)) return;
    GrowArray<int32_t> ids;
    WeldVertices(*this, ids);
    if (ids.Count() < 3 * triangleCount) {
        edges.Clear();
        return;
    }
    LinkEdges(ids.Data(), triangleCount, edges.Data());
}
