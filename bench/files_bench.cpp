// File lookup and pack archive: the directory walk of FindFile in a pack of 1,000 entries, and
// the unpack step of a 10 MB entry against a bare lzo1x_decompress_safe of the same stream.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <lzo/lzo1x.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "files/lookup.h"
#include "files/packfile.h"

namespace {

using Bytes = std::vector<unsigned char>;

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Game-asset-like content, about 1.8:1 under LZO1X-999: text made of a small vocabulary (as in
// level, INI and model text files) alternating with image rows of a gradient plus noise.
Bytes AssetLike(size_t n, unsigned seed) {
    static const char* const kWords[] = {"vertex ", "normal ", "0.25 ", "-1.5 ", "texture ", "ball ",
                                         "table ", "spike ", "[Main]\r\n", "width=640\r\n", "rod ", "tube "};
    std::mt19937 rng(seed);
    Bytes b;
    b.reserve(n);
    while (b.size() < n) {
        if ((b.size() / 4096) % 2 == 0) {
            const char* w = kWords[rng() % 12];
            b.insert(b.end(), w, w + std::char_traits<char>::length(w));
        } else {
            b.push_back(uint8_t(b.size() / 16 + (rng() & 7)));
        }
    }
    b.resize(n);
    return b;
}

Bytes Compress999(const Bytes& data) {
    Bytes out(data.size() + data.size() / 16 + 64 + 3);
    std::vector<unsigned char> work(LZO1X_999_MEM_COMPRESS);
    lzo_uint len = out.size();
    lzo_init();
    lzo1x_999_compress(data.data(), data.size(), out.data(), &len, work.data());
    out.resize(len);
    return out;
}

std::string WritePack(const std::vector<std::pair<std::string, Bytes>>& entries) {
    Bytes file, dir;
    for (const auto& [name, stream] : entries) {
        dir.push_back(uint8_t(name.size()));
        dir.insert(dir.end(), name.begin(), name.end());
        PutU32(dir, uint32_t(file.size()));
        PutU32(dir, uint32_t(stream.size()));
        file.insert(file.end(), stream.begin(), stream.end());
    }
    uint32_t dirStart = uint32_t(file.size());
    file.insert(file.end(), dir.begin(), dir.end());
    file.push_back(0);
    PutU32(file, dirStart);
    std::string path = "/tmp/voxa_files_bench_" + std::to_string(getpid()) + ".pak";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
}

// The stored block of an entry: u32 unpacked size, then the stream.
Bytes Block(const Bytes& data, const Bytes& stream) {
    Bytes b;
    PutU32(b, uint32_t(data.size()));
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

struct SmallPack {
    std::string path;
    SmallPack() {
        std::vector<std::pair<std::string, Bytes>> entries;
        for (int i = 0; i < 1000; ++i) {
            Bytes data = AssetLike(512, unsigned(i));
            entries.push_back({"gfx_entry_" + std::to_string(i) + ".bmp", Block(data, Compress999(data))});
        }
        path = WritePack(entries);
    }
    ~SmallPack() { std::remove(path.c_str()); }
};

struct BigEntry {
    Bytes data = AssetLike(10 * 1024 * 1024, 99);
    Bytes block = Block(data, Compress999(data));
    std::string path = WritePack({{"big_entry.bin", block}});
    ~BigEntry() { std::remove(path.c_str()); }
};

SmallPack& Small() {
    static SmallPack p;
    return p;
}

BigEntry& Big() {
    static BigEntry b;
    return b;
}

void UsePack(const std::string& path) {
    CreatePackStates();
    SetPackFiles(DynString(path.c_str()), DynString(""));
}

// Baseline of the lookup: a plain file, found with one fopen.
void BM_FindFilePlainFile(benchmark::State& state) {
    UsePack(Small().path);
    char resolved[1536];
    for (auto _ : state) benchmark::DoNotOptimize(FindFile(PrimaryPack(), Small().path.c_str(), resolved));
    ReleasePackStates();
}
BENCHMARK(BM_FindFilePlainFile);

// The directory walk to entry i of 1,000, unpacking a 512-byte entry to its temporary file.
void BM_FindFilePack1000(benchmark::State& state) {
    UsePack(Small().path);
    std::string name = "gfx_entry_" + std::to_string(state.range(0)) + ".bmp";
    char resolved[1536];
    for (auto _ : state) {
        if (FindFile(PrimaryPack(), name.c_str(), resolved) != 1) state.SkipWithError("not found");
    }
    ReleasePackStates();
}
BENCHMARK(BM_FindFilePack1000)->Arg(0)->Arg(500)->Arg(999);

// A name that is in no entry: the whole directory is walked.
void BM_FindFilePack1000Missing(benchmark::State& state) {
    UsePack(Small().path);
    char resolved[1536];
    for (auto _ : state) benchmark::DoNotOptimize(FindFile(PrimaryPack(), "missing.bmp", resolved));
    ReleasePackStates();
}
BENCHMARK(BM_FindFilePack1000Missing);

// Baseline: the bare decompressor into a buffer allocated once.
void BM_Unpack10MBRawLzo(benchmark::State& state) {
    const Bytes& block = Big().block;
    Bytes out(Big().data.size());
    for (auto _ : state) {
        lzo_uint len = out.size();
        lzo1x_decompress_safe(block.data() + 4, block.size() - 4, out.data(), &len, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
    state.counters["ratio"] = double(out.size()) / double(block.size());
}
BENCHMARK(BM_Unpack10MBRawLzo)->Unit(benchmark::kMillisecond);

// The lookup's unpack step: size field checked, buffer allocated, stream decompressed.
void BM_Unpack10MBEntry(benchmark::State& state) {
    const Bytes& block = Big().block;
    for (auto _ : state) {
        UnpackedData out;
        if (!UnpackStored(block.data(), block.size(), out) || out.size != Big().data.size()) {
            state.SkipWithError("unpack failed");
        }
        benchmark::DoNotOptimize(out.bytes.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Big().data.size()));
}
BENCHMARK(BM_Unpack10MBEntry)->Unit(benchmark::kMillisecond);

// The whole lookup of the 10 MB entry: read from the pack, unpack, write the temporary file.
void BM_FindFile10MBEntry(benchmark::State& state) {
    UsePack(Big().path);
    char resolved[1536];
    for (auto _ : state) {
        if (FindFile(PrimaryPack(), "big_entry.bin", resolved) != 1) state.SkipWithError("not found");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Big().data.size()));
    ReleasePackStates();
}
BENCHMARK(BM_FindFile10MBEntry)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
