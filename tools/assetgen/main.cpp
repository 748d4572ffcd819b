// assetgen: writes every file the game loads, and its music, into one directory.
//   assetgen <directory>              every file
//   assetgen <directory> <name>...    only the named files
#include <cstdio>
#include <exception>

#include "assetgen.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: assetgen <output directory> [file name...]\n");
        return 2;
    }
    try {
        if (argc == 2) {
            assetgen::GenerateAll(argv[1]);
        } else {
            for (int i = 2; i < argc; ++i) assetgen::GenerateOne(argv[1], argv[i]);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
