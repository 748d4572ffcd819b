// The game's bitmaps: object textures, the back wall's height map, the title background, the
// menu arrows and the small images the game loads without drawing.
#pragma once

#include "image.h"

namespace assetgen {

// Table surface, 256 x 512. Column u covers x from +340 (left) to -340 (right), as the player
// sees the table; row v covers z from 900 (top) to -700 (bottom).
Image MakeTableTexture();
// Ball textures, 128 x 64 equirectangular: the player's ball, the striker, the target ball.
Image MakePlayerBallTexture();
Image MakeStrikerTexture();
Image MakeTargetBallTexture();
Image MakePointerTexture();      // 64 x 64, the aiming arrow
Image MakeBackWallTexture();     // 256 x 128, bricks; tiles in both directions
Image MakeBackWallHeightMap();   // 256 x 128, grey heights of the same bricks (white is high)
Image MakeRimTexture();          // 128 x 32, wood grain along u
Image MakeTubeTexture();         // 64 x 64, brass with rings across v
Image MakeSpikeTexture();        // 32 x 32, steel
Image MakeRodTexture();          // 32 x 64, chrome; also the sucker's texture
Image MakeStartScreen();         // 640 x 480, title and menu background with a colour-keyed window
Image MakeArrow(bool pointsRight);  // 32 x 16, on the colour key
Image MakeHighlight();           // 32 x 16
Image MakeDayIcon();             // 16 x 16
Image MakeMouseCursor();         // 16 x 16, on the colour key
Image MakeTestPattern();         // 8 x 8

// The transparent window of the start screen, in screen pixels: the idle table scene shows
// through it behind the menu rows.
struct WindowRect {
    int left, top, right, bottom;  // right and bottom exclusive
};
WindowRect StartScreenWindow();

}  // namespace assetgen
