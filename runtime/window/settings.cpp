// The application settings.
#include "voxa/window.h"

AppSettings gSettings;

void GetScreenSize(double& w, double& h) {
    w = gSettings.screenWidth;
    h = gSettings.screenHeight;
}
