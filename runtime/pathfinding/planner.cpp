// The open list and the best-first grid planner.
//
// Costs: map values <= 0 (and NaN) block a cell; the others count as 32-bit floats (values
// beyond the float range as the largest float) and are scaled by the largest one M to v / M + 1,
// so a step costs between 1 and 2. All path arithmetic is in 32-bit floats, in the order written
// below, because ties between keys decide which of two equal paths is returned.
#include "pathfinding/planner.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace {

constexpr float kDiagonalStep = 1.4142137f; // bits 0x3FB504F4
constexpr float kBlockedCost = -1.0f;
constexpr uint32_t kFirstCapacity = 1024;   // open-list entries before the first growth

// The neighbour order of a search, and the direction index a node keeps of the step that
// reached it: up-left, up, up-right, right, left, down-left, down, down-right.
constexpr int kStepX[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
constexpr int kStepY[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

float ClampedWeight(float w) {
    if (!(w > 0.0f)) return 0.0f; // below 0 and NaN
    return std::min(w, 1.0f);
}

// A map value as a float before scaling; only called for values > 0.
float RawCost(double v) { return v > double(FLT_MAX) ? FLT_MAX : static_cast<float>(v); }

// A scaled cost in [1, 2] as the 24 bits of its float above those of 1, and back.
constexpr uint32_t kBitsOfOne = 0x3F800000;
uint32_t CodeOfCost(float cost) {
    uint32_t bits;
    std::memcpy(&bits, &cost, sizeof bits);
    return bits - kBitsOfOne;
}
float CostFromCode(uint32_t code) {
    const uint32_t bits = code + kBitsOfOne;
    float cost;
    std::memcpy(&cost, &bits, sizeof cost);
    return cost;
}

uint64_t KeyOf(float f, uint32_t stamp) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits); // f >= +0, so its bits order as its values do
    return uint64_t(bits) << 32 | stamp;
}

} // namespace

// ---- OpenList

bool OpenList::Grow() {
    const uint64_t capacity = capacity_ < kFirstCapacity ? kFirstCapacity : uint64_t(capacity_) * 2;
    if (capacity > UINT32_MAX - kRoot) return false;
    const size_t slots = size_t(capacity) + kRoot;
    void* keys = nullptr;
    if (posix_memalign(&keys, 64, slots * sizeof(uint64_t)) != 0) return false;
    Item* items = static_cast<Item*>(std::realloc(items_, slots * sizeof(Item)));
    if (items == nullptr) {
        std::free(keys);
        return false;
    }
    if (size_ != 0) std::memcpy(static_cast<uint64_t*>(keys) + kRoot, keys_ + kRoot, size_t(size_) * sizeof(uint64_t));
    std::free(keys_);
    keys_ = static_cast<uint64_t*>(keys);
    items_ = items;
    capacity_ = uint32_t(capacity);
    return true;
}

// New stamps 0, 1, ... in key order. Popping every entry into the slot it frees sorts the
// entries by decreasing key; reversed, they are sorted by increasing key, which is a heap, and
// stamps that follow that order keep the order in which entries come out.
void OpenList::Renumber() {
    const uint32_t count = size_;
    while (size_ > 0) {
        const Entry e = Pop();
        keys_[kRoot + size_] = e.key;
        items_[kRoot + size_] = Item{e.cell, e.g};
    }
    size_ = count;
    std::reverse(keys_ + kRoot, keys_ + kRoot + count);
    std::reverse(items_ + kRoot, items_ + kRoot + count);
    for (uint32_t i = 0; i < count; ++i) keys_[kRoot + i] = (keys_[kRoot + i] & ~uint64_t(UINT32_MAX)) | i;
    nextStamp_ = count;
}

void OpenList::SiftUp(uint32_t hole, uint64_t key, Item item) {
    while (hole > kRoot) {
        const uint32_t parent = hole / kArity + kRoot - 1;
        if (!(key < keys_[parent])) break;
        keys_[hole] = keys_[parent];
        items_[hole] = items_[parent];
        hole = parent;
    }
    keys_[hole] = key;
    items_[hole] = item;
}

bool OpenList::Push(float f, uint32_t cell, float g) {
    if (size_ == capacity_ && !Grow()) return false;
    if (nextStamp_ == UINT32_MAX) Renumber();
    SiftUp(kRoot + size_++, KeyOf(f, nextStamp_++), Item{cell, g});
    return true;
}

namespace {

// Keeps the lower of two keys and its index without a branch: which child wins is a coin toss
// the branch predictor would lose half the time, and GCC makes a branch of a plain conditional
// here. On x86-64 two conditional moves do it; elsewhere arithmetic does (keys stay below 2^63,
// as f >= 0 has its sign bit clear, so the sign of the difference is the comparison).
inline void KeepLower(uint64_t& key, uint32_t& index, uint64_t otherKey, uint32_t otherIndex) {
#if defined(__x86_64__)
    __asm__("cmpq %[k], %[ok]\n\t"
            "cmovbq %[ok], %[k]\n\t"
            "cmovbl %[oi], %[i]"
            : [k] "+r"(key), [i] "+r"(index)
            : [ok] "r"(otherKey), [oi] "r"(otherIndex)
            : "cc");
#else
    const uint64_t lower = (otherKey - key) >> 63;
    key ^= (key ^ otherKey) & (0 - lower);
    index ^= (index ^ otherIndex) & (0u - uint32_t(lower));
#endif
}

} // namespace

// The hole left at the root walks down along the smallest children to the bottom, then the last
// entry is sifted up from there: it is usually among the largest, so this takes fewer
// comparisons than sifting it down from the root.
OpenList::Entry OpenList::Pop() {
    const Entry top{keys_[kRoot], items_[kRoot].cell, items_[kRoot].g};
    --size_;
    const uint32_t end = kRoot + size_;
    const uint64_t lastKey = keys_[end];
    const Item lastItem = items_[end];
    if (size_ == 0) return top;
    uint32_t hole = kRoot;
    for (;;) {
        const uint64_t first = uint64_t(kArity) * (hole - kRoot + 1);
        if (first >= end) break;
        uint32_t best = uint32_t(first);
        uint64_t bestKey;
        if (first + kArity <= end) {
            // A knockout in rounds of pairs: a short chain of dependent steps.
            const uint64_t* k = keys_ + first;
            uint64_t key[kArity / 2];
            uint32_t index[kArity / 2];
            for (uint32_t i = 0; i < kArity / 2; ++i) {
                key[i] = k[2 * i];
                index[i] = 2 * i;
                KeepLower(key[i], index[i], k[2 * i + 1], 2 * i + 1);
            }
            for (uint32_t width = kArity / 4; width > 0; width /= 2) {
                for (uint32_t i = 0; i < width; ++i) KeepLower(key[i], index[i], key[i + width], index[i + width]);
            }
            best += index[0];
            bestKey = key[0];
        } else {
            for (uint32_t c = best + 1; c < end; ++c) {
                if (keys_[c] < keys_[best]) best = c;
            }
            bestKey = keys_[best];
        }
        keys_[hole] = bestKey;
        items_[hole] = items_[best];
        hole = best;
    }
    SiftUp(hole, lastKey, lastItem);
    return top;
}

void OpenList::Release() {
    std::free(keys_);
    std::free(items_);
    keys_ = nullptr;
    items_ = nullptr;
    size_ = capacity_ = 0;
    nextStamp_ = 0;
}

// ---- Planner

int Planner::Setup(const PlannerParams& params) {
    ready_ = false;
    goal_ = kNoCell;
    nodes_.reset();
    open_.Release();
    const uint64_t w = params.width, h = params.height;
    if (params.map == nullptr) return 0;
    if (params.startX < 0 || params.startY < 0 || params.goalX < 0 || params.goalY < 0) return 0;
    if (uint64_t(params.startX) >= w || uint64_t(params.goalX) >= w) return 0;
    if (uint64_t(params.startY) >= h || uint64_t(params.goalY) >= h) return 0;
    if (params.startX == params.goalX && params.startY == params.goalY) return 0;
    const uint64_t cells = w * h;
    if (cells >= kNoCell) return 0; // every cell index must differ from kNoCell
    const uint32_t n = static_cast<uint32_t>(cells);

    // The largest value decides the scale. Converting to float keeps the order of values, so
    // the largest float cost is the float of the largest value. NaN compares false: skipped.
    double top = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
        if (params.map[i] > top) top = params.map[i];
    }
    top_ = top > 0.0 ? RawCost(top) : 0.0f;
    if (!(top_ > 0.0f)) return 0;

    // calloc hands out zeroed memory (fresh pages from the system cost nothing until touched),
    // so the nodes of cells a search never tries are never touched.
    nodes_.reset(static_cast<NodeCell*>(std::calloc(n, sizeof(NodeCell))));
    if (!nodes_) return 0;
    params_ = params;
    params_.weight = ClampedWeight(params.weight);
    reachLimit_ = params.poolSize != 0 ? params.poolSize : n;
    openLimit_ = params.openSize != 0 ? params.openSize : n;
    reached_ = openCount_ = 0;
    searches_ = 0;
    finished_ = true;
    ready_ = true;
    return 1;
}

void Planner::Reset() {
    finished_ = false;
    searches_ = 0;
    goal_ = kNoCell;
}

void Planner::Clear() {
    if (ready_) {
        open_.Clear();
        std::memset(static_cast<void*>(nodes_.get()), 0, size_t(params_.width) * params_.height * sizeof(NodeCell));
        reached_ = openCount_ = 0;
    }
    goal_ = kNoCell;
    finished_ = true;
}

float Planner::StepCost(uint32_t cell) const {
    const double v = params_.map[cell];
    if (!(v > 0.0)) return kBlockedCost;
    return RawCost(v) / top_ + 1.0f;
}

double Planner::PathCost() const { return goal_ != kNoCell ? nodes_.get()[goal_].g : -1.0; }

uint32_t Planner::ParentOf(uint32_t cell) const {
    if (!ready_ || cell >= uint64_t(params_.width) * params_.height) return kNoCell;
    const uint32_t word = nodes_.get()[cell].word;
    const uint32_t direction = word & kDirectionMask;
    if ((word & kReached) == 0 || direction == kNoDirection) return kNoCell;
    uint32_t x, y;
    CellOf(cell, x, y);
    return (y - kStepY[direction]) * params_.width + (x - kStepX[direction]);
}

uint32_t Planner::PathLength() const {
    // g rises along every parent link, so the chain ends; the bound is a guard only.
    const uint64_t most = uint64_t(params_.width) * params_.height;
    uint32_t count = 0;
    for (uint32_t c = goal_; c != kNoCell && count < most; c = ParentOf(c)) ++count;
    return count;
}

void Planner::CellOf(uint32_t cell, uint32_t& x, uint32_t& y) const {
    x = cell % params_.width;
    y = cell / params_.width;
}

float Planner::CostAt(uint32_t x, uint32_t y) const {
    if (!ready_ || x >= params_.width || y >= params_.height) return kBlockedCost;
    return StepCost(y * params_.width + x);
}

size_t Planner::StorageBytes() const {
    if (!ready_) return 0;
    return size_t(params_.width) * params_.height * sizeof(NodeCell) + open_.Bytes();
}

// ---- AStarPlanner

void AStarPlanner::Reset() {
    if (ready_ && reached_ != 0) Clear(); // a second Reset starts over
    Planner::Reset();
    if (!ready_ || reachLimit_ == 0 || openLimit_ == 0) return;
    const uint32_t start = uint32_t(params_.startY) * params_.width + uint32_t(params_.startX);
    if (!open_.Push(0.0f, start, 0.0f)) return;
    // No step ever enters the start again (any step costs more than its g of 0), so its cost,
    // which a blocked start would not even have, is never used: it is left at 1.
    nodes_.get()[start] = NodeCell{0.0f, kReached | kOpen | kNoDirection};
    reached_ = openCount_ = 1;
}

// One search's working state: copies of the planner's members, which the compiler keeps in
// registers across the stores into the nodes and the open list (every step below is inlined
// into the loop of Search), and the steps of the loop.
struct AStarPlanner::Run {
    explicit Run(AStarPlanner& planner)
        : diagonal(planner.params_.diagonalFactor ? kDiagonalStep : 1.0f),
          diagonals(planner.params_.allowDiagonal != 0),
          w(planner.params_.width),
          h(planner.params_.height),
          n(w * h),
          goalX(planner.params_.goalX),
          goalY(planner.params_.goalY),
          goal(uint32_t(goalY) * w + uint32_t(goalX)),
          weight(planner.params_.weight),
          top(planner.top_),
          map(planner.params_.map),
          reachLimit(planner.reachLimit_),
          openLimit(planner.openLimit_),
          reached(planner.reached_),
          openCount(planner.openCount_),
          nodes(planner.nodes_.get()),
          open(planner.open_) {}

    // The entry now on top is likely the next one out: start fetching its node and the rows
    // above and below it, so that those cache misses overlap with this node's work.
    [[gnu::always_inline]] void PrefetchNext() const {
        if (open.Empty()) return;
        const uint32_t next = open.TopCell();
        const uint32_t above = next >= w ? next - w : next;
        const uint32_t below = next < n - w ? next + w : next;
        __builtin_prefetch(nodes + next);
        __builtin_prefetch(nodes + above);
        __builtin_prefetch(nodes + below);
        __builtin_prefetch(map + above);
        __builtin_prefetch(map + below);
    }

    // Closes the node of a popped entry; false when a cheaper entry has superseded it.
    [[gnu::always_inline]] bool Close(const OpenList::Entry& e) {
        NodeCell& node = nodes[e.cell];
        if (e.g != node.g || (node.word & kOpen) == 0) return false;
        node.word &= ~kOpen;
        --openCount;
        return true;
    }

    // Relaxes the step from a node of path cost fromG to (nx, ny): a cell reached before gets a
    // new entry only when the step makes it cheaper; a new cell counts against the reach limit.
    [[gnu::always_inline]] void Visit(float fromG, uint32_t nx, uint32_t ny, float step, uint32_t direction) {
        const uint32_t cell = ny * w + nx;
        NodeCell& node = nodes[cell];
        const uint32_t word = node.word;
        float cost;
        if (word & kReached) {
            cost = CostFromCode(word >> 8);
        } else {
            if (word & kBlocked) return;
            const double v = map[cell];
            if (!(v > 0.0)) {
                node.word = kBlocked;
                return;
            }
            if (reached >= reachLimit) return;
            cost = RawCost(v) / top + 1.0f;
        }
        const float g = cost * step + fromG;
        if ((word & kReached) && g >= node.g) return;
        const bool isOpen = (word & kOpen) != 0;
        if (!isOpen && openCount >= openLimit) return; // refused, as a full open list refuses
        const int64_t dx = goalX - nx, dy = goalY - ny;
        const float hd = static_cast<float>((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy));
        const float f = (hd - g) * weight + g;
        if (!open.Push(f, cell, g)) return;
        reached += (word & kReached) == 0;
        openCount += !isOpen;
        node = NodeCell{g, CodeOfCost(cost) << 8 | kReached | kOpen | direction};
    }

    // Visits the neighbours of a closed node in the neighbour order.
    [[gnu::always_inline]] void Expand(uint32_t cell, float g) {
        const uint32_t x = cell % w, y = cell / w;
        const bool left = x > 0, right = x + 1 < w, up = y > 0, down = y + 1 < h;
        if (diagonals && up && left) Visit(g, x - 1, y - 1, diagonal, 0);
        if (up) Visit(g, x, y - 1, 1.0f, 1);
        if (diagonals && up && right) Visit(g, x + 1, y - 1, diagonal, 2);
        if (right) Visit(g, x + 1, y, 1.0f, 3);
        if (left) Visit(g, x - 1, y, 1.0f, 4);
        if (diagonals && down && left) Visit(g, x - 1, y + 1, diagonal, 5);
        if (down) Visit(g, x, y + 1, 1.0f, 6);
        if (diagonals && down && right) Visit(g, x + 1, y + 1, diagonal, 7);
    }

    const float diagonal;         // cost factor of a diagonal step
    const bool diagonals;         // the four diagonal neighbours are considered
    const uint32_t w, h, n;       // map size in cells, and their count
    const int64_t goalX, goalY;   // goal cell
    const uint32_t goal;          // its index
    const float weight, top;      // heuristic weight; the largest map value as a float
    const double* const map;
    const uint32_t reachLimit, openLimit;
    uint32_t reached, openCount;  // written back to the planner when the search ends
    NodeCell* const nodes;
    OpenList& open;
};

void AStarPlanner::Search() {
    ++searches_;
    if (!ready_) {
        finished_ = true;
        return;
    }
    Run run(*this);
    while (!open_.Empty()) {
        const OpenList::Entry e = open_.Pop();
        run.PrefetchNext();
        if (!run.Close(e)) continue;
        if (e.cell == run.goal) {
            goal_ = run.goal;
            break;
        }
        run.Expand(e.cell, e.g);
    }
    reached_ = run.reached;
    openCount_ = run.openCount;
    finished_ = true;
}
