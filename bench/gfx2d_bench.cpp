// 2D graphics costs under real GL (run under Xvfb with Mesa llvmpipe): loading a 640 x 480
// 24-bit bitmap as a sprite and as a background layer, upload included, against reading the same
// file into memory; 2,000 characters of text per frame against an empty frame; the mipmap chain
// of a 1024 x 1024 texture against copying it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx2d/bmp.h"
#include "gfx2d/local.h"
#include "gfx2d/renderer.h"
#include "voxa/runtime.h"
#include "window/window.h"

namespace {

const std::string& Picture() {
    static const std::string path = [] {
        std::string p = "/tmp/voxa_gfx2d_bench_" + std::to_string(getpid()) + ".bmp";
        std::vector<uint8_t> pixels(640 * 480 * 3);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + i / 1920);
        WriteBmp24(p.c_str(), pixels.data(), 640, 480, 640, false);
        return p;
    }();
    return path;
}

bool OpenOnce() {
    static bool opened = [] {
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        return Window().OpenWindow(640, 480, 0, -1);
    }();
    return opened;
}

void BM_ReadFileIntoMemory(benchmark::State& state) {
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        ReadBmpFile(Picture().c_str(), bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_ReadFileIntoMemory)->Unit(benchmark::kMillisecond);

void BM_DecodeOnly(benchmark::State& state) {
    std::vector<uint8_t> bytes;
    ReadBmpFile(Picture().c_str(), bytes);
    BmpLoadOptions options;
    for (auto _ : state) {
        TextureImage image;
        DecodeBmp(bytes.data(), bytes.size(), options, 4096, image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);

void BM_LoadSprite(benchmark::State& state) {
    if (!OpenOnce()) return state.SkipWithError("no window");
    DynString name(Picture().c_str());
    for (auto _ : state) {
        LoadSprite(name, 1);
        Window().FinishDrawing();
    }
}
BENCHMARK(BM_LoadSprite)->Unit(benchmark::kMillisecond);

void BM_LoadLayer(benchmark::State& state) {
    if (!OpenOnce()) return state.SkipWithError("no window");
    for (auto _ : state) {
        LoadLayer(2, Picture().c_str());
        Window().FinishDrawing();
    }
    ReleaseLayer(2);
}
BENCHMARK(BM_LoadLayer)->Unit(benchmark::kMillisecond);

void BM_EmptyFrame(benchmark::State& state) {
    if (!OpenOnce()) return state.SkipWithError("no window");
    for (auto _ : state) {
        Window().ClearBuffers(kClearColour);
        Window().FinishDrawing();
    }
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

void BM_PrintText2000PerFrame(benchmark::State& state) {
    if (!OpenOnce()) return state.SkipWithError("no window");
    MakeBuiltinFont(0);
    SetFont(0);
    DynString line("The quick brown fox jumps over the lazy dog 0123456789 (text benchmark line) !?");
    line += DynString("#####################");  // 100 characters
    for (auto _ : state) {
        Window().ClearBuffers(kClearColour);
        for (int i = 0; i < 20; ++i) PrintText(line, 0, i * 10);
        Window().FinishDrawing();
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_PrintText2000PerFrame)->Unit(benchmark::kMillisecond);

void BM_CopyTexture1024(benchmark::State& state) {
    std::vector<uint8_t> source(1024 * 1024 * 4, 99), level(source.size());
    for (auto _ : state) {
        std::memcpy(level.data(), source.data(), source.size());
        benchmark::DoNotOptimize(level.data());
    }
}
BENCHMARK(BM_CopyTexture1024)->Unit(benchmark::kMillisecond);

void BM_MipChain1024(benchmark::State& state) {
    std::vector<uint8_t> source(1024 * 1024 * 4);
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 13);
    std::vector<uint8_t> level(source.size());
    for (auto _ : state) {
        std::memcpy(level.data(), source.data(), source.size());
        int w = 1024, h = 1024;
        while (NextMipLevel(level.data(), w, h)) {
        }
        benchmark::DoNotOptimize(level.data());
    }
}
BENCHMARK(BM_MipChain1024)->Unit(benchmark::kMillisecond);

} // namespace

// The window opens before the run, so the report's context names the GL renderer measured.
int main(int argc, char** argv) {
    if (OpenOnce()) {
        benchmark::AddCustomContext("renderer", Window().RendererName());
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
