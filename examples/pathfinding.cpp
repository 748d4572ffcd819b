// FindPath on a grid: floor, mud and walls on a 32 x 24 map drawn as cells; the path from the
// start cell to the cell under the mouse is searched again whenever the mouse enters another cell.
//
//   pathfinding      (move the mouse; a click turns a cell into a wall or back; Escape quits)
//
// Mud costs four times what floor costs, so the path goes around it where that is cheaper. The
// program prints every search and every change of the map.
#include <cstdio>

#include "voxa/runtime.h"

constexpr int kWidth = 32, kHeight = 24, kCell = 20;  // cells, and pixels a cell
constexpr int kStartX = 2, kStartY = 12;
constexpr double kFloor = 1, kMud = 4, kWall = 0;     // the cost of entering a cell; 0 or less blocks it

// Three walls with a gap each, a mud pool in the middle and a pond of mud on the right.
static void MakeMap(DynArray& map) {
    map.Dim(kWidth, kHeight); // map(x, y), zero-filled
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            bool wall = (x == 8 && y < 18) || (x == 16 && y > 5) || (x == 24 && y != 3 && y != 20);
            bool mud = (x > 9 && x < 15 && y > 7 && y < 17) || (x > 26 && y > 8 && y < 15);
            map.At(x, y) = wall ? kWall : mud ? kMud : kFloor;
        }
    }
}

static void Cell(int x, int y, double colour) {
    DrawRect(x * kCell + 1, y * kCell + 1, x * kCell + kCell - 1, y * kCell + kCell - 1, colour);
}

int main() {
    gSettings.screenWidth = kWidth * kCell;
    gSettings.screenHeight = kHeight * kCell;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "FindPath on a grid");
    ShowMouse(1); // the system pointer: GetMouseState reports where it is

    DynArray map, path;
    MakeMap(map);
    int goalX = -1, goalY = -1, count = 0;
    bool pressed = false, changed = false;
    for (;;) {
        double mx, my, left, right;
        GetMouseState(mx, my, left, right);
        const int x = int(mx) / kCell, y = int(my) / kCell;
        if (left != 0 && !pressed && (x != kStartX || y != kStartY)) {
            map.At(x, y) = map.At(x, y) == kWall ? kFloor : kWall;
            std::printf("%s at %d, %d\n", map.At(x, y) == kWall ? "wall" : "floor", x, y);
            changed = true;
        }
        pressed = left != 0;
        if (x != goalX || y != goalY || changed) {
            // Weight 0.5: the cheapest path, searched toward the goal (A*). The result holds one
            // row per cell, x in column 0 and y in column 1, from the start to the goal.
            count = int(FindPath(map, path, 0.5, kStartX, kStartY, x, y));
            std::printf("path to %d, %d: %d cells\n", x, y, count);
            std::fflush(stdout);
            goalX = x, goalY = y, changed = false;
        }

        for (int cy = 0; cy < kHeight; ++cy)
            for (int cx = 0; cx < kWidth; ++cx)
                Cell(cx, cy, map.At(cx, cy) == kWall ? 0x808080 : map.At(cx, cy) == kMud ? 0x1A4A6A : 0x283020);
        for (int i = 1; i < count - 1; ++i) Cell(int(path.At(i, 0)), int(path.At(i, 1)), 0x30E0F0);
        Cell(kStartX, kStartY, 0x30C030);
        if (count > 0) Cell(goalX, goalY, 0x3030F0);
        ShowScreen();
    }
}
