// Grid pathfinding: A* over a cost map held in a DynArray.
#pragma once
