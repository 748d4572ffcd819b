// Helpers of the network tests: a peer program driven through pipes, free ports, and a raw
// packet connection for speaking (or breaking) the wire format by hand.
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

// How long a test waits for what should come at once (an answer, a packet, a closed connection,
// a message): only a fault waits this long, so a loaded machine cannot make a test fail.
using voxatest::kPatienceMs;
using voxatest::Within;

// Milliseconds that f takes. A command that waits for the host's answer takes kNetAnswerWaitMs;
// one that fails at once takes a few: tests compare one call with that whole wait.
template <typename F>
long long MsTaken(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// One net_peer process. Every command waits at most timeoutMs for its one-line answer (a
// "collect" may itself wait kPatienceMs).
class Peer {
public:
    Peer();
    ~Peer();                                      // ends the process if it still runs
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    std::string Do(const std::string& command, int timeoutMs = 2 * kPatienceMs); // Send, then Answer
    bool Send(const std::string& command);        // without waiting for the answer
    std::string Answer(int timeoutMs = 2 * kPatienceMs); // the next answer without "=", "<timeout>" or "<gone>"
    bool Exited(int timeoutMs);                   // waits for the process to end
    bool Alive();
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int toPeer_ = -1;
    int fromPeer_ = -1;
    std::string pending_;
};


using voxatest::FreePort;

// Hosts on a free port (a few tries, since another test may take the port meanwhile); 0 on failure.
uint16_t HostOnFreePort(Peer& host);

// A raw connection to 127.0.0.1:port; null when the connection fails.
std::unique_ptr<net::PacketConnection> RawConnect(uint16_t port);

// Waits up to timeoutMs for one whole packet. False when none came or the connection closed.
bool ReadPacketWithin(net::PacketConnection& connection, int timeoutMs, std::vector<uint8_t>* packet);

// Reads packets until a decodable message of the given type arrives (others are skipped).
bool ReadMessageWithin(net::PacketConnection& connection, uint8_t type, int timeoutMs, net::Message* message);

bool SendMessage(net::PacketConnection& connection, const net::Message& message);

// Waits up to timeoutMs for the peer to close the connection.
bool ClosedWithin(net::PacketConnection& connection, int timeoutMs);

// Raw bytes on a plain socket, for what the packet layer would refuse to write.
int RawSocket(uint16_t port);                     // connected fd or -1
bool RawWrite(int fd, const std::string& bytes);
