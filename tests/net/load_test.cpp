// Network games under real load and hostile peers, each with separate programs on 127.0.0.1:
// floods of texts arrive exactly once, in order and whole, and leave the host in its game; a
// hundred connections flooding texts to all keep the host's memory bounded; deaf peers do not
// delay anybody's requests; a late answer is not taken for the next request; idle and
// half-sent connections lose their places; running out of descriptors does not spin the host.
// Each prints what it measured, for the record.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "peer.h"
#include "voxa/net.h"

using namespace net;

namespace {

using Wall = std::chrono::steady_clock;

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// User and system CPU time of a process so far.
long CpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(all.substr(all.rfind(')') + 2)); // the name may hold blanks
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return (utime + stime) * 1000 / sysconf(_SC_CLK_TCK);
}

// Stops a process and waits until each of its threads has stopped.
bool Stop(pid_t pid) {
    if (kill(pid, SIGSTOP) != 0) return false;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (int i = 0; i < 1000; ++i) {
        bool all = true;
        if (DIR* dir = opendir(tasks.c_str())) {
            while (dirent* entry = readdir(dir)) {
                if (entry->d_name[0] == '.') continue;
                std::ifstream stat(tasks + "/" + entry->d_name + "/stat");
                std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
                size_t paren = text.rfind(')');
                all = all && paren != std::string::npos && paren + 2 < text.size() && (text[paren + 2] == 'T' || text[paren + 2] == 't');
            }
            closedir(dir);
        }
        if (all) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Connections waiting in the accept queue of the socket listening on port (from /proc/net/tcp).
long PendingAccepts(uint16_t port) {
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    std::getline(tcp, line);
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(tcp, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted)
            return std::stol(queues.substr(queues.find(':') + 1), nullptr, 16);
    }
    return -1;
}

long MsSince(Wall::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Wall::now() - start).count());
}

std::vector<long> Numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<long> numbers;
    for (long n; in >> n;) numbers.push_back(n);
    return numbers;
}

bool EventuallyAnswers(Peer& peer, const std::string& command, const std::string& expected, int tries = 100) {
    for (int i = 0; i < tries; ++i) {
        if (peer.Do(command) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A raw client with a player: the create message, then its id.
std::unique_ptr<PacketConnection> RawPlayer(uint16_t port, int32_t* id) {
    std::unique_ptr<PacketConnection> c = RawConnect(port);
    Message message;
    if (!c || !SendMessage(*c, MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire()))) ||
        !ReadMessageWithin(*c, kPlayerId, 5000, &message))
        return nullptr;
    *id = message.a;
    return c;
}

// A host with one player (101) and `count` joined client programs with one player each.
struct Game {
    Peer host;
    std::vector<Peer> clients;
    std::vector<int> ids; // the clients' players
    uint16_t port = 0;
    explicit Game(size_t count) : clients(count) {
        port = HostOnFreePort(host);
        if (port == 0 || host.Do("create Host") != "101") return;
        for (Peer& client : clients) {
            if (client.Do("join 127.0.0.1 " + std::to_string(port)) != "1") return;
            ids.push_back(std::stoi(client.Do("create P")));
        }
    }
    bool Ready() const { return ids.size() == clients.size(); }
};

} // namespace

// Floods of texts from many programs: every text arrives exactly once, byte-exact and in its
// sender's order, and afterwards the host is still in its game with every player.
TEST(NetLoad, FloodsArriveExactlyOnceInOrderAndTheHostStaysInItsGame) {
    enum Target { kHostPlayer, kAll, kNextClient };
    struct Case {
        const char* what;
        int clients, texts, size;
        Target target;
    };
    const Case cases[] = {
        {"6 programs x 3000 texts of 2048 bytes to the host's player", 6, 3000, 2048, kHostPlayer},
        {"5 programs x 2000 texts of 2048 bytes to all", 5, 2000, 2048, kAll},
        {"11 programs x 1000 texts of 100 bytes to all", 11, 1000, 100, kAll},
        {"8 programs x 1000 texts to the next program's player", 8, 1000, 30, kNextClient},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Game game(c.clients);
        ASSERT_TRUE(game.Ready());
        auto start = Wall::now();
        long toEachClient = c.target == kAll ? c.clients * c.texts : c.target == kNextClient ? c.texts : 0;
        long toHost = c.target == kNextClient ? 0 : c.clients * c.texts;
        for (int i = 0; i < c.clients; ++i) {
            int to = c.target == kHostPlayer ? 101 : c.target == kAll ? 0 : game.ids[(i + 1) % c.clients];
            ASSERT_TRUE(game.clients[i].Send("flood " + std::to_string(game.ids[i]) + " " + std::to_string(to) + " " +
                                             std::to_string(c.texts) + " " + std::to_string(c.size) + " " + std::to_string(toEachClient)));
        }
        // "SENT RECEIVED BAD SENDERS FEWEST MOST" of one program's flood command.
        auto check = [&](const std::string& answer, long sent, long expect, const std::string& who) {
            std::vector<long> got = Numbers(answer);
            ASSERT_EQ(got.size(), 6u) << who << ": " << answer;
            EXPECT_EQ(got[0], sent) << who << " could not send them all";
            EXPECT_EQ(got[1], expect) << who << ": texts received";
            EXPECT_EQ(got[2], 0) << who << " got texts damaged or out of order";
            if (expect == 0) return;
            EXPECT_EQ(got[3] * c.texts, expect) << who << ": senders heard from";
            EXPECT_EQ(got[4], c.texts) << who << ": a sender's texts fell short";
            EXPECT_EQ(got[5], c.texts) << who << ": a sender's texts came twice";
        };
        std::string host = game.host.Do("flood 101 0 0 " + std::to_string(c.size) + " " + std::to_string(toHost), 120000);
        check(host, 0, toHost, "the host");
        for (int i = 0; i < c.clients; ++i) check(game.clients[i].Answer(120000), c.texts, toEachClient, "client " + std::to_string(i));
        std::printf("[ measured ] %s: host's player got %s (sent received bad senders fewest most), %ld ms\n", c.what,
                    host.c_str(), MsSince(start));
        EXPECT_EQ(game.host.Do("count"), std::to_string(c.clients + 1));
        EXPECT_EQ(game.host.Do("name 101"), "Host");
        EXPECT_EQ(game.host.Do("create Another"), std::to_string(101 + 2 * c.clients + 1));
        for (Peer& client : game.clients) client.Send("quit"); // leave in parallel
    }
}

// 99 connections (the host's own program holds the hundredth place) each send 64 texts of 2 KB
// to all, while each reads everything: every byte arrives, and the host's memory stays within
// 64 MB of where it started and goes back afterwards.
TEST(NetLoad, AHundredConnectionsFloodingTextsToAllKeepTheHostsMemoryBounded) {
    constexpr int kConnections = 99, kTexts = 64;
    Peer host;
    uint16_t port = HostOnFreePort(host);
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<PacketConnection>> peers;
    std::vector<int32_t> ids(kConnections);
    for (int i = 0; i < kConnections; ++i) {
        peers.push_back(RawPlayer(port, &ids[i]));
        ASSERT_TRUE(peers.back()) << i;
    }
    long startKb = RssKb(host.Pid());
    for (int i = 0; i < kConnections; ++i)
        for (int t = 0; t < kTexts; ++t) {
            std::vector<uint8_t> bytes = EncodeMessage(MakeMessage(kText, kAllPlayers, ids[i], std::string(kMaxPayload, 'a' + t % 26)));
            peers[i]->Queue(MakePacket(bytes.data(), bytes.size()));
        }
    const long expected = static_cast<long>(kConnections) * kTexts * (kPacketHeader + kHeaderSize + kMaxPayload);
    std::vector<long> received(kConnections, 0);
    long peakKb = startKb;
    std::vector<char> buffer(1 << 18);
    auto start = Wall::now(), lastProgress = start;
    while (MsSince(lastProgress) < 20000 && std::count(received.begin(), received.end(), expected) < kConnections) {
        std::vector<pollfd> set;
        for (auto& peer : peers)
            set.push_back(pollfd{peer->Fd(), static_cast<short>(POLLIN | (peer->QueuedBytes() > 0 ? POLLOUT : 0)), 0});
        PollSet(&set, 50);
        for (int i = 0; i < kConnections; ++i) {
            if (set[i].revents & POLLOUT) peers[i]->Flush();
            if (!(set[i].revents & POLLIN)) continue;
            ssize_t n = recv(peers[i]->Fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n > 0) received[i] += n, lastProgress = Wall::now();
        }
        peakKb = std::max(peakKb, RssKb(host.Pid()));
    }
    long floodMs = MsSince(start);
    EXPECT_EQ(std::count(received.begin(), received.end(), expected), kConnections) << "some connection missed texts";
    long afterKb = RssKb(host.Pid());
    for (int i = 0; i < 100 && afterKb - startKb > 4 * 1024; ++i) { // the queues drain, then memory goes back
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        afterKb = RssKb(host.Pid());
    }
    std::printf("[ measured ] host memory: %ld MB at the start, %ld MB at the peak, %ld MB afterwards; flood %ld ms\n",
                startKb / 1024, peakKb / 1024, afterKb / 1024, floodMs);
    EXPECT_LT(peakKb - startKb, 64 * 1024);
    EXPECT_LT(afterKb - startKb, 16 * 1024) << "the memory of the flood was not given back";
    Message count;
    ASSERT_TRUE(SendMessage(*peers[0], MakeMessage(kCountRequest, 0, ids[0])));
    ASSERT_TRUE(ReadMessageWithin(*peers[0], kCountRequest, 5000, &count));
    EXPECT_EQ(GetU32(count.payload.data()), static_cast<uint32_t>(kConnections)) << "every player is still there";
}

// 30 peers that never read while a client floods texts to all: the host's and another client's
// requests are still answered at once (the precise latency is measured by bench/net_bench); the
// deaf peers are dropped when their queues pass the bound, the honest programs are not.
TEST(NetLoad, DeafPeersDelayNobodysRequests) {
    constexpr int kDeaf = 30, kRounds = 20;
    Game game(2);
    ASSERT_TRUE(game.Ready());
    std::vector<std::unique_ptr<PacketConnection>> deaf;
    for (int i = 0; i < kDeaf; ++i) {
        int32_t id = 0;
        deaf.push_back(RawPlayer(game.port, &id));
        ASSERT_TRUE(deaf.back());
    }
    ASSERT_TRUE(game.clients[0].Send("flood " + std::to_string(game.ids[0]) + " 0 5000 2048 0"));
    long slowest = 0;
    for (int round = 0; round < kRounds; ++round)
        for (Peer* asker : {&game.host, &game.clients[1]}) {
            auto start = Wall::now();
            long count = std::stol(asker->Do("count"));
            slowest = std::max(slowest, MsSince(start));
            EXPECT_GE(count, 3);
            EXPECT_LE(count, 3 + kDeaf);
        }
    std::printf("[ measured ] slowest of %d counts beside %d deaf peers and a flood: %ld ms\n", 2 * kRounds, kDeaf, slowest);
    EXPECT_LT(slowest, kNetAnswerWaitMs / 2);
    EXPECT_EQ(Numbers(game.clients[0].Answer(120000)).at(0), 5000) << "the flooding client could not send";
    // Their queues pass the bound, or they take nothing for 5 s. (Reading them would make them
    // readers, so they are read only once the host has let them go.)
    EXPECT_TRUE(EventuallyAnswers(game.clients[1], "count", "3", 500));
    for (auto& peer : deaf) EXPECT_TRUE(ClosedWithin(*peer, 10000));
}

// The host stops while a client asks for a name, and the client asks again before the host goes
// on: the late answer to the first question must not be taken for the answer to the second.
TEST(NetLoad, ALateAnswerIsNotTakenForTheNextRequest) {
    Game game(1);
    ASSERT_TRUE(game.Ready());
    Peer& client = game.clients[0];
    int first = game.ids[0];
    int second = std::stoi(client.Do("create Second"));
    ASSERT_TRUE(Stop(game.host.Pid()));
    EXPECT_EQ(client.Do("name " + std::to_string(first)), "NO_DATA");
    ASSERT_TRUE(client.Send("name " + std::to_string(second)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // lets the second question leave first
    ASSERT_EQ(kill(game.host.Pid(), SIGCONT), 0);
    std::string answer = client.Answer();
    EXPECT_TRUE(answer == "Second" || answer == "NO_DATA") << answer;
    EXPECT_EQ(client.Do("name " + std::to_string(first)), "P");
    EXPECT_EQ(client.Do("count"), "3");
}

// Connections that create no player, or leave a packet half sent, lose their places once their
// time limit passes (shortened here), and an honest program can then join.
TEST(NetLoad, IdleAndHalfSentConnectionsAreClosedAndAJoinThenSucceeds) {
    Peer host, late;
    uint16_t port = HostOnFreePort(host);
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<PacketConnection>> crowd;
    for (int i = 0; i < 97; ++i) crowd.push_back(RawConnect(port));
    for (int i = 0; i < 2; ++i) { // with a player, then half a packet
        int32_t id = 0;
        crowd.push_back(RawPlayer(port, &id));
        ASSERT_TRUE(crowd.back());
        ASSERT_TRUE(RawWrite(crowd.back()->Fd(), std::string("NL\0\x40", 4) + "QMTK"));
    }
    EXPECT_EQ(late.Do("join 127.0.0.1 " + std::to_string(port)), "0") << "every place is taken";
    ASSERT_EQ(host.Do("limits 300 300 5000"), "1");
    for (size_t i = 0; i < crowd.size(); ++i) EXPECT_TRUE(ClosedWithin(*crowd[i], 10000)) << i;
    ASSERT_EQ(host.Do("limits 5000 5000 5000"), "1");
    EXPECT_EQ(late.Do("join 127.0.0.1 " + std::to_string(port)), "1");
    EXPECT_NE(late.Do("create Late"), "-1");
}

// The host may open only two more descriptors; more clients come. It must not spin while the
// others wait, it goes on serving its game, and it takes them once descriptors are free again.
TEST(NetLoad, RunningOutOfDescriptorsDoesNotSpinTheHost) {
    Game game(1);
    ASSERT_TRUE(game.Ready());
    ASSERT_EQ(game.host.Do("fdlimit 2"), "1");
    std::vector<std::unique_ptr<PacketConnection>> accepted, waiting;
    for (int i = 0; i < 2; ++i) {
        int32_t id = 0;
        accepted.push_back(RawPlayer(game.port, &id));
        ASSERT_TRUE(accepted.back());
    }
    for (int i = 0; i < 4; ++i) waiting.push_back(RawConnect(game.port)); // queued by the system, not accepted
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(PendingAccepts(game.port), 4) << "the host has no descriptor for them";
    long cpuBefore = CpuMs(game.host.Pid());
    auto start = Wall::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    long cpu = CpuMs(game.host.Pid()) - cpuBefore, wall = MsSince(start);
    std::printf("[ measured ] host CPU while out of descriptors: %ld ms in %ld ms\n", cpu, wall);
    EXPECT_LT(cpu, wall / 10);
    EXPECT_EQ(game.clients[0].Do("count"), "4");
    accepted.clear();
    waiting.clear();
    int32_t id = 0;
    EXPECT_TRUE(RawPlayer(game.port, &id)) << "descriptors are free again";
}
