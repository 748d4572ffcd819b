// The node pool, the open list and the best-first grid planner.
//
// Costs: map values <= 0 (and NaN) block a cell; the others are stored as 32-bit floats (values
// beyond the float range as the largest float) and scaled by the largest one M to v / M + 1, so
// a step costs between 1 and 2. All path arithmetic is in 32-bit floats, in the order written
// below, because ties between keys decide which of two equal paths is returned.
#include "pathfinding/planner.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

constexpr float kDiagonalStep = 1.4142137f; // bits 0x3FB504F4
constexpr float kBlocked = -1.0f;

float ClampedWeight(float w) {
    if (!(w > 0.0f)) return 0.0f; // below 0 and NaN
    return std::min(w, 1.0f);
}

// The float cost of one map value before scaling: -1 for a blocked cell.
float RawCost(double v) {
    if (!(v > 0.0)) return kBlocked;
    if (v > double(FLT_MAX)) return FLT_MAX;
    return static_cast<float>(v);
}

} // namespace

// ---- NodeFactory

void NodeFactory::Release::operator()(Node* p) const { std::free(p); }

// calloc hands out zeroed memory (fresh pages from the system cost nothing until touched),
// which is an all-unseen pool: a null parent, f and g 0, slot kUnseen.
bool NodeFactory::Reserve(uint32_t cells, uint32_t limit) {
    nodes_.reset();
    cells_ = 0;
    inUse_ = 0;
    limit_ = 0;
    nodes_.reset(static_cast<Node*>(std::calloc(cells, sizeof(Node))));
    if (!nodes_) return false;
    cells_ = cells;
    limit_ = limit;
    return true;
}

Node* NodeFactory::Take(uint32_t cell) {
    if (inUse_ >= limit_) return nullptr;
    ++inUse_;
    return nodes_.get() + cell;
}

void NodeFactory::GiveBackAll() {
    std::fill(nodes_.get(), nodes_.get() + cells_, Node{nullptr, 0.0f, 0.0f, kUnseen});
    inUse_ = 0;
}

// ---- OpenList

bool OpenList::Reserve(uint32_t capacity, NodeFactory* pool) {
    heap_.reset(new (std::nothrow) Entry[capacity]);
    pool_ = pool;
    size_ = 0;
    nextStamp_ = 0;
    capacity_ = heap_ ? capacity : 0;
    return heap_ != nullptr;
}

void OpenList::Place(uint32_t pos, const Entry& e) {
    heap_[pos] = e;
    pool_->At(e.cell)->slot = pos + kFirstOpenSlot;
}

void OpenList::SiftUp(uint32_t pos, Entry e) {
    while (pos > 0) {
        uint32_t parent = (pos - 1) / 2;
        if (!Before(e, heap_[parent])) break;
        Place(pos, heap_[parent]);
        pos = parent;
    }
    Place(pos, e);
}

void OpenList::SiftDown(uint32_t pos, Entry e) {
    for (;;) {
        uint64_t child = uint64_t(pos) * 2 + 1;
        if (child >= size_) break;
        if (child + 1 < size_ && Before(heap_[child + 1], heap_[child])) ++child;
        if (!Before(heap_[child], e)) break;
        Place(pos, heap_[child]);
        pos = static_cast<uint32_t>(child);
    }
    Place(pos, e);
}

bool OpenList::Insert(Node* node) {
    if (size_ >= capacity_) return false;
    SiftUp(size_++, Entry{nextStamp_++, node->f, pool_->CellOf(node)});
    return true;
}

void OpenList::Reinsert(Node* node) {
    uint32_t pos = node->slot - kFirstOpenSlot;
    Entry e{nextStamp_++, node->f, pool_->CellOf(node)};
    if (pos > 0 && Before(e, heap_[(pos - 1) / 2])) {
        SiftUp(pos, e);
    } else {
        SiftDown(pos, e);
    }
}

Node* OpenList::PopBack() {
    if (size_ == 0) return nullptr;
    Node* top = pool_->At(heap_[0].cell);
    --size_;
    if (size_ > 0) SiftDown(0, heap_[size_]);
    top->slot = kUnseen;
    return top;
}

void OpenList::Clear() {
    for (uint32_t i = 0; i < size_; ++i) pool_->At(heap_[i].cell)->slot = kUnseen;
    size_ = 0;
}

// ---- Planner

int Planner::Setup(const PlannerParams& params) {
    ready_ = false;
    goal_ = nullptr;
    const uint64_t w = params.width, h = params.height;
    if (params.map == nullptr) return 0;
    if (params.startX < 0 || params.startY < 0 || params.goalX < 0 || params.goalY < 0) return 0;
    if (uint64_t(params.startX) >= w || uint64_t(params.goalX) >= w) return 0;
    if (uint64_t(params.startY) >= h || uint64_t(params.goalY) >= h) return 0;
    if (params.startX == params.goalX && params.startY == params.goalY) return 0;
    // Every open-list position plus kFirstOpenSlot must fit a slot.
    const uint64_t cells = w * h;
    if (cells > uint64_t(UINT32_MAX) - kFirstOpenSlot) return 0;
    const uint32_t n = static_cast<uint32_t>(cells);

    costs_.reset(new (std::nothrow) float[n]);
    if (!costs_) return 0;
    float top = 0.0f;
    for (uint32_t i = 0; i < n; ++i) {
        costs_[i] = RawCost(params.map[i]);
        top = std::max(top, costs_[i]);
    }
    if (!(top > 0.0f)) return 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (costs_[i] != kBlocked) costs_[i] = costs_[i] / top + 1.0f;
    }

    const uint32_t poolLimit = params.poolSize != 0 ? params.poolSize : n;
    const uint32_t openCapacity = params.openSize != 0 ? std::min(params.openSize, n) : n;
    if (!pool_.Reserve(n, poolLimit) || !open_.Reserve(openCapacity, &pool_)) return 0;
    params_ = params;
    params_.map = nullptr; // the map is not read after Setup
    params_.weight = ClampedWeight(params.weight);
    searches_ = 0;
    finished_ = true;
    ready_ = true;
    return 1;
}

void Planner::Reset() {
    finished_ = false;
    searches_ = 0;
    goal_ = nullptr;
}

void Planner::Clear() {
    if (ready_) {
        open_.Clear();
        pool_.GiveBackAll();
    }
    goal_ = nullptr;
    finished_ = true;
}

double Planner::PathCost() const { return goal_ ? goal_->g : -1.0; }

uint32_t Planner::PathLength() const {
    // g rises strictly along every parent link, so the chain ends; the bound is a guard only.
    const uint64_t most = uint64_t(params_.width) * params_.height;
    uint32_t count = 0;
    for (const Node* n = goal_; n != nullptr && count < most; n = n->parent) ++count;
    return count;
}

void Planner::CellOf(const Node* node, uint32_t& x, uint32_t& y) const {
    const uint32_t cell = pool_.CellOf(node);
    x = cell % params_.width;
    y = cell / params_.width;
}

float Planner::CostAt(uint32_t x, uint32_t y) const {
    if (!ready_ || x >= params_.width || y >= params_.height) return kBlocked;
    return costs_[size_t(y) * params_.width + x];
}

size_t Planner::StorageBytes() const {
    if (!ready_) return 0;
    return pool_.Bytes() + size_t(params_.width) * params_.height * sizeof(float) + open_.Bytes();
}

// ---- AStarPlanner

void AStarPlanner::Reset() {
    if (ready_ && pool_.InUse() != 0) Clear(); // a second Reset starts over
    Planner::Reset();
    if (!ready_) return;
    const uint32_t start = uint32_t(params_.startY) * params_.width + uint32_t(params_.startX);
    Node* node = pool_.Take(start);
    if (node == nullptr) return;
    *node = Node{nullptr, 0.0f, 0.0f, kUnseen};
    open_.Insert(node);
}

// Relaxes the step from `current` to (nx, ny): a closed node with a better cost is re-opened,
// an open one re-keyed, an unseen one taken from the pool.
void AStarPlanner::Visit(Node* current, uint32_t nx, uint32_t ny, float step) {
    const uint32_t cell = ny * params_.width + nx;
    const float cost = costs_[cell];
    if (cost == kBlocked) return;
    const float g = cost * step + current->g;
    const int64_t dx = int64_t(params_.goalX) - nx;
    const int64_t dy = int64_t(params_.goalY) - ny;
    const float h = static_cast<float>((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy));
    const float f = (h - g) * params_.weight + g;

    Node* node = pool_.At(cell);
    if (node->slot == kClosed) {
        if (g >= node->g) return;
        *node = Node{current, f, g, kUnseen};
        open_.Insert(node); // a refused insertion drops the node, as it would a new one
        return;
    }
    if (pool_.IsOpen(node)) {
        if (g >= node->g) return;
        node->parent = current;
        node->f = f;
        node->g = g;
        open_.Reinsert(node);
        return;
    }
    node = pool_.Take(cell);
    if (node == nullptr) return;
    *node = Node{current, f, g, kUnseen};
    open_.Insert(node);
}

void AStarPlanner::Search() {
    ++searches_;
    if (!ready_) {
        finished_ = true;
        return;
    }
    const float diagonal = params_.diagonalFactor ? kDiagonalStep : 1.0f;
    const bool diagonals = params_.allowDiagonal != 0;
    const uint32_t w = params_.width, h = params_.height;
    const uint32_t goalX = uint32_t(params_.goalX), goalY = uint32_t(params_.goalY);
    for (;;) {
        Node* current = open_.PopBack();
        if (current == nullptr) break;
        uint32_t x, y;
        CellOf(current, x, y);
        if (x == goalX && y == goalY) {
            current->slot = kClosed;
            goal_ = current;
            break;
        }
        const bool left = x > 0, right = x + 1 < w, up = y > 0, down = y + 1 < h;
        if (diagonals && up && left) Visit(current, x - 1, y - 1, diagonal);
        if (up) Visit(current, x, y - 1, 1.0f);
        if (diagonals && up && right) Visit(current, x + 1, y - 1, diagonal);
        if (right) Visit(current, x + 1, y, 1.0f);
        if (left) Visit(current, x - 1, y, 1.0f);
        if (diagonals && down && left) Visit(current, x - 1, y + 1, diagonal);
        if (down) Visit(current, x, y + 1, 1.0f);
        if (diagonals && down && right) Visit(current, x + 1, y + 1, diagonal);
        current->slot = kClosed;
    }
    finished_ = true;
}
