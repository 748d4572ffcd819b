// Model benchmarks.
// - Edge links: BuildEdges (near-linear) on a 20,000-triangle grid, and the same work done by
//   the pairwise reference (WeldVerticesQuadratic + LinkEdgesQuadratic) on a 2,000-triangle
//   grid, beside BuildEdges on that same smaller grid.
// - Loading: LoadObject of a binary model of 100,000 items (read, parse, triangles, bounds)
//   against only reading the same file into memory.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx3d/objectstore.h"
#include "voxa/gfx3d.h"

namespace {

// A height field of rows x columns quads, one triangle strip per row: 2 * rows * columns
// triangles, every inner edge shared by two of them.
void BuildGrid(MeshObjectX& m, int rows, int columns) {
    m.ClearModel(true);
    m.edges.Free();
    m.colourTable.Append(kStripMarker);
    m.colourTable.Append(0xFFFFFFu);
    ModelFrame* f = m.frames.Append(ModelFrame());
    f->items.Reserve(int64_t(rows) * (2 * (columns + 1) + 1));
    for (int r = 0; r < rows; ++r) {
        f->items.Append(ModelItem{0, 0, 0, 0, 0, 0, 0});
        for (int c = 0; c <= columns; ++c) {
            for (int dr = 0; dr < 2; ++dr) {
                int row = r + dr;
                // Positions on a 256-step grid; rows and columns beyond it move up in y.
                uint8_t x = uint8_t(c % 256), z = uint8_t(row % 256), y = uint8_t((c / 256) * 16 + (row / 256) * 64 + (c + row) % 8);
                f->items.Append(ModelItem{x, y, z, 0, 1, 0, 0});
            }
        }
    }
    for (int i = 0; i < f->items.Count(); ++i) {
        m.texU.Append(0);
        m.texV.Append(0);
    }
    m.BuildDrawData();
}

void BM_BuildEdges(benchmark::State& state) {
    MeshObjectX m;
    BuildGrid(m, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        m.edges.Clear();
        m.BuildEdges();
        benchmark::DoNotOptimize(m.edges.Data());
    }
    state.counters["triangles"] = double(m.frames[0].triangles.Count() / 3);
}
BENCHMARK(BM_BuildEdges)->Args({100, 100})->Args({20, 50})->Unit(benchmark::kMillisecond);

void BM_BuildEdgesQuadratic(benchmark::State& state) {
    MeshObjectX m;
    BuildGrid(m, int(state.range(0)), int(state.range(1)));
    int32_t triangles = m.frames[0].triangles.Count() / 3;
    std::vector<EdgeLink> links(size_t(3 * triangles));
    for (auto _ : state) {
        GrowArray<int32_t> ids;
        WeldVerticesQuadratic(m, ids);
        LinkEdgesQuadratic(ids.Data(), triangles, links.data());
        benchmark::DoNotOptimize(links.data());
    }
    state.counters["triangles"] = double(triangles);
}
BENCHMARK(BM_BuildEdgesQuadratic)->Args({20, 50})->Unit(benchmark::kMillisecond);

// A binary model file of 100,000 items (about 500 kB) written once per process.
const std::string& ModelFile() {
    static std::string path;
    if (path.empty()) {
        path = "/tmp/voxa-models-bench-" + std::to_string(getpid()) + ".ddd";
        MeshObjectX m;
        BuildGrid(m, 247, 201); // 247 strips of 405 items: 100,035 items
        m.WriteModel(path.c_str());
    }
    return path;
}

void BM_LoadObject(benchmark::State& state) {
    DynString name(ModelFile().c_str());
    for (auto _ : state) {
        DynString file(name);
        if (!LoadObject(file, 1)) state.SkipWithError("load failed");
    }
    state.counters["items"] = double(gRenderer3D.objects[1].frames[0].items.Count());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(100035 * 5));
}
BENCHMARK(BM_LoadObject)->Unit(benchmark::kMillisecond);

void BM_ReadModelOnly(benchmark::State& state) {
    MeshObject m;
    for (auto _ : state) {
        if (!m.ReadModel(ModelFile().c_str())) state.SkipWithError("read failed");
    }
}
BENCHMARK(BM_ReadModelOnly)->Unit(benchmark::kMillisecond);

void BM_ReadFileBaseline(benchmark::State& state) {
    std::vector<unsigned char> buffer;
    for (auto _ : state) {
        FILE* f = std::fopen(ModelFile().c_str(), "rb");
        if (f == nullptr) {
            state.SkipWithError("open failed");
            break;
        }
        buffer.clear();
        unsigned char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) buffer.insert(buffer.end(), chunk, chunk + n);
        std::fclose(f);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_ReadFileBaseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(ModelFile().c_str());
    return 0;
}
