// The game's own costs under real GL (Xvfb, Mesa llvmpipe), with the generated assets:
//
// - PlayFrame: one frame of the play scene as RunFrame draws it (both scene passes with the
//   shadows, the HUD), finished (FinishDrawing) so the driver's work is inside the frame, without
//   the swap and the pacing wait. Timed as process CPU time, so llvmpipe's rasterizer threads
//   count too. EmptyFrame (clear and finish) is the floor of any frame in the same window.
// - PlayFrameWithoutShortcuts: the same frame with the shadow pass drawn as it once was (the
//   volumes' far caps drawn, the stencil buffer cleared in a pass of its own): the baseline of
//   the play frame in the same run.
// - PlayFrameWithoutGL: the same frame with GL switched off, so every command returns before it
//   reaches the driver: the game's own share of the frame.
// - Restart: what a restart does before its first frame (all 42 loads, the variables and arrays),
//   against ReadAssetFiles, the bare reading of the same files.
// - RunFrameInput/0 and /1: one whole frame as GameMain runs it (RunFrame: the routines with
//   every key read, the clock, ShowScreen's checks, the frame's end) with GL switched off, without
//   and with an input recording being written (a file in /tmp, flushed every frame). The
//   difference is what recording adds to a frame; "recorded_bytes_per_frame" is the file's growth.
// - FrameInputReads/0 and /1: the reads of one frame alone (key tests, clock) and the frame's end,
//   without and with recording: the recorder's whole work per frame.
// - ClockRead/0 and /1: one reading of the runtime's clock, without and with recording (the
//   frame's pacing wait reads the clock in a loop).
// The peak resident memory of the process after the play frames is the "peak_rss_MB" counter;
// "rss_at_start_MB" is the process before the window was opened.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assetgen.h"
#include "base/clock.h"
#include "devices/lifecycle.h"
#include "game.h"
#include "gfx3d/render.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"
#include "window/window.h"

namespace {

uint8_t gKeys[kKeySymbolCount];
uint32_t gNow = 1000;
uint32_t BenchClock() { return gNow; }

double ResidentMegabytes() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::atof(line + 6);
    }
    std::fclose(f);
    return kb / 1024;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

const double gRssAtStart = ResidentMegabytes();

bool Setup() {
    static bool ok = [] {
        if (chdir(VOXA_GAME_DIR) != 0) {
            std::fprintf(stderr, "cannot enter %s\n", VOXA_GAME_DIR);
            return false;
        }
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        if (!Window().OpenWindow(640, 480, 0, -1)) return false;
        std::printf("renderer: %s\n", Window().RendererName());
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        CreateAudioDevice();
        CreateSoundSlots();
        SetKeyStateSourceForTesting(gKeys);
        SetTickSource(BenchClock);
        StartRound();
        return true;
    }();
    return ok;
}

// Play as it runs after START at a 5 ms step; every 400 frames the space bar shoots from the next
// base, so the ball, the striker, the target ball, the spikes and the rod all keep moving.
void EnterPlay() {
    gGame.gameState = 1;
    gGame.frameStep = 5;
    gGame.previousStep = 5;
    gGame.tubeHeight = 20;
    gGame.pointerHeight = 20;
}

void DriveKeys(long frame) {
    std::memset(gKeys, 0, sizeof gKeys);
    const long phase = frame % 400;
    if (phase == 0) gKeys[ScancodeKeySymbol(KEY_A + frame / 400 % 3)] = 1;  // A, S, D
    if (phase == 10) gKeys[ScancodeKeySymbol(KEY_SPACE)] = 1;
}

void PlayFrameBody() {
    DrawScene();
    DrawHudScore();
    DrawHudGame();
}

void BM_EmptyFrame(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    for (auto _ : state) {
        Window().ClearBuffers(kClearColour | kClearDepth | kClearStencil);
        Window().FinishDrawing();
    }
}
BENCHMARK(BM_EmptyFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_PlayFrame(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    EnterPlay();
    long frame = 0;
    for (auto _ : state) {
        DriveKeys(frame++);
        gNow += 5;
        Window().ClearBuffers(kClearColour | kClearDepth | kClearStencil);
        PlayFrameBody();
        Window().FinishDrawing();
    }
    state.counters["rss_at_start_MB"] = gRssAtStart;
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
    state.counters["balls_played"] = gGame.ballsPlayed;
}
BENCHMARK(BM_PlayFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_PlayFrameWithoutShortcuts(benchmark::State& state) {
    scene3d::SetShadowShortcutsForTesting(false);
    BM_PlayFrame(state);
    scene3d::SetShadowShortcutsForTesting(true);
}
BENCHMARK(BM_PlayFrameWithoutShortcuts)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_PlayFrameWithoutGL(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    EnterPlay();
    long frame = 0;
    Window().ready = 0;
    for (auto _ : state) {
        DriveKeys(frame++);
        gNow += 5;
        PlayFrameBody();
    }
    Window().ready = 1;
}
BENCHMARK(BM_PlayFrameWithoutGL)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// An input recording for the benchmark runs with range(0) = 1, in a file that StopBenchRecording
// removes.
std::string BenchRecordingFile() { return "/tmp/voxa_bench_" + std::to_string(getpid()) + ".vxr"; }

double BenchRecordingSize() {
    struct stat st {};
    return stat(BenchRecordingFile().c_str(), &st) == 0 ? double(st.st_size) : 0;
}

bool StartBenchRecording(benchmark::State& state) {
    return state.range(0) == 0 || StartInputRecording(DynString(BenchRecordingFile().c_str())) == 1;
}

void StopBenchRecording() {
    StopInputRecording();
    std::remove(BenchRecordingFile().c_str());
}

void BM_RunFrameInput(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    EnterPlay();
    gGame.ballsPerGame = 1e9;  // no game over, so no restart among the frames
    if (!StartBenchRecording(state)) return state.SkipWithError("cannot record");
    const double header = BenchRecordingSize();
    Window().ready = 0;
    long frame = 0;
    for (auto _ : state) {
        DriveKeys(frame++);
        gNow += 5;
        RunFrame();
    }
    Window().ready = 1;
    if (state.range(0) != 0) state.counters["recorded_bytes_per_frame"] = (BenchRecordingSize() - header) / double(frame);
    StopBenchRecording();
}
BENCHMARK(BM_RunFrameInput)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The reads of one game frame alone (24 key tests, 8 clock readings) and the frame's end, the
// recorder's whole work per frame when range(0) = 1.
void BM_FrameInputReads(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    if (!StartBenchRecording(state)) return state.SkipWithError("cannot record");
    const int keys[] = {50, 50, 50, 50, 19, 203, 205, 200, 57, 30, 31, 32, 208, 1, 56, 62};
    long frame = 0;
    for (auto _ : state) {
        DriveKeys(frame++);
        gNow += 5;
        for (int k = 0; k < 24; ++k) benchmark::DoNotOptimize(KeyDown(keys[k % 16]));
        for (int t = 0; t < 8; ++t) benchmark::DoNotOptimize(GetTicks());
        EndInputFrame();
    }
    StopBenchRecording();
}
BENCHMARK(BM_FrameInputReads)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_ClockRead(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    if (!StartBenchRecording(state)) return state.SkipWithError("cannot record");
    for (auto _ : state) benchmark::DoNotOptimize(GetTicks());
    StopBenchRecording();
}
BENCHMARK(BM_ClockRead)->Arg(0)->Arg(1);

void BM_Restart(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    for (auto _ : state) {
        StartRound();
        Window().FinishDrawing();
    }
}
BENCHMARK(BM_Restart)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The bytes of every file the game loads, read whole: the floor under any loader.
void BM_ReadAssetFiles(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no GL window");
    std::vector<char> buffer;
    for (auto _ : state) {
        size_t total = 0;
        for (const std::string& name : assetgen::AssetNames()) {
            if (name == "voxa1.mp3") continue; // the music is not among the loads
            FILE* f = std::fopen(name.c_str(), "rb");
            if (f == nullptr) return state.SkipWithError(name.c_str());
            std::fseek(f, 0, SEEK_END);
            buffer.resize(size_t(std::ftell(f)));
            std::fseek(f, 0, SEEK_SET);
            total += std::fread(buffer.data(), 1, buffer.size(), f);
            std::fclose(f);
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReadAssetFiles)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
