// voxamodel: the command line for converting models into .ddd files and describing them.
//
//   voxamodel import IN OUT.ddd [--scale S] [--center] [--frames N --fps F] [--text]
//   voxamodel info FILE
//
// Exit status 0 on success, 1 when a file is refused (with a message), 2 for a bad command line.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "voxamodel.h"

namespace {

// A damaged file can make the importer ask for memory by counts it never checked against the
// file. Single requests beyond 2 GiB fail (memory.cpp); the address space as a whole is capped
// too, to 4 GiB or a quarter of the machine's memory, so that many smaller requests fail as
// well and are reported as a file that cannot be read, instead of the system running out of
// memory. (AddressSanitizer builds reserve a huge shadow space and keep only the first cap.)
void LimitMemory() {
#if !defined(__SANITIZE_ADDRESS__)
    const uint64_t physical = uint64_t(sysconf(_SC_PHYS_PAGES)) * uint64_t(sysconf(_SC_PAGESIZE));
    const uint64_t cap = std::min(uint64_t(4) << 30, physical / 4);
    rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) != 0 || cap == 0) return;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > cap) limit.rlim_cur = rlim_t(cap);
    setrlimit(RLIMIT_AS, &limit);
#endif
}

int Usage() {
    std::fprintf(stderr,
                 "usage: voxamodel import IN OUT.ddd [--scale S] [--center] [--frames N --fps F] [--text]\n"
                 "       voxamodel info FILE\n"
                 "import reads any format the Open Asset Import Library reads (OBJ+MTL, glTF/GLB, FBX,\n"
                 "COLLADA, PLY, STL, 3DS, ...) and writes a .ddd model for LoadObject, and the first\n"
                 "material's texture beside it as OUT.bmp for LoadSprite. An animated source gives one\n"
                 "frame per step: N frames (default: its whole first animation) at F per second (25).\n"
                 "--scale multiplies every coordinate, --center moves the bounding box's centre to the\n"
                 "origin, --text writes the text encoding. info tells what a .ddd or source file holds.\n");
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "voxamodel: %s\n", error.c_str());
    return 1;
}

// A number argument: finite and within lo..hi.
bool Number(const char* text, double lo, double hi, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out) && out >= lo && out <= hi;
}

int Import(int argc, char** argv) {
    if (argc < 2) return Usage();
    voxamodel::ImportOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        double value = 0;
        if (flag == "--center") {
            options.center = true;
        } else if (flag == "--text") {
            options.text = true;
        } else if (flag == "--scale" && hasValue && Number(argv[i + 1], 1e-9, 1e9, value)) {
            options.scale = value, ++i;
        } else if (flag == "--frames" && hasValue && Number(argv[i + 1], 1, voxamodel::kMaxFrames, value) &&
                   value == std::floor(value)) {
            options.frames = int(value), ++i;
        } else if (flag == "--fps" && hasValue && Number(argv[i + 1], 1e-3, 1000, value)) {
            options.fps = value, ++i;
        } else {
            std::fprintf(stderr, "voxamodel: bad option %s (--scale 1e-9..1e9, --frames 1..%d, --fps 0.001..1000)\n",
                         argv[i], voxamodel::kMaxFrames);
            return Usage();
        }
    }
    voxamodel::SampledModel model;
    std::string error;
    if (!voxamodel::ImportModel(argv[0], options, model, error)) return Fail(error);
    std::vector<std::string> written;
    if (!voxamodel::WriteModelFiles(model, argv[1], options.text, written, error)) return Fail(error);
    const size_t triangles = model.triangles.size() / 3, frames = model.positions.size();
    std::printf("%s: %zu triangle%s, %zu frame%s\n", argv[1], triangles, triangles == 1 ? "" : "s", frames,
                frames == 1 ? "" : "s");
    if (!model.animation.empty()) std::printf("  animation %s\n", model.animation.c_str());
    if (written.size() > 1)
        std::printf("%s: texture from %s (load it with LoadSprite and draw with SetTexture)\n", written[1].c_str(),
                    model.texture.source.c_str());
    for (const std::string& note : model.notes) std::printf("  note: %s\n", note.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    LimitMemory();
    const std::string command = argv[1];
    if (command == "import") return Import(argc - 2, argv + 2);
    if (command == "info" && argc == 3) {
        std::string report, error;
        if (!voxamodel::DescribeFile(argv[2], report, error)) return Fail(error);
        std::fputs(report.c_str(), stdout);
        return 0;
    }
    return Usage();
}
