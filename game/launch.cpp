// The game's launch options: input recording and replay, for bug reports and demos, and
// snapshots, for comparing a replay with its recording.
//
//   voxa --record run.vxr     records the run into run.vxr       (or VOXA_RECORD=run.vxr)
//   voxa --replay run.vxr     replays it                         (or VOXA_REPLAY=run.vxr)
//   voxa --snapshots DIR      at shown frames 1, 2, 4, 8, ... saves the frame as "frame-N.bmp"
//                             and the game's variables as "frame-N.txt" into DIR
//                                                                (or VOXA_SNAPSHOTS=DIR)
//
// Options on the command line win over the environment; a replay wins over a recording. The
// runtime changes to the game's own directory at start-up, so relative paths are made absolute
// against the directory the game was started in before that.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "globals.h"

LaunchOptions gLaunch;

namespace {

uint64_t gShownFrames = 0;  // frames shown since GameMain began

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::vector<char> dir(4096);
    if (getcwd(dir.data(), dir.size()) == nullptr) return path;
    return std::string(dir.data()) + "/" + path;
}

void WriteValues(FILE* f, const char* name, const double* values, size_t count) {
    std::fprintf(f, "%s", name);
    for (size_t i = 0; i < count; ++i) std::fprintf(f, " %.17g", values[i]);
    std::fprintf(f, "\n");
}

// The game's variables as text: a summary line, every field of GameGlobals in order, then the
// arrays, one a line.
void WriteGameState(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return;
    std::fprintf(f, "gameState %g ballsPlayed %g score %g\n", gGame.gameState, gGame.ballsPlayed, gGame.score);
    static_assert(sizeof(GameGlobals) % sizeof(double) == 0, "GameGlobals holds doubles only");
    double globals[sizeof(GameGlobals) / sizeof(double)];
    std::memcpy(globals, &gGame, sizeof globals);
    WriteValues(f, "globals", globals, sizeof globals / sizeof globals[0]);
    const struct {
        const char* name;
        const DynArray& array;
    } arrays[] = {
        {"targetX", gGameArrays.targetX}, {"targetZ", gGameArrays.targetZ}, {"targetVX", gGameArrays.targetVX},
        {"targetVZ", gGameArrays.targetVZ}, {"menuGlow", gGameArrays.menuGlow},
        {"menuGlowRising", gGameArrays.menuGlowRising}, {"menuCursor", gGameArrays.menuCursor},
        {"menuKeyPending", gGameArrays.menuKeyPending}, {"spinAngle", gGameArrays.spinAngle},
        {"idleAngle", gGameArrays.idleAngle}, {"pulseScale", gGameArrays.pulseScale},
        {"tubeLaneX", gGameArrays.tubeLaneX}, {"pointerLaneX", gGameArrays.pointerLaneX},
    };
    for (const auto& a : arrays) WriteValues(f, a.name, a.array.Data(), size_t(a.array.Bounds(0)));
    std::fclose(f);
}

} // namespace

LaunchOptions ReadLaunchOptions(int argc, char** argv) {
    LaunchOptions options;
    const struct {
        const char* flag;
        const char* variable;
        std::string LaunchOptions::*field;
    } kinds[] = {
        {"--record", "VOXA_RECORD", &LaunchOptions::record},
        {"--replay", "VOXA_REPLAY", &LaunchOptions::replay},
        {"--snapshots", "VOXA_SNAPSHOTS", &LaunchOptions::snapshots},
    };
    for (const auto& kind : kinds) {
        if (const char* value = std::getenv(kind.variable)) options.*kind.field = value;
    }
    for (int i = 1; i < argc; ++i) {
        for (const auto& kind : kinds) {
            if (std::strcmp(argv[i], kind.flag) != 0) continue;
            if (i + 1 < argc) {
                options.*kind.field = argv[++i];
            } else {
                std::fprintf(stderr, "voxa: %s needs a name after it\n", kind.flag);
            }
            break;
        }
    }
    if (!options.replay.empty() && !options.record.empty()) {
        std::fprintf(stderr, "voxa: replaying %s; the recording is not made\n", options.replay.c_str());
        options.record.clear();
    }
    for (const auto& kind : kinds) options.*kind.field = Absolute(options.*kind.field);
    return options;
}

void StartLaunchOptions() {
    gShownFrames = 0;
    if (!gLaunch.replay.empty()) {
        PlayInputRecording(DynString(gLaunch.replay.c_str()));
    } else if (!gLaunch.record.empty()) {
        StartInputRecording(DynString(gLaunch.record.c_str()));
    }
}

void NoteShownFrame() {
    ++gShownFrames;
    if (gLaunch.snapshots.empty() || (gShownFrames & (gShownFrames - 1)) != 0) return;
    const std::string base = gLaunch.snapshots + "/frame-" + std::to_string(gShownFrames);
    SaveScreenshot(DynString((base + ".bmp").c_str()));
    WriteGameState(base + ".txt");
}
