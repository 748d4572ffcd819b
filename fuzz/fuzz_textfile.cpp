// Fuzzes the text-file reader: the input is the file; every line is read as text and as a
// number, one is changed and the file written back and read again.
#include <cstdint>
#include <string>

#include "files/files_local.h"
#include "fuzz_util.h"
#include "voxa/dynstring.h"
#include "voxa/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrivateErrorLog();
    static const std::string path = fuzz::ScratchPath("file.txt");
    DiscardFileObjectsForTesting();
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    DynString file(path.c_str());
    DynString text;
    double number = 0;
    for (int line = -1; line <= 257; ++line) {
        ReadTextLine(file, line, text);
        ReadTextLine(file, line, number);
    }
    WriteTextLine(file, 3, text);
    WriteBackFileObjects();
    DiscardFileObjectsForTesting();
    ReadTextLine(file, 3, text);
    DiscardFileObjectsForTesting();
    return 0;
}
