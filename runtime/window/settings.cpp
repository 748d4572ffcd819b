// The application settings.
#include "window/settings.h"

AppSettings gSettings;

void GetScreenSize(double& w, double& h) {
    w = gSettings.screenWidth;
    h = gSettings.screenHeight;
}
