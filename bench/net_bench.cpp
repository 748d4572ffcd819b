// Network games on loopback: the round trip of a request through the host's thread, and
// messages per second through the host, each beside a baseline of bare packets on a loopback
// TCP connection measured in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/lifecycle.h"
#include "net/net.h"
#include "net/sockets.h"

namespace {

using namespace net;

// A port nobody listens on: one the system gave a moment ago.
uint16_t FreePort() {
    NetStatus status;
    std::unique_ptr<PacketListener> probe = PacketListener::Open(0, &status);
    return probe ? probe->Port() : 0;
}

bool Host() {
    for (int i = 0; i < 5; ++i)
        if (NetHostGame(DynString(std::to_string(FreePort()).c_str())) == 1.0) return true;
    return false;
}

void ReadBlocking(PacketConnection& c, std::vector<uint8_t>* packet) {
    std::vector<int> ready;
    while (c.ReadPacket(packet) == NetStatus::NoPending) PollReadable({c.Fd()}, 100, &ready);
}

// A connected pair of packet connections on loopback.
struct LoopbackPair {
    std::unique_ptr<PacketListener> listener;
    std::unique_ptr<PacketConnection> a, b;
    LoopbackPair() {
        NetStatus status;
        listener = PacketListener::Open(0, &status);
        a = PacketConnection::Connect(LoopbackAddress(listener->Port()), 2000, &status);
        while (listener->Accept(&b) != NetStatus::Ok) std::this_thread::yield();
    }
};

// Baseline: one 21-byte packet there and back, echoed by a thread.
void BM_BarePacketRoundTrip(benchmark::State& state) {
    LoopbackPair pair;
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        std::vector<uint8_t> packet;
        std::vector<int> ready;
        while (!stop) {
            if (pair.b->ReadPacket(&packet) == NetStatus::Ok) pair.b->WritePacket(packet.data(), packet.size());
            else PollReadable({pair.b->Fd()}, 10, &ready);
        }
    });
    std::string request(21, 'r');
    std::vector<uint8_t> answer;
    for (auto _ : state) {
        pair.a->WritePacket(request.data(), request.size());
        ReadBlocking(*pair.a, &answer);
    }
    stop = true;
    echo.join();
}
BENCHMARK(BM_BarePacketRoundTrip)->UseRealTime();

// A count request: main thread to the host's thread and back, through its own connection.
void BM_RequestRoundTrip(benchmark::State& state) {
    if (!Host() || NetCreatePlayer(DynString("Bench")).ToNumber() <= 0) {
        state.SkipWithError("could not host");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(NetCountPlayers());
    ShutdownNetGame();
}
BENCHMARK(BM_RequestRoundTrip)->UseRealTime();

constexpr int kBatch = 1000;

// Baseline: 1,000 small packets written and read back on one loopback connection.
void BM_BarePacketsPerSecond(benchmark::State& state) {
    LoopbackPair pair;
    std::string text(30, 't');
    std::vector<uint8_t> packet;
    for (auto _ : state) {
        std::thread reader([&] {
            std::vector<uint8_t> p;
            for (int i = 0; i < kBatch; ++i) ReadBlocking(*pair.b, &p);
        });
        for (int i = 0; i < kBatch; ++i) pair.a->WritePacket(text.data(), text.size());
        reader.join();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_BarePacketsPerSecond)->UseRealTime();

// 1,000 messages from one player to another, routed by the host's thread and read back.
void BM_MessagesThroughHost(benchmark::State& state) {
    if (!Host() || NetCreatePlayer(DynString("From")).ToNumber() != 101 || NetCreatePlayer(DynString("To")).ToNumber() != 102) {
        state.SkipWithError("could not host");
        return;
    }
    DynString text(std::string(30, 't').c_str());
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) NetSendMessage(101, 102, text);
        for (int got = 0; got < kBatch;) {
            if (NetGetMessage(102).Length() > 0) ++got;
            else std::this_thread::yield();
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    ShutdownNetGame();
}
BENCHMARK(BM_MessagesThroughHost)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
