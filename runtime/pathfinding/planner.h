// The best-first grid planner behind FindPath: search parameters, nodes, the node pool, the
// open list and the planner classes. Internal to runtime/pathfinding (tests use it directly).
//
// Design note. Every cell has at most one node, so the pool is one block with the node of cell
// (x, y) at index y * width + x: finding "the node of this cell" is an index, never a scan, and
// a node's `slot` says whether it is unseen, open (its position in the open list) or closed.
// The open list is a binary heap ordered by (f, insertion stamp): the lowest f comes first and,
// among equal f, the node inserted earliest. That is exactly the order in which a list kept
// sorted by decreasing f, with each new node placed in front of its equals and pops taken from
// the back, hands its nodes out, so the paths are the same while every operation is O(log n).
// See docs/pathfinding.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Search parameters, copied into the planner by Setup.
struct PlannerParams {
    int32_t startX = 0;          // start cell
    int32_t startY = 0;
    int32_t goalX = 0;           // goal cell
    int32_t goalY = 0;
    uint8_t diagonalFactor = 1;  // nonzero: a diagonal step costs the cell cost times 1.4142137
    uint8_t allowDiagonal = 0;   // nonzero: the four diagonal neighbours are considered
    uint32_t poolSize = 0;       // most nodes the search may take; 0 = width * height
    uint32_t openSize = 0;       // capacity of the open list; 0 = width * height
    float weight = 0.5f;         // heuristic weight, clamped to 0..1 (NaN counts as 0)
    uint32_t width = 0;          // map size in cells
    uint32_t height = 0;
    const double* map = nullptr; // width * height values, x fastest; read only by Setup
};

// One search node; the pool holds one per cell, its cell is its index in the pool.
struct Node {
    Node* parent;  // predecessor on the best path known; null for the start
    float f;       // ordering key of the open list
    float g;       // path cost from the start
    uint32_t slot; // kUnseen, kClosed, or kFirstOpenSlot + position in the open list
};

// Slot values. Unseen is 0, so a pool fresh from zeroed memory needs no pass to set it up, and
// the pages of cells a search never reaches are never touched.
constexpr uint32_t kUnseen = 0;        // never reached, or given back
constexpr uint32_t kClosed = 1;        // expanded
constexpr uint32_t kFirstOpenSlot = 2; // open: slot - kFirstOpenSlot is the heap position

// The node pool: one block with a node per cell, taken and given back by count.
class NodeFactory {
public:
    bool Reserve(uint32_t cells, uint32_t limit); // all nodes unseen, none in use; false when memory is short
    Node* Take(uint32_t cell);     // the cell's node, counted in use; null when `limit` nodes are in use
    void GiveBack() { --inUse_; }  // one node fewer in use
    void GiveBackAll();            // every node unseen, none in use
    Node* At(uint32_t cell) { return nodes_.get() + cell; }
    bool IsOpen(const Node* node) const { return node->slot >= kFirstOpenSlot; }
    uint32_t CellOf(const Node* node) const { return static_cast<uint32_t>(node - nodes_.get()); }
    uint32_t InUse() const { return inUse_; }
    size_t Bytes() const { return size_t(cells_) * sizeof(Node); }

private:
    struct Release {
        void operator()(Node* p) const;
    };
    std::unique_ptr<Node, Release> nodes_; // zeroed block of cells_ nodes
    uint32_t cells_ = 0;
    uint32_t limit_ = 0;
    uint32_t inUse_ = 0;
};

// The open list: a binary heap on (f, insertion stamp) over nodes of one pool, keeping each
// open node's `slot` on its heap position.
class OpenList {
public:
    bool Reserve(uint32_t capacity, NodeFactory* pool); // empty; false when memory is short
    bool Insert(Node* node);       // key node->f with a new stamp; false (refused) when full
    void Reinsert(Node* node);     // an open node whose f changed: new key, new stamp
    Node* PopBack();               // the lowest (f, stamp), slot left to the caller; null when empty
    void Clear();                  // empty, every listed node's slot set to kUnseen
    uint32_t Size() const { return size_; }
    size_t Bytes() const { return size_t(capacity_) * sizeof(Entry); }

private:
    struct Entry {
        uint64_t stamp; // insertion order; the earlier stamp wins among equal f
        float f;
        uint32_t cell;
    };
    static bool Before(const Entry& a, const Entry& b) {
        return a.f < b.f || (a.f == b.f && a.stamp < b.stamp);
    }
    void Place(uint32_t pos, const Entry& e);
    void SiftUp(uint32_t pos, Entry e);
    void SiftDown(uint32_t pos, Entry e);

    std::unique_ptr<Entry[]> heap_;
    NodeFactory* pool_ = nullptr;
    uint32_t capacity_ = 0;
    uint32_t size_ = 0;
    uint64_t nextStamp_ = 0;
};

// A planner lives for one search: Setup, Reset, Search, then read the goal node's chain.
class Planner {
public:
    Planner() = default;
    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;
    virtual ~Planner() = default;

    virtual void Reset();          // finished flag, search counter and goal cleared
    virtual void Search() = 0;     // runs until the goal is reached or the open list is empty
    virtual void Clear();          // open list and closed set given back to the pool, goal cleared, finished

    int Setup(const PlannerParams& params); // 1 ready; 0 refused (start/goal outside or equal, no positive cell, no memory)
    double PathCost() const;       // g of the goal node; -1 when none
    uint32_t PathLength() const;   // nodes from the goal back to the start; 0 when none
    uint32_t OpenCount() const { return open_.Size(); }
    const Node* Goal() const { return goal_; }
    bool Finished() const { return finished_; }
    uint32_t SearchCount() const { return searches_; }
    void CellOf(const Node* node, uint32_t& x, uint32_t& y) const; // the node's cell
    float CostAt(uint32_t x, uint32_t y) const; // scaled cost of a cell; -1 blocked, outside the map or before Setup
    size_t StorageBytes() const;   // bytes held by the pool, the cost map and the open list

protected:
    bool ready_ = false;           // Setup succeeded: pool, cost map and open list exist
    bool finished_ = false;
    NodeFactory pool_;
    PlannerParams params_;
    std::unique_ptr<float[]> costs_; // width * height; -1 blocked, else in (1, 2]
    uint32_t searches_ = 0;
    OpenList open_;
    Node* goal_ = nullptr;
};

// Best-first search with key f = (h - g) * weight + g, h the Manhattan distance to the goal.
class AStarPlanner : public Planner {
public:
    void Reset() override;         // base Reset, then the start node (g 0) on the open list
    void Search() override;

private:
    void Visit(Node* current, uint32_t nx, uint32_t ny, float step);
};
