// The pack tool's work: building a pack archive from files, listing it and extracting it.
// Every function reports failure by its result and a message in error; none ends the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackSource {
    std::string name; // stored as given: the name the program will ask FindFile for
    std::string path; // the file whose bytes become the entry
};

struct PackListing {
    std::string name;
    uint32_t unpackedSize = 0; // as the entry's size field claims
    uint32_t storedSize = 0;   // bytes in the pack, size field included
};

// Compresses each source with LZO1X-999 and writes the pack through a temporary file beside
// packPath, renamed over it once complete. Refuses empty names, names over 255 bytes, two names
// equal without regard to case, packs of 2 GiB or more, and every name that ExtractPack would
// not write (absolute, a ".." part, a back slash, a name ending in a folder, or a name that is a
// folder of another entry), so every pack it makes extracts.
bool CreatePack(const std::string& packPath, const std::vector<PackSource>& sources, std::string& error);

// The directory of a pack in stored order.
bool ListPack(const std::string& packPath, std::vector<PackListing>& entries, std::string& error);

// Unpacks every entry below outDir under its stored name ("/" makes sub-directories). An entry
// whose name is absolute, holds a ".." component or a back slash, whose data lies outside the
// pack, or whose way down passes a symbolic link inside outDir is skipped and reported in error
// (the result is then false). Existing files are replaced by new ones, never written through.
bool ExtractPack(const std::string& packPath, const std::string& outDir, std::vector<std::string>& written,
                 std::string& error);
