// Process entry: joins the program's arguments into the runtime's command line, reads the launch
// options from them (the joined text is replaced by the setup) and hands over to the application
// setup, which never returns.
#include "app.h"

int main(int argc, char** argv) {
    JoinArguments(argc, argv, gSettings.commandLine);
    gLaunch = ReadLaunchOptions(argc, argv);
    AppSetup(0, nullptr, "Test", nullptr);
}
