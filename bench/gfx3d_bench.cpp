// 3D drawing costs under real GL (Xvfb, Mesa llvmpipe): frames of 500 textured objects of 960
// triangles each, drawn from the static buffer (frame as stored), through the stream buffer (a
// texture offset makes every draw rebuild and upload its vertices), through client-side arrays
// (the buffer functions taken away, as on a GL without them), and with the stencil shadow pass
// added as the game draws it (lit pass, then every object's shadow volume). An empty frame is
// the baseline. Frames per second are in the "fps" counter.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx2d/bmp.h"
#include "voxa/runtime.h"
#include "window/state.h"
#include "window/window.h"

namespace {

constexpr int kObjects = 500;
constexpr int kModel = 1;
constexpr int kTexture = 5;

// A sphere of 16 bands of 30 segments: 16 strips of 60 triangles, 960 in all.
void BuildSphere(int id) {
    StartObject(id);
    const double pi = 3.14159265358979;
    for (int band = 0; band < 16; ++band) {
        if (band > 0) NewObjectStrip();
        for (int seg = 0; seg <= 30; ++seg) {
            for (int k = 1; k >= 0; --k) {
                const double lat = pi * (band + k) / 16 - pi / 2, lon = 2 * pi * seg / 30;
                AddObjectVertex(std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon),
                                double(seg) / 30, double(band + k) / 16, 0xFFFFFF);
            }
        }
    }
    EndObject();
}

bool Setup() {
    static bool ok = [] {
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        if (!Window().OpenWindow(640, 480, 0, -1)) return false;
        std::printf("renderer: %s\n", Window().RendererName());
        const std::string path = "/tmp/voxa_gfx3d_bench_" + std::to_string(getpid()) + ".bmp";
        std::vector<uint8_t> pixels(64 * 64 * 3);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 13 + i / 192);
        WriteBmp24(path.c_str(), pixels.data(), 64, 64, 64, false);
        LoadSprite(DynString(path.c_str()), kTexture);
        std::remove(path.c_str());
        BuildSphere(kModel);
        // The floor the shadows fall on.
        StartObject(kModel + 1);
        AddObjectVertex(-60, -1, 60, 0, 0, 0xFFFFFF);
        AddObjectVertex(-60, -1, -60, 0, 1, 0xFFFFFF);
        AddObjectVertex(60, -1, 60, 1, 0, 0xFFFFFF);
        AddObjectVertex(60, -1, -60, 1, 1, 0xFFFFFF);
        EndObject();
        return true;
    }();
    return ok;
}

void BeginFrame() {
    Window().ClearBuffers(kClearColour | kClearDepth | kClearStencil);
    Enter3DMode(1, 500, 45);
    SetCamera(0, 40, 60, 0, 0, 0);
    SetSpotLight(0, 0xFFFFFF, 0, 0, 0, 0, -1, -1, 180);
    SetCullMode(1);
    SetTexture(kTexture, -1);
}

// The 500 objects on a 25 x 20 grid, all inside the view.
void DrawObjects() {
    for (int i = 0; i < kObjects; ++i) {
        MoveObject((i % 25) * 3.0 - 36, 0, (i / 25) * 3.0 - 30);
        DrawObject(kModel, 0);
    }
}

void EndFrame() {
    Enter2DMode();
    Window().FinishDrawing();
}

void CountFrames(benchmark::State& state) {
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// One frame of every kind before any timing: llvmpipe compiles its shaders on first use.
void WarmUp() {
    static bool done = [] {
        for (int i = 0; i < 2; ++i) {
            BeginFrame();
            if (i == 1) SetTextureOffset(0.25, 0);
            DrawObjects();
            SetSpotLight(-3, 0xFFFFFF, 10, 80, 20, 0, 0, 0, 1);
            DrawObjects();
            EndFrame();
        }
        return true;
    }();
    (void)done;
}

// Times frames of the given kind: 0 empty, 1 objects as stored, 2 objects with a texture offset
// (vertices rebuilt and uploaded on every draw).
void TimeFrames(benchmark::State& state, int kind) {
    if (!Setup()) return state.SkipWithError("no window");
    WarmUp();
    for (auto _ : state) {
        BeginFrame();
        if (kind == 2) SetTextureOffset(0.25, 0);
        if (kind != 0) DrawObjects();
        EndFrame();
    }
    CountFrames(state);
}

void BM_EmptyFrame(benchmark::State& state) { TimeFrames(state, 0); }
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StaticBuffer(benchmark::State& state) { TimeFrames(state, 1); }
BENCHMARK(BM_StaticBuffer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_StreamBuffer(benchmark::State& state) { TimeFrames(state, 2); }
BENCHMARK(BM_StreamBuffer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_ClientArrays(benchmark::State& state) {
    const auto gen = gWindow.gl.genBuffers;
    gWindow.gl.genBuffers = nullptr; // as on a GL without buffer objects
    TimeFrames(state, 2);
    gWindow.gl.genBuffers = gen;
}
BENCHMARK(BM_ClientArrays)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_WithShadowPass(benchmark::State& state) {
    if (!Setup()) return state.SkipWithError("no window");
    WarmUp();
    for (auto _ : state) {
        BeginFrame();
        DrawObject(kModel + 1, 0);
        DrawObjects();
        SetSpotLight(-3, 0xFFFFFF, 10, 80, 20, 0, 0, 0, 1);
        DrawObject(kModel + 1, 0);
        DrawObjects();
        EndFrame(); // closes the pass: the shadowed pixels are darkened
    }
    CountFrames(state);
}
BENCHMARK(BM_WithShadowPass)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

} // namespace

BENCHMARK_MAIN();
