// Process entry: joins the program's arguments into the runtime's command line and hands over
// to the application setup, which never returns.
#include "app.h"

int main(int argc, char** argv) {
    JoinArguments(argc, argv, gSettings.commandLine);
    AppSetup(0, nullptr, "Test", nullptr);
}
