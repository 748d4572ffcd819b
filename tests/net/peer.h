// Helpers of the network tests: peer programs (this test program started again with --peer,
// playing one side of a game, driven through pipes) and raw connections that speak, or break,
// the wire format by hand.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/sockets.h"
#include "net/wire.h"
#include "support/free_port.h"
#include "support/within.h"

using voxatest::FreePort;
using voxatest::kPatienceMs; // only a fault waits this long
using voxatest::Within;

// Milliseconds that f takes, to tell a command that fails at once from one that waited the whole
// kNetAnswerWaitMs for an answer.
template <typename F>
long long MsTaken(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// A command line: the name, then the numbers.
template <typename... Numbers>
std::string Cmd(const std::string& name, Numbers... numbers) {
    return (name + ... + (" " + std::to_string(numbers)));
}

// One peer process. Commands (one line each, answered with one line; see PeerMain):
//   host PORT | join ADDRESS PORT | create NAME | destroy ID | send FROM TO TEXT | get ID
//   collect ID COUNT | count | id INDEX | name ID | quit | vanish
//   flood FROM TO COUNT SIZE EXPECT | limits NOPLAYER MIDPACKET STALLED | fdlimit N
class Peer {
public:
    Peer();
    ~Peer(); // ends the process if it still runs
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    bool Send(const std::string& command);                // without waiting for the answer
    std::string Answer(int timeoutMs = 2 * kPatienceMs);  // the next answer, "<timeout>" or "<gone>"
    std::string Do(const std::string& command, int timeoutMs = 2 * kPatienceMs) {
        return Send(command) ? Answer(timeoutMs) : "<gone>";
    }
    bool Eventually(const std::string& command, const std::string& expected) { // while a goodbye travels
        return Within([&] { return Do(command) == expected; }, kPatienceMs, 20);
    }
    uint16_t Host();                                      // hosts on a free port; 0 on failure
    std::string Join(uint16_t port) { return Do("join 127.0.0.1 " + std::to_string(port)); }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int toPeer_ = -1, fromPeer_ = -1;
    std::string pending_;
};

int PeerMain(); // the peer's side: reads commands on standard input until it ends

// A host with one player (101, "Host") and `count` joined client programs with one player each
// ("C0", "C1", ...).
struct Game {
    Peer host;
    std::vector<Peer> clients;
    std::vector<int> ids; // the clients' players
    uint16_t port = 0;
    explicit Game(size_t count);
    bool Ready() const { return ids.size() == clients.size(); }
};

// Raw connections to 127.0.0.1:port (null when the connection fails); RawPlayer also creates a
// player and gives its id.
std::unique_ptr<net::PacketConnection> RawConnect(uint16_t port);
std::unique_ptr<net::PacketConnection> RawPlayer(uint16_t port, int32_t* id = nullptr);
bool RawWrite(int fd, const std::string& bytes); // bytes the packet layer would refuse to write
bool SendMessage(net::PacketConnection& connection, const net::Message& message);
// Waits up to timeoutMs: Ok with a packet, Closed, or NoPending when none came.
net::NetStatus ReadWithin(net::PacketConnection& connection, int timeoutMs, std::vector<uint8_t>* packet);
// Skips other packets until a message of the type arrives.
bool ReadMessageWithin(net::PacketConnection& connection, uint8_t type, int timeoutMs, net::Message* message);
bool ClosedWithin(net::PacketConnection& connection, int timeoutMs); // skips what still arrives
