// Application setup: the game's fixed settings, then the runtime and the game's main routine.
#include "app.h"

void JoinArguments(int argc, char** argv, DynString& commandLine) {
    for (int i = 0; i < argc; ++i) {
        commandLine.Append(argv[i]);
        commandLine.Append(" ");
    }
}

void ApplyAppSettings(const char* text) {
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    // The given text replaces the joined arguments: the runtime is started with "Test".
    gSettings.commandLine.Assign(text);
    gSettings.fullscreen = 1;
    gSettings.framesPerSecond = 60;
    gSettings.debugMode = 0;
    gSettings.grabInput = 0;
}

void AppSetup(int argc, char** argv, const char* text, char** envp) {
    ApplyAppSettings(text);
    RuntimeStart(argc, argv, gSettings.commandLine.GetBuffer(512), envp, "VOXA");
    gErrors.currentLine = 0.0;
    gErrors.errorCode = 0.0;
    gErrors.errorLine = 0.0;
    StartLaunchOptions();
    GameMain();
}
