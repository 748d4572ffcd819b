// Process entry: joins the program's arguments into the runtime's command line and hands over
// to the application setup, which never returns.
#include "app.h"
#include "runtime.h"

int main(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        gSettings.commandLine.Append(argv[i]);
        gSettings.commandLine.Append(" ");
    }
    AppSetup(0, nullptr, "Test", nullptr);
}
