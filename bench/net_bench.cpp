// Network games on loopback, each beside a baseline of bare TCP measured in the same run, the
// two alternating iteration by iteration so that both see the same load:
//   - request round trip: NetCountPlayers in the host's own program, in a client program, and
//     in a client while 30 peers that never read and a flood of texts to all load the host;
//     baseline: 21 bytes echoed over a bare TCP connection;
//   - messages through the host: 1, 4 or 16 client programs each send texts to the next one's
//     player (to its own for one) and read what comes to theirs; baseline: as many programs
//     each writing bare packets of the same size to one reader;
//   - the host's memory per connection, and while 99 connections flood texts to all.
// Hosts and clients are forked children of this program, steered through pipes; the parent
// forks before it starts a network thread of its own.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/lifecycle.h"
#include "net/sockets.h"
#include "net/wire.h"
#include "voxa/net.h"

namespace {

using namespace net;

constexpr int kBatch = 2000;            // texts (or bare packets) per client program per iteration
constexpr size_t kTextSize = 30;
constexpr size_t kPacketSize = kPacketHeader + kHeaderSize + kTextSize; // a text's packet on the wire

// ---- Child programs

struct Child {
    pid_t pid = -1;
    int to = -1;   // the child's commands
    int from = -1; // its reports
};

// Reads or writes all of size bytes, as a pipe or a blocking socket gives or takes them.
bool Transfer(int fd, void* data, size_t size, bool writing) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = writing ? write(fd, p, size) : read(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) { return Transfer(fd, const_cast<void*>(data), size, true); }
bool ReadAll(int fd, void* data, size_t size) { return Transfer(fd, data, size, false); }

template <typename T> void Tell(const Child& child, T value) { WriteAll(child.to, &value, sizeof value); }
template <typename T> T Hear(const Child& child) {
    T value{};
    return ReadAll(child.from, &value, sizeof value) ? value : T{};
}

// Runs body(commands, reports) in a forked child, which then ends.
Child Spawn(const std::function<void(int, int)>& body) {
    int down[2], up[2];
    Child child;
    if (pipe(down) != 0 || pipe(up) != 0) return child;
    child.pid = fork();
    if (child.pid == 0) {
        close(down[1]);
        close(up[0]);
        body(down[0], up[1]);
        _exit(0);
    }
    close(down[0]);
    close(up[1]);
    child.to = down[1];
    child.from = up[0];
    return child;
}

void End(Child& child) {
    Tell(child, 'q');
    close(child.to);
    waitpid(child.pid, nullptr, 0);
    close(child.from);
}

uint16_t FreePort() {
    NetStatus status;
    std::unique_ptr<PacketListener> probe = PacketListener::Open(0, &status);
    return probe ? probe->Port() : 0;
}

DynString PortText(uint16_t port) { return DynString(std::to_string(port).c_str()); }

// A blocking TCP connection to 127.0.0.1:port that sends small writes at once; -1 on failure.
int BlockingConnect(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A host without players of its own; reports its port (0 on failure), then waits for 'q'.
void HostBody(int in, int out) {
    uint16_t port = 0;
    for (int i = 0; i < 5 && port == 0; ++i) {
        uint16_t p = FreePort();
        if (NetHostGame(PortText(p)) == 1.0) port = p;
    }
    WriteAll(out, &port, sizeof port);
    char c;
    ReadAll(in, &c, 1);
    ShutdownNetGame();
}

int32_t JoinWithPlayer(uint16_t port) {
    if (NetJoinGame(DynString("127.0.0.1"), PortText(port)) != 1.0) return -1;
    return static_cast<int32_t>(NetCreatePlayer(DynString("C")).ToNumber());
}

int TakeTexts(int32_t id) {
    int taken = 0;
    for (DynString text = NetGetMessage(id); text.Length() > 0; text = NetGetMessage(id)) ++taken;
    return taken;
}

// A client program: joins (port in), reports its player's id, learns whom to send to; then for
// each 'g' sends kBatch texts there while it takes what comes, takes the rest, reports 'd'.
void ClientBody(int in, int out) {
    uint16_t port = 0;
    ReadAll(in, &port, sizeof port);
    int32_t id = JoinWithPlayer(port), to = 0;
    WriteAll(out, &id, sizeof id);
    ReadAll(in, &to, sizeof to);
    DynString text(std::string(kTextSize, 't').c_str());
    char c;
    while (ReadAll(in, &c, 1) && c == 'g') {
        int got = 0;
        for (int i = 0; i < kBatch; ++i) {
            NetSendMessage(id, to, text);
            got += TakeTexts(id);
        }
        while (got < kBatch) { // as a game's frame loop would: look again a little later
            int taken = TakeTexts(id);
            got += taken;
            if (taken == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        WriteAll(out, &c, 1);
    }
    ShutdownNetGame();
}

// A client that sends texts of 2 KB to all, about one a millisecond, until told to stop.
void FlooderBody(int in, int out) {
    uint16_t port = 0;
    ReadAll(in, &port, sizeof port);
    int32_t id = JoinWithPlayer(port);
    WriteAll(out, &id, sizeof id);
    DynString text(std::string(kMaxPayload, 'f').c_str());
    for (pollfd p{in, POLLIN, 0}; poll(&p, 1, 1) == 0;) {
        NetSendMessage(id, 0, text);
        TakeTexts(id);
    }
    ShutdownNetGame();
}

// A bare sender: connects (port in), then for each 'g' writes kBatch packets of kPacketSize.
void BareSenderBody(int in, int) {
    uint16_t port = 0;
    ReadAll(in, &port, sizeof port);
    int fd = BlockingConnect(port);
    if (fd < 0) return;
    std::string packet(kPacketSize, 'b');
    char c;
    while (ReadAll(in, &c, 1) && c == 'g')
        for (int i = 0; i < kBatch; ++i) WriteAll(fd, packet.data(), packet.size());
    close(fd);
}

std::vector<Child> SpawnMany(int count, void (*body)(int, int)) {
    std::vector<Child> children;
    for (int i = 0; i < count; ++i) children.push_back(Spawn(body));
    return children;
}

// ---- Raw connections held by the parent

std::string Framed(const Message& message) {
    std::vector<uint8_t> bytes = EncodeMessage(message);
    std::string packet = {'N', 'L', static_cast<char>(bytes.size() >> 8), static_cast<char>(bytes.size() & 255)};
    return packet + std::string(bytes.begin(), bytes.end());
}

// A raw connection that creates a player; with `readId` it also reads the id (a 21-byte packet).
int RawPlayer(uint16_t port, bool readId, int32_t* id) {
    int fd = BlockingConnect(port);
    std::string create = Framed(MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire())));
    uint8_t answer[kPacketHeader + kHeaderSize];
    if (fd >= 0 && WriteAll(fd, create.data(), create.size()) && (!readId || ReadAll(fd, answer, sizeof answer))) {
        if (readId) *id = static_cast<int32_t>(GetU32(answer + kPacketHeader + 9));
        return fd;
    }
    if (fd >= 0) close(fd);
    return -1;
}

// CPU time all threads of a process used so far (0 for this one), in microseconds.
double CpuUs(pid_t pid) {
    std::string tasks = pid == 0 ? std::string("/proc/self/task") : "/proc/" + std::to_string(pid) + "/task";
    double ns = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            double onCpu = 0;
            if (stat >> onCpu) ns += onCpu;
        }
        closedir(dir);
    }
    return ns / 1000;
}

double CpuUs(const std::vector<Child>& children) {
    double sum = CpuUs(0);
    for (const Child& child : children) sum += CpuUs(child.pid);
    return sum;
}

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// ---- Request round trips

// Baseline: 21 bytes there and back over a bare TCP connection, echoed by a thread.
class BareEcho {
public:
    BareEcho() {
        NetStatus status;
        listener_ = PacketListener::Open(0, &status);
        client_ = BlockingConnect(listener_->Port());
        while ((server_ = accept(listener_->Fd(), nullptr, nullptr)) < 0) std::this_thread::yield();
        int on = 1;
        setsockopt(server_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        fcntl(server_, F_SETFL, fcntl(server_, F_GETFL) & ~O_NONBLOCK);
        echo_ = std::thread([this] {
            char buffer[21];
            while (ReadAll(server_, buffer, sizeof buffer) && WriteAll(server_, buffer, sizeof buffer)) {}
        });
    }
    ~BareEcho() {
        close(client_);
        echo_.join();
        close(server_);
    }
    void RoundTrip() {
        char bytes[21] = {};
        WriteAll(client_, bytes, sizeof bytes);
        ReadAll(client_, bytes, sizeof bytes);
    }

private:
    std::unique_ptr<PacketListener> listener_;
    int client_ = -1, server_ = -1;
    std::thread echo_;
};

double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration is a bare echo, then a count request, so both see the same load. Each starts
// after a short pause, so that neither meets the other's threads still finishing their work
// (the network threads go on for a few microseconds after an answer has been handed over). The
// time is the request's; the counters give both means, their ratio and the slowest of each.
void AlternateWithEcho(benchmark::State& state) {
    BareEcho echo;
    double bare = 0, asked = 0, slowest = 0, slowestEcho = 0;
    const auto settle = std::chrono::microseconds(200);
    for (auto _ : state) {
        std::this_thread::sleep_for(settle);
        auto start = std::chrono::steady_clock::now();
        echo.RoundTrip();
        double echoed = MicrosecondsSince(start);
        bare += echoed;
        slowestEcho = std::max(slowestEcho, echoed);
        std::this_thread::sleep_for(settle);
        start = std::chrono::steady_clock::now();
        if (NetCountPlayers() < 1) state.SkipWithError("no answer");
        double took = MicrosecondsSince(start);
        asked += took;
        slowest = std::max(slowest, took);
        state.SetIterationTime(took / 1e6);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["echo_us"] = bare / n;
    state.counters["request_us"] = asked / n;
    state.counters["ratio"] = asked / bare;
    state.counters["slowest_us"] = slowest;
    state.counters["slowest_echo_us"] = slowestEcho;
}

// The host's own program asks its own thread: no socket on the way.
void BM_RequestInHost(benchmark::State& state) {
    bool hosted = false;
    for (int i = 0; i < 5 && !hosted; ++i) hosted = NetHostGame(PortText(FreePort())) == 1.0;
    if (!hosted || NetCreatePlayer(DynString("Bench")).ToNumber() <= 0) {
        state.SkipWithError("could not host");
        return;
    }
    AlternateWithEcho(state);
    ShutdownNetGame();
}
BENCHMARK(BM_RequestInHost)->UseManualTime()->Iterations(5000);

// A client program (this one) asks a host in another program; with `deaf` > 0, that many raw
// peers that never read and a client flooding texts of 2 KB to all load the host meanwhile.
void RequestFromClient(benchmark::State& state, int deaf) {
    Child host = Spawn(HostBody);
    Child flooder = deaf > 0 ? Spawn(FlooderBody) : Child{};
    uint16_t port = Hear<uint16_t>(host);
    std::vector<int> peers;
    for (int i = 0; i < deaf; ++i) peers.push_back(RawPlayer(port, false, nullptr));
    if (deaf > 0) {
        Tell(flooder, port);
        Hear<int32_t>(flooder);
    }
    if (port == 0 || JoinWithPlayer(port) <= 0) {
        state.SkipWithError("could not join");
    } else {
        AlternateWithEcho(state);
        ShutdownNetGame();
    }
    if (deaf > 0) End(flooder);
    for (int fd : peers) close(fd);
    End(host);
}

void BM_RequestFromClient(benchmark::State& state) { RequestFromClient(state, 0); }
BENCHMARK(BM_RequestFromClient)->UseManualTime()->Iterations(5000);

void BM_RequestBesideDeafPeersAndFlood(benchmark::State& state) { RequestFromClient(state, 30); }
BENCHMARK(BM_RequestBesideDeafPeersAndFlood)->UseManualTime()->Iterations(1000);

// ---- Messages through the host

// Baseline: `programs` bare senders, each writing kBatch packets to this program per batch.
class BareSenders {
public:
    explicit BareSenders(int programs) : senders_(SpawnMany(programs, BareSenderBody)) {}
    const std::vector<Child>& Children() const { return senders_; }
    ~BareSenders() {
        for (Child& sender : senders_) End(sender);
        for (pollfd& p : set_) close(p.fd);
    }
    void Connect() {
        NetStatus status;
        std::unique_ptr<PacketListener> listener = PacketListener::Open(0, &status);
        for (Child& sender : senders_) Tell(sender, listener->Port());
        while (set_.size() < senders_.size()) {
            int fd = accept(listener->Fd(), nullptr, nullptr);
            if (fd >= 0) set_.push_back(pollfd{fd, POLLIN, 0});
            else std::this_thread::yield();
        }
    }
    void Batch() {
        for (Child& sender : senders_) Tell(sender, 'g');
        const long total = static_cast<long>(senders_.size()) * kBatch * static_cast<long>(kPacketSize);
        for (long got = 0; got < total;) {
            PollSet(&set_, 1000);
            for (pollfd& p : set_) {
                ssize_t n = (p.revents & POLLIN) ? recv(p.fd, buffer_.data(), buffer_.size(), MSG_DONTWAIT) : 0;
                if (n > 0) got += n;
            }
        }
    }

private:
    std::vector<Child> senders_;
    std::vector<pollfd> set_;
    std::vector<char> buffer_ = std::vector<char>(1 << 18);
};

// range(0) client programs, each sending kBatch texts to the next one's player through the
// host in this program, and bare senders as many. Each iteration is a bare batch, then a batch
// through the host; the time is the host's, the counters give both rates and their ratio.
void BM_MessagesThroughHost(benchmark::State& state) {
    int programs = static_cast<int>(state.range(0));
    BareSenders bare(programs);
    std::vector<Child> clients = SpawnMany(programs, ClientBody);
    bool hosted = false;
    uint16_t port = 0;
    for (int i = 0; i < 5 && !hosted; ++i) hosted = NetHostGame(PortText(port = FreePort())) == 1.0;
    bare.Connect();
    std::vector<int32_t> ids;
    for (Child& client : clients) {
        Tell(client, port);
        ids.push_back(Hear<int32_t>(client));
    }
    if (!hosted || std::count_if(ids.begin(), ids.end(), [](int32_t id) { return id > 0; }) != programs) {
        state.SkipWithError("could not host or join");
        for (Child& client : clients) Tell(client, int32_t{0});
    } else {
        for (int i = 0; i < programs; ++i) Tell(clients[i], ids[(i + 1) % programs]);
        double bareSeconds = 0, hostSeconds = 0, bareCpu = 0, hostCpu = 0, hostThreadCpu = 0;
        for (auto _ : state) {
            double cpu = CpuUs(bare.Children());
            auto start = std::chrono::steady_clock::now();
            bare.Batch();
            bareSeconds += MicrosecondsSince(start) / 1e6;
            bareCpu += CpuUs(bare.Children()) - cpu;
            cpu = CpuUs(clients);
            double own = CpuUs(0);
            start = std::chrono::steady_clock::now();
            for (Child& client : clients) Tell(client, 'g');
            for (Child& client : clients) Hear<char>(client);
            double took = MicrosecondsSince(start) / 1e6;
            hostSeconds += took;
            hostCpu += CpuUs(clients) - cpu;
            hostThreadCpu += CpuUs(0) - own;
            state.SetIterationTime(took);
        }
        double messages = static_cast<double>(state.iterations()) * programs * kBatch;
        state.counters["bare_per_s"] = messages / bareSeconds;
        state.counters["host_per_s"] = messages / hostSeconds;
        state.counters["ratio"] = bareSeconds / hostSeconds;
        // CPU time of every program involved, per message: steadier than the rates on a busy machine.
        state.counters["bare_cpu_us"] = bareCpu / messages;
        state.counters["host_cpu_us"] = hostCpu / messages;
        state.counters["of_it_host_us"] = hostThreadCpu / messages;
        state.counters["cpu_ratio"] = bareCpu / hostCpu;
    }
    for (Child& client : clients) End(client);
    ShutdownNetGame();
}
BENCHMARK(BM_MessagesThroughHost)->Arg(1)->Arg(4)->Arg(16)->UseManualTime()->Iterations(20);

// ---- The host's memory

// A host in a child program; 99 raw connections with a player each (the host's memory per
// connection), then each sends 64 texts of 2 KB to all while this program reads everything.
// Reported in MB above the host's memory before the connections, and per connection in KB.
void BM_HostMemory(benchmark::State& state) {
    constexpr int kConnections = 99, kTexts = 64;
    Child host = Spawn(HostBody);
    uint16_t port = Hear<uint16_t>(host);
    long baseKb = RssKb(host.pid), connectedKb = 0, peakKb = 0, afterKb = 0;
    for (auto _ : state) {
        std::vector<pollfd> set;
        std::vector<int32_t> ids(kConnections);
        for (int i = 0; i < kConnections; ++i) set.push_back(pollfd{RawPlayer(port, true, &ids[i]), POLLIN, 0});
        if (std::any_of(set.begin(), set.end(), [](const pollfd& p) { return p.fd < 0; })) {
            state.SkipWithError("could not connect");
            for (pollfd& p : set) close(p.fd);
            break;
        }
        connectedKb = peakKb = RssKb(host.pid);
        std::vector<std::string> out(kConnections);
        for (int i = 0; i < kConnections; ++i)
            for (int t = 0; t < kTexts; ++t) out[i] += Framed(MakeMessage(kText, kAllPlayers, ids[i], std::string(kMaxPayload, 'x')));
        const long expected = static_cast<long>(kConnections) * kTexts * (kPacketHeader + kHeaderSize + kMaxPayload);
        std::vector<long> got(kConnections, 0);
        std::vector<size_t> sent(kConnections, 0);
        std::vector<char> buffer(1 << 18);
        while (std::count(got.begin(), got.end(), expected) < kConnections) {
            for (int i = 0; i < kConnections; ++i) set[i].events = POLLIN | (sent[i] < out[i].size() ? POLLOUT : 0);
            PollSet(&set, 1000);
            for (int i = 0; i < kConnections; ++i) {
                if (set[i].revents & POLLOUT) {
                    ssize_t n = send(set[i].fd, out[i].data() + sent[i], out[i].size() - sent[i], MSG_DONTWAIT);
                    if (n > 0) sent[i] += static_cast<size_t>(n);
                }
                ssize_t n = (set[i].revents & POLLIN) ? recv(set[i].fd, buffer.data(), buffer.size(), MSG_DONTWAIT) : 0;
                if (n > 0) got[i] += n;
            }
            peakKb = std::max(peakKb, RssKb(host.pid));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        afterKb = RssKb(host.pid);
        for (pollfd& p : set) close(p.fd);
    }
    state.counters["per_connection_KB"] = static_cast<double>(connectedKb - baseKb) / kConnections;
    state.counters["flood_peak_MB"] = static_cast<double>(peakKb - connectedKb) / 1024;
    state.counters["after_flood_MB"] = static_cast<double>(afterKb - connectedKb) / 1024;
    End(host);
}
BENCHMARK(BM_HostMemory)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
