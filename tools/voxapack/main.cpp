// voxapack: the command line for building, listing and extracting pack archives.
//
//   voxapack create PACK [-C DIR] FILE...   entries named as FILE is given (relative to DIR)
//   voxapack list PACK                      name, unpacked and stored size of every entry
//   voxapack extract PACK [DIR]             every entry below DIR (default: the current one)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "packtool.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: voxapack create PACK [-C DIR] FILE...\n"
                 "       voxapack list PACK\n"
                 "       voxapack extract PACK [DIR]\n"
                 "Entries are stored under the names given; a program finds them with FindFile by\n"
                 "that name or any path ending in it. -C DIR reads the files from DIR.\n");
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "voxapack: %s\n", error.c_str());
    return 1;
}

int Create(const std::string& pack, int argc, char** argv) {
    std::string base;
    std::vector<PackSource> sources;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-C") == 0) {
            if (i + 1 >= argc) return Usage();
            base = std::string(argv[++i]) + "/";
            continue;
        }
        sources.push_back({argv[i], base + argv[i]});
    }
    if (sources.empty()) return Usage();
    std::string error;
    if (!CreatePack(pack, sources, error)) return Fail(error);
    return 0;
}

int List(const std::string& pack) {
    std::vector<PackListing> entries;
    std::string error;
    if (!ListPack(pack, entries, error)) return Fail(error);
    for (const PackListing& e : entries) std::printf("%10u %10u  %s\n", e.unpackedSize, e.storedSize, e.name.c_str());
    return 0;
}

int Extract(const std::string& pack, const std::string& dir) {
    std::vector<std::string> written;
    std::string error;
    bool ok = ExtractPack(pack, dir, written, error);
    for (const std::string& w : written) std::printf("%s\n", w.c_str());
    return ok ? 0 : Fail(error);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1], pack = argv[2];
    if (command == "create") return Create(pack, argc - 3, argv + 3);
    if (command == "list" && argc == 3) return List(pack);
    if (command == "extract" && argc <= 4) return Extract(pack, argc == 4 ? argv[3] : ".");
    return Usage();
}
