// The menu state's pages (title, options, controls), their glowing rows and cursors, and the
// music key, which works in both states.
#include <algorithm>
#include "draw.h"
#include "game.h"

namespace {

// The subtitle spells out the title, one word per capital; the last word holds its capital
// inside it.
void DrawTitle() {
    SetFont(0);
    PrintText("VOXA", 255, gGame.titleY + 30);
    const char* capitals[] = {"V", "O", "X", "A"};
    const double capitalX[] = {10, 160, 310, 450};
    for (int k = 0; k < 4; ++k) PrintText(capitals[k], gGame.titleX + capitalX[k], gGame.titleY + 100);
    SetFont(1);
    const char* fragments[] = {"elvet", "rbit", "press", "T", "ble"};
    const double fragmentX[] = {28, 182, 330, 440, 480};
    for (int k = 0; k < 5; ++k) PrintText(fragments[k], gGame.titleX + fragmentX[k], gGame.titleY + 114);
    PrintText("VOXA  -  a table shooting game on its own runtime", 120, 460);
}

// Rows of a page with the glow of the selected one and an arrow beside it.
void DrawRows(const char* const (&labels)[3], double top, double spacing, double cursor,
              double arrow, double arrowX) {
    for (int row = 0; row < 3; ++row) {
        double y = top + row * spacing;
        SetAlphaMode(MenuGlow(row, cursor));
        PrintText(labels[row], 235, y);
        if (MenuGlow(row, cursor) != 0) DrawSprite(arrow, arrowX, y);
    }
    SetAlphaMode(0);
}

void DrawOptions() {
    SetFont(0);
    PrintText("OPTIONS", 200, 40);
    SetFont(2);
    static const char* const rows[3] = {"10 Balls", "20 Balls", "30 Balls"};
    DrawRows(rows, 280, 40, gGameArrays.menuCursor.At(1), 1003, 190);
    gGame.ballsPerGame = 10 + MenuCursor(1) * 10;
}

void DrawControls() {
    static const char* const lines[10] = {
        "space       :  shoot",
        "A           :  left base",
        "S           :  middle base",
        "D           :  right base",
        "up arrow    :  center pointer",
        "left arrow  :  move pointer left",
        "right arrow :  move pointer right",
        "down arrow  :  reset ball",
        "R           :  reset game",
        "M           :  music on/off",
    };
    gGame.controlsTop = 86;
    gGame.controlsSpacing = 40;
    gGame.controlsX = 10;
    SetFont(0);
    PrintText("CONTROLS", 180, 10);
    DrawSprite(1003, 140, 20);
    SetFont(2);
    for (int k = 0; k < 10; ++k) PrintText(lines[k], gGame.controlsX, gGame.controlsTop + k * gGame.controlsSpacing);
}

void MoveCursor(double menu, double by) {
    PlaySound(1, 0, 1);
    // The cursor is clamped after the moves of a call, so a second move in one call starts from
    // beyond the rows (a down and an up released together): the row dimmed is the nearest one.
    double& cursor = gGameArrays.menuCursor.At(menu);
    gGameArrays.menuGlow.At(std::clamp(cursor, 0.0, 2.0)) = 0;
    cursor += by;
    gGameArrays.menuKeyPending.At(menu) = 0;
}

} // namespace

void DrawMenus() {
    DrawSprite(99, 0, 0);
    if (gGame.subMenuOpen == 0) {
        DrawTitle();
        SetFont(2);
        static const char* const rows[3] = {"START", "OPTIONS", "CONTROLS"};
        DrawRows(rows, 300, 40, gGameArrays.menuCursor.At(0), 1002, 410);
        MenuCursor(0);
        if (KeyDown(KEY_RIGHT) == 1 && gGameArrays.menuCursor.At(0) == 0) {
            PlaySound(0, 0, 1);
            gGame.gameState = 1;
            return;
        }
    }
    if (KeyDown(KEY_RIGHT) == 1) {
        PlaySound(0, 0, 1);
        gGame.subMenuOpen = 1;
    }
    if (KeyDown(KEY_LEFT) == 1) {
        PlaySound(0, 0, 1);
        gGame.subMenuOpen = 0;
    }
    if (gGameArrays.menuCursor.At(0) == 1 && gGame.subMenuOpen == 1) DrawOptions();
    if (gGameArrays.menuCursor.At(0) == 2 && gGame.subMenuOpen == 1) DrawControls();
}

double MenuGlow(double row, double cursor) {
    double& glow = gGameArrays.menuGlow.At(row);
    double& rising = gGameArrays.menuGlowRising.At(row);
    if (row != cursor) {
        glow = 0;
        return glow;
    }
    if (glow <= 0.3) rising = 1;
    if (rising == 1) glow += 0.05;
    if (rising == 0) glow -= 0.05;
    if (glow >= 1.0) rising = 0;
    return glow;
}

double MenuCursor(double menu) {
    if (KeyDown(KEY_DOWN) == 1) gGameArrays.menuKeyPending.At(menu) = 1;
    if (KeyDown(KEY_DOWN) == 0 && gGameArrays.menuKeyPending.At(menu) == 1) MoveCursor(menu, 1);
    if (KeyDown(KEY_UP) == 1) gGameArrays.menuKeyPending.At(menu) = -1;
    if (KeyDown(KEY_UP) == 0 && gGameArrays.menuKeyPending.At(menu) == -1) MoveCursor(menu, -1);
    double& cursor = gGameArrays.menuCursor.At(menu);
    if (cursor <= 0) cursor = 0;
    if (cursor >= 2) cursor = 2;
    return cursor;
}

void ToggleMusic() {
    if (KeyDown(KEY_M) == 1 && gGame.musicState == 0 && gGame.musicKeyLock == 0) {
        gGame.musicKeyLatch = 1;
        gGame.musicState = 1;
    }
    if (KeyDown(KEY_M) == 0 && gGame.musicKeyLatch == 1) {
        gGame.musicKeyLatch = 0;
        gGame.musicState = 2;
        gGame.musicKeyLock = 1;
        PlayMusic("voxa1.mp3");
    }
    if (KeyDown(KEY_M) == 1 && gGame.musicState == 2) {
        gGame.musicState = 0;
        StopMusic();
    }
    if (KeyDown(KEY_M) == 0 && gGame.musicState == 0) gGame.musicKeyLock = 0;
}
