// Edge adjacency of frame 0 for shadow volumes.
//
// Triangle records are first welded to vertex ids: the id of a record is the first item of
// frame 0 whose decoded position lies within 1e-5 of it on every axis. Two edges match when they
// join the same two ids in either order. The links are those of comparing every triangle with
// every later one, where a later match overwrites an earlier one: for an edge shared by
// triangles t0 < t1 < ... < tk, t0's edge links to tk and each later triangle's edge links to t0.
// Both steps run in linear or near-linear time here. Positions are quantized, so each axis of a
// frame has at most 256 distinct coordinates; when those lie farther apart than the tolerance
// (every ordinary model), two positions are near exactly when they are equal, and a record's id is
// a table look-up of its position. Otherwise welding falls back to a grid whose cells are wider
// than the tolerance, looking only into the cells that can hold a match. Linking groups the edges
// by their id pair in a hash table. The quadratic versions stay as the reference the tests and
// benchmarks compare to.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "gfx3d/objectstore.h"

namespace {

constexpr float kWeldTolerance = 1e-5f;
// Cell width of the welding grid, ten times the tolerance: a position within the tolerance of
// another lies in the same cell on each axis unless one of them is near a cell border, so most
// look-ups visit one cell. kReach is safely above the tolerance (and the float rounding of the
// difference) and decides which neighbouring cells a look-up must visit.
constexpr double kCell = 1e-4;
constexpr double kReach = 2e-5;
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
    bool operator<(const Key3& o) const {
        return v[0] != o.v[0] ? v[0] < o.v[0] : v[1] != o.v[1] ? v[1] < o.v[1] : v[2] < o.v[2];
    }
};
struct Key3Hash {
    size_t operator()(const Key3& k) const {
        uint64_t h = 1469598103934665603ull;
        for (int64_t x : k.v) h = (h ^ uint64_t(x)) * 1099511628211ull;
        return size_t(h ^ (h >> 29));
    }
};

int64_t CellIndex(double x) {
    double cell = std::floor(x / kCell);
    if (cell > kCellLimit) cell = kCellLimit;
    if (cell < -kCellLimit) cell = -kCellLimit;
    return int64_t(cell);
}

// The cell of p, and per axis the range of cells a position near p can lie in; false for NaN,
// which is near nothing.
bool CellsOf(const float p[3], Key3& cell, Key3& low, Key3& high) {
    for (int c = 0; c < 3; ++c) {
        if (std::isnan(p[c])) return false;
        cell.v[c] = CellIndex(p[c]);
        low.v[c] = CellIndex(double(p[c]) - kReach);
        high.v[c] = CellIndex(double(p[c]) + kReach);
    }
    return true;
}

// Open-addressing table from 64-bit keys to 32-bit values, sized once for n keys.
class KeyTable {
public:
    explicit KeyTable(size_t n) {
        size_t capacity = 16;
        while (capacity < 2 * n) capacity *= 2;
        mask_ = capacity - 1;
        keys_.resize(capacity);
        values_.assign(capacity, -1);
    }
    // The value slot of key; a new key's slot holds -1.
    int32_t& operator[](uint64_t key) {
        size_t at = Mix(key) & mask_;
        while (values_[at] != -1 && keys_[at] != key) at = (at + 1) & mask_;
        keys_[at] = key;
        return values_[at];
    }

private:
    static size_t Mix(uint64_t x) {
        x ^= x >> 30;
        x *= 0xBF58476D1CE4E5B9ull;
        x ^= x >> 27;
        x *= 0x94D049BB133111EBull;
        return size_t(x ^ (x >> 31));
    }
    size_t mask_;
    std::vector<uint64_t> keys_;
    std::vector<int32_t> values_; // -1: free (values stored are never -1)
};

uint32_t FloatBits(float v) {
    v += 0.0f; // -0 and +0 are the same coordinate
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u;
}

// Welding when every axis's distinct coordinates are finite and more than twice the tolerance
// apart: near then means equal. Coordinates become class numbers per axis, a position the three
// classes; false when the condition does not hold or a record has a coordinate no item has.
bool WeldByEquality(const ModelFrame& frame, GrowArray<int32_t>& ids) {
    KeyTable classes[3] = {KeyTable(256), KeyTable(256), KeyTable(256)};
    for (int c = 0; c < 3; ++c) {
        float values[256];
        for (int q = 0; q < 256; ++q) {
            values[q] = (float(q) - frame.offset[c]) * frame.scale[c] + 0.0f;
            if (!std::isfinite(values[q])) return false; // also keeps NaN away from the sort
        }
        std::sort(values, values + 256);
        int32_t next = 0;
        for (int q = 0; q < 256; ++q) {
            if (q > 0 && values[q] != values[q - 1] && !(double(values[q]) - double(values[q - 1]) > 2.0 * kReach))
                return false;
            int32_t& cls = classes[c][FloatBits(values[q])];
            if (cls == -1) cls = next++;
        }
    }
    auto key = [&](const float p[3], uint64_t& k) {
        k = 0;
        for (int c = 0; c < 3; ++c) {
            int32_t cls = classes[c][FloatBits(p[c])];
            if (cls == -1) return false;
            k |= uint64_t(cls) << (8 * c);
        }
        return true;
    };
    KeyTable first(size_t(frame.items.Count()));
    for (int32_t i = 0; i < frame.items.Count(); ++i) {
        float p[3];
        uint64_t k;
        ItemPosition(frame, i, p);
        key(p, k);
        int32_t& item = first[k];
        if (item == -1) item = i;
    }
    const GrowArray<VertexRecord>& records = frame.triangles;
    if (!ids.Reserve(records.Count())) return false;
    for (const VertexRecord& r : records) {
        uint64_t k;
        if (!key(r.position, k)) {
            ids.Clear();
            return false;
        }
        int32_t& item = first[k];
        ids.Append(item); // -1 (and now taken) when no item has this position
    }
    return true;
}

struct Candidate {
    Key3 cell;
    float position[3];
    int32_t item;
};

} // namespace

void WeldVertices(const MeshObject& model, GrowArray<int32_t>& ids) {
    ids.Clear();
    if (model.frames.Empty()) return;
    const ModelFrame& frame = model.frames[0];
    if (WeldByEquality(frame, ids)) return;
    // Items sorted by cell (then index), so a cell's items are one run of the array.
    std::vector<Candidate> candidates;
    candidates.reserve(size_t(frame.items.Count()));
    for (int32_t i = 0; i < frame.items.Count(); ++i) {
        Candidate c;
        Key3 low, high;
        ItemPosition(frame, i, c.position);
        c.item = i;
        if (CellsOf(c.position, c.cell, low, high)) candidates.push_back(c);
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.cell == b.cell ? a.item < b.item : a.cell < b.cell;
    });
    std::unordered_map<Key3, std::pair<int32_t, int32_t>, Key3Hash> runs; // cell -> [begin, end)
    runs.reserve(candidates.size());
    for (size_t k = 0; k < candidates.size(); ++k) {
        auto inserted = runs.emplace(candidates[k].cell, std::make_pair(int32_t(k), int32_t(k + 1)));
        if (!inserted.second) inserted.first->second.second = int32_t(k + 1);
    }
    const GrowArray<VertexRecord>& records = frame.triangles;
    if (!ids.Reserve(records.Count())) return;
    for (const VertexRecord& r : records) {
        int32_t id = -1;
        Key3 cell, low, high;
        if (CellsOf(r.position, cell, low, high)) {
            Key3 at;
            for (at.v[0] = low.v[0]; at.v[0] <= high.v[0]; ++at.v[0])
                for (at.v[1] = low.v[1]; at.v[1] <= high.v[1]; ++at.v[1])
                    for (at.v[2] = low.v[2]; at.v[2] <= high.v[2]; ++at.v[2]) {
                        auto run = runs.find(at);
                        if (run == runs.end()) continue;
                        // Within a run items ascend: the first near one is the run's best.
                        for (int32_t k = run->second.first; k < run->second.second; ++k) {
                            const Candidate& c = candidates[size_t(k)];
                            if (id >= 0 && c.item > id) break;
                            if (Near(c.position, r.position)) {
                                id = c.item;
                                break;
                            }
                        }
                    }
        }
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
    std::vector<Sharers> groups;
    std::vector<int32_t> groupOf(size_t(3 * triangleCount));
    KeyTable table(size_t(3 * triangleCount));
    for (int32_t t = 0; t < triangleCount; ++t) {
        for (int e = 0; e < 3; ++e) {
            int32_t& group = table[PairKey(ids[3 * t + e], ids[3 * t + (e + 1) % 3])];
            if (group == -1) {
                group = int32_t(groups.size());
                groups.push_back(Sharers{t, t});
            }
            groups[size_t(group)].last = t;
            groupOf[size_t(3 * t + e)] = group;
        }
    }
    for (int32_t k = 0; k < 3 * triangleCount; ++k) {
        const Sharers& s = groups[size_t(groupOf[size_t(k)])];
        int32_t t = k / 3;
        links[k].neighbour = s.last == s.first ? -1 : (t == s.first ? s.last : s.first);
        links[k].silhouette = 0;
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
