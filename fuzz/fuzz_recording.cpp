// Fuzzes input recordings: the header and every record checked as a replay loads them, then
// every sample handed out frame by frame as a replay reads them.
#include <cstdint>
#include <string>
#include <vector>

#include "devices/recordformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxr::RecordReader reader;
    std::string why;
    if (!reader.Parse(std::vector<uint8_t>(data, data + size), why)) return 0;
    do {
        for (;;) {
            uint32_t ticks;
            uint8_t found;
            bool took = reader.Ticks(ticks);
            for (uint8_t tag = vxr::kTicks + 1; tag < vxr::kTagEnd && !took; ++tag) {
                took = reader.Take(tag, tag, found) != nullptr;
            }
            if (!took) break;
        }
    } while (reader.EndFrame());
    return 0;
}
