// Fuzzes the INI reader: the input is the INI file; a few lookups follow, then a change and
// the write-back, which is read again (a written file must read back without harm).
#include <cstdint>
#include <string>

#include "files/files_local.h"
#include "fuzz_util.h"
#include "voxa/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::PrivateErrorLog();
    static const std::string path = fuzz::ScratchPath("file.ini");
    static const std::string other = fuzz::ScratchPath("other.ini");
    DiscardFileObjectsForTesting();
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    IniOpen(path.c_str());
    IniGet("a", "b");
    IniGet("", "");
    IniGet("section", "key");
    IniPut("fuzz", "key", "value");
    IniOpen(other.c_str()); // writes the changed file back
    IniOpen(path.c_str());
    IniGet("fuzz", "key");
    DiscardFileObjectsForTesting();
    return 0;
}
