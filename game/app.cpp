// Application setup: the game's fixed settings, then the runtime and the game's main routine.
#include "app.h"
#include "runtime.h"

void AppSetup(int argc, char** argv, const char* text, char** envp) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.commandLine.Assign(text);
    gSettings.fullscreen = 1;
    gSettings.framesPerSecond = 60;
    gSettings.debugMode = 0;
    gSettings.grabInput = 0;
    RuntimeStart(argc, argv, gSettings.commandLine.GetBuffer(512), envp, "VOXA");
    gErrors.currentLine = 0.0;
    gErrors.errorCode = 0.0;
    gErrors.errorLine = 0.0;
    GameMain();
}
