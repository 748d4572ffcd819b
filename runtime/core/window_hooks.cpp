// Start-up steps of the window and 2D renderer, until they exist.
#include "core/lifecycle.h"

bool StartWindow(int, int, int, int) { return false; }
void SetWindowFullscreen(bool) {}
void PresentStartFrame() {}
void ShowLoadingScreen() {}
