// Grid pathfinding: A* over a cost map held in a DynArray.
#pragma once

#include "voxa/dynarray.h"

// ---- Path search
// map(x, y) is the cost of entering cell (x, y); a value <= 0 blocks the cell. Costs are scaled
// to (1, 2] by the largest value, steps go to the four straight neighbours only. weight (clamped
// to 0..1) blends path cost and Manhattan distance: 0 cheapest path, 0.5 A*, 1 greedy.
double FindPath(DynArray& map, DynArray& result, double weight, double startX, double startY, double goalX, double goalY); // cells in the path, result (count, 2) of x, y from start to goal; 0 with result emptied when there is no path, start equals goal, either is outside the map or no cell is positive
