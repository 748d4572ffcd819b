// The best-first grid planner behind FindPath: search parameters, the open list and the planner
// classes. Internal to runtime/pathfinding (tests use it directly).
//
// Design note. Every cell has at most one node, so the planner keeps one 8-byte node per cell:
// the path cost g, the cell's scaled cost (worked out from the map's value the first time the
// search tries the cell, so there is no cost map) and a state byte (reached, open, blocked, and
// the direction of the step from the parent). The nodes come zeroed, which is "never tried", so
// they need no set-up pass, and the pages of cells a search never tries are never touched.
//
// The open list is a 4-ary heap of entries ordered by (f, insertion stamp): the lowest f comes
// first and, among equal f, the entry inserted earliest. A node whose cost improves gets a new
// entry; the old one stays in the heap and is skipped when it comes out (its g is no longer the
// node's). That is exactly the order in which a list kept sorted by decreasing f, with each new
// or re-keyed node placed in front of its equals and pops taken from the back, hands its nodes
// out, so the paths are the same. See docs/pathfinding.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// Search parameters, copied into the planner by Setup.
struct PlannerParams {
    int32_t startX = 0;          // start cell
    int32_t startY = 0;
    int32_t goalX = 0;           // goal cell
    int32_t goalY = 0;
    uint8_t diagonalFactor = 1;  // nonzero: a diagonal step costs the cell cost times 1.4142137
    uint8_t allowDiagonal = 0;   // nonzero: the four diagonal neighbours are considered
    uint32_t poolSize = 0;       // most cells the search may reach; 0 = width * height
    uint32_t openSize = 0;       // most nodes open at once; 0 = width * height
    float weight = 0.5f;         // heuristic weight, clamped to 0..1 (NaN counts as 0)
    uint32_t width = 0;          // map size in cells
    uint32_t height = 0;
    const double* map = nullptr; // width * height values, x fastest; read by Setup and Search,
                                 // so it must stay unchanged until the search has ended
};

constexpr uint32_t kNoCell = UINT32_MAX;

// The open list: a min-heap of entries ordered by (f, stamp), where the stamp counts insertions,
// so among equal f the entry inserted first comes out first. Each node has kArity children,
// whose keys share one cache line; the keys and the rest of the entries are kept apart, so the
// walk down the heap reads only keys. It grows by doubling as entries come in, so its memory
// follows the search's frontier, not the map's size.
class OpenList {
public:
    struct Entry {
        uint64_t key; // f's bits (f >= 0, so they order as f does) above a 32-bit stamp
        uint32_t cell;
        float g;      // the cell's g when the entry was made
    };

    OpenList() = default;
    OpenList(const OpenList&) = delete;
    OpenList& operator=(const OpenList&) = delete;
    ~OpenList() { Release(); }

    bool Push(float f, uint32_t cell, float g); // false (nothing added) when memory is short
    Entry Pop();                   // the lowest (f, stamp); the list must not be empty
    bool Empty() const { return size_ == 0; }
    uint32_t TopCell() const { return items_[kRoot].cell; } // the cell of the lowest entry; the list must not be empty
    uint32_t Size() const { return size_; }
    void Clear() { size_ = 0; }
    void Release();                // empty, storage freed
    size_t Bytes() const { return size_t(capacity_) * (sizeof(uint64_t) + sizeof(Item)); }
    // Where the stamps continue. When they run out, the entries are renumbered from 0 in their
    // order; a test starts near the end to see that happen.
    void StartStampsAt(uint32_t stamp) { nextStamp_ = stamp; }

private:
    static constexpr uint32_t kArity = 4;
    // The root sits at index kRoot, so that the children of every node start at a multiple of
    // kArity: those of node i at kArity * (i - kRoot + 1), the parent of j at j / kArity + kRoot - 1.
    static constexpr uint32_t kRoot = kArity - 1;
    struct Item {
        uint32_t cell;
        float g;
    };
    bool Grow();
    void Renumber();
    void SiftUp(uint32_t hole, uint64_t key, Item item);

    uint64_t* keys_ = nullptr;     // 64-byte aligned; entries at kRoot .. kRoot + size - 1
    Item* items_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;        // entries, not counting the kRoot unused slots
    uint32_t nextStamp_ = 0;
};

// A planner lives for one search: Setup, Reset, Search, then read the path from the goal back.
class Planner {
public:
    Planner() = default;
    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;
    virtual ~Planner() = default;

    virtual void Reset();          // finished flag, search counter and goal cleared
    virtual void Search() = 0;     // runs until the goal is reached or the open list is empty
    virtual void Clear();          // every node given back (unreached), open list emptied, goal cleared, finished

    int Setup(const PlannerParams& params); // 1 ready; 0 refused (start/goal outside or equal, no positive cell, no memory)
    double PathCost() const;       // g of the goal node; -1 when none
    uint32_t PathLength() const;   // cells from the goal back to the start; 0 when none
    uint32_t OpenCount() const { return openCount_; }
    uint32_t GoalCell() const { return goal_; }    // y * width + x of the goal reached; kNoCell when none
    uint32_t ParentOf(uint32_t cell) const;        // the cell before `cell` on its best path; kNoCell for the start or an unreached cell
    bool Finished() const { return finished_; }
    uint32_t SearchCount() const { return searches_; }
    void CellOf(uint32_t cell, uint32_t& x, uint32_t& y) const; // x and y of a cell index
    float CostAt(uint32_t x, uint32_t y) const; // scaled cost of a cell; -1 blocked, outside the map or before Setup
    size_t StorageBytes() const;   // bytes held by the nodes and the open list

protected:
    // A cell's node, 8 bytes, zero until the search first tries the cell. The low byte of
    // `word` is the state: kReached, kOpen while the node has a live open-list entry, kBlocked
    // for a cell tried and found blocked, and in the low bits the direction of the step that
    // reached the node (an index into the neighbour order) or kNoDirection for the start. The
    // upper 24 bits keep the cell's scaled cost, a float in [1, 2], as its bits above those of
    // 1: every such float is 1 + m / 2^23 with m below 2^23, or 2.
    struct NodeCell {
        float g;       // path cost from the start; valid once reached
        uint32_t word; // state byte | cost bits << 8
    };
    static constexpr uint32_t kReached = 0x10;
    static constexpr uint32_t kOpen = 0x20;
    static constexpr uint32_t kBlocked = 0x40;
    static constexpr uint32_t kDirectionMask = 0x0F;
    static constexpr uint32_t kNoDirection = 0x0F;
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };

    float StepCost(uint32_t cell) const; // the scaled cost of entering a cell; -1 blocked

    bool ready_ = false;           // Setup succeeded: the nodes exist
    bool finished_ = false;
    PlannerParams params_;
    float top_ = 0;                // the largest map value as a float; costs are v / top + 1
    std::unique_ptr<NodeCell, Free> nodes_; // width * height, zeroed
    uint32_t reached_ = 0;         // cells reached so far (at most poolSize)
    uint32_t openCount_ = 0;       // cells with a live entry (at most openSize)
    uint32_t reachLimit_ = 0;
    uint32_t openLimit_ = 0;
    uint32_t searches_ = 0;
    OpenList open_;
    uint32_t goal_ = kNoCell;
};

// Best-first search with key f = (h - g) * weight + g, h the Manhattan distance to the goal.
class AStarPlanner : public Planner {
public:
    void Reset() override;         // base Reset, then the start node (g 0) on the open list
    void Search() override;

private:
    struct Run; // one search's working copies and the steps of its loop
};
