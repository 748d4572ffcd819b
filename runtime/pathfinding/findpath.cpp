// FindPath: one planner per call over the map's first two dimensions, the path copied into the
// result array from start to goal.
#include <cstdint>

#include "pathfinding/planner.h"
#include "voxa/pathfinding.h"

namespace {

// Truncates a coordinate toward zero; false when it does not fit a 32-bit cell index (or NaN).
bool ToCoordinate(double v, int32_t& out) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
    out = static_cast<int32_t>(v);
    return true;
}

float ToWeight(double w) {
    if (!(w > 0.0)) return 0.0f; // below 0 and NaN
    return w >= 1.0 ? 1.0f : static_cast<float>(w);
}

// The map's width and height, or false when its storage does not hold width * height elements
// (never dimensioned, or emptied).
bool MapShape(const DynArray& map, uint32_t& width, uint32_t& height) {
    width = static_cast<uint32_t>(map.Bounds(0));
    height = static_cast<uint32_t>(map.Bounds(1));
    return map.Data() != nullptr && double(width) * double(height) <= double(map.Capacity());
}

} // namespace

double FindPath(DynArray& map, DynArray& result, double weight, double startX, double startY,
                double goalX, double goalY) {
    PlannerParams params;
    params.diagonalFactor = 1;
    params.allowDiagonal = 0;
    params.weight = ToWeight(weight);
    params.map = map.Data();
    const bool valid = MapShape(map, params.width, params.height) &&
                       ToCoordinate(startX, params.startX) && ToCoordinate(startY, params.startY) &&
                       ToCoordinate(goalX, params.goalX) && ToCoordinate(goalY, params.goalY);

    AStarPlanner planner;
    uint32_t count = 0;
    if (valid && planner.Setup(params)) {
        planner.Reset();
        planner.Search();
        count = planner.PathLength();
    }
    if (count == 0) {
        result.Dim(0);
        return 0;
    }
    // The map may be the result array itself: it is not read once the search has ended.
    result.Dim(count, 2);
    uint32_t cell = planner.GoalCell();
    for (uint32_t i = count; i-- > 0; cell = planner.ParentOf(cell)) {
        uint32_t x, y;
        planner.CellOf(cell, x, y);
        result.At(i, 0) = x;
        result.At(i, 1) = y;
    }
    return count;
}
