// Fuzzes the pack archive: the directory walk over the whole input as a pack file, the unpack
// of every entry it lists, and the unpack of the raw input as one entry's stored bytes. The
// reader wants a regular file (it takes the size from the file system), so the input is
// written to a scratch file first.
#include <cstdint>
#include <cstdio>
#include <string>

#include "files/packfile.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UnpackedData raw;
    UnpackStored(data, size, raw);

    static const std::string path = fuzz::ScratchPath("file.pak");
    if (!fuzz::WriteScratch(path, data, size)) return 0;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    PackReader reader(f);
    if (reader.Start()) {
        PackEntryInfo entry;
        while (reader.Next(entry)) {
            reader.DataPosition(entry);
            UnpackedData out;
            reader.ReadEntry(entry, out);
        }
    }
    std::fclose(f);
    return 0;
}
