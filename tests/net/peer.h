// Peer programs (this test program started again with --peer, driven through pipes) and raw
// connections that speak, or break, the wire format. Only a fault waits kPatienceMs out.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "net/sockets.h"
#include "net/wire.h"
#include "support/free_port.h"
#include "support/piped_program.h"
#include "support/within.h"

using voxatest::FreePort;
using voxatest::kPatienceMs;
using voxatest::Within;

template <typename F>
long long MsTaken(F f) { // a command that fails at once takes far less than kNetAnswerWaitMs
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

template <typename... Numbers>
std::string Cmd(const std::string& name, Numbers... numbers) { // "name 1 2 3"
    return (name + ... + (" " + std::to_string(numbers)));
}

std::istringstream ProcWords(pid_t pid, const char* file, const std::string& after); // of /proc/PID/FILE, after `after`

// One peer process; its commands are listed in peer.cpp.
class Peer {
public:
    bool Send(const std::string& command) { return program_.Write(command + "\n"); } // without waiting for the answer
    std::string Answer(int timeoutMs = 2 * kPatienceMs); // the next answer, "<timeout>" or "<gone>"
    std::string Do(const std::string& command) { return Send(command) ? Answer() : "<gone>"; }
    bool Eventually(const std::string& command, const std::string& expected) { // while a goodbye travels
        return Within([&] { return Do(command) == expected; }, kPatienceMs, 20);
    }
    uint16_t Host(); // on a free port; 0 on failure
    std::string Join(uint16_t port) { return Do(Cmd("join -", port)); } // the address "": this machine
    pid_t Pid() const { return program_.Pid(); }

private:
    voxatest::PipedProgram program_{"/proc/self/exe", {"net_peer", "--peer"}}; // ends when its input closes
};

// A host with one player (101, "Host") and `count` joined programs with one player each ("C0"...).
struct Game {
    Peer host;
    std::vector<Peer> clients;
    std::vector<int> ids; // the clients' players
    uint16_t port = 0;
    explicit Game(size_t count);
    bool Ready() const { return ids.size() == clients.size(); }
};

// Raw connections to 127.0.0.1:port (null on failure); RawPlayer also creates a player.
std::unique_ptr<net::PacketConnection> RawConnect(uint16_t port);
std::unique_ptr<net::PacketConnection> RawPlayer(uint16_t port, int32_t* id = nullptr);
bool RawWrite(int fd, const std::string& bytes); // what the packet layer would refuse to write
bool SendMessage(net::PacketConnection& connection, const net::Message& message);
// Ok with a packet, Closed, or NoPending when none came in time.
net::NetStatus ReadWithin(net::PacketConnection& connection, int timeoutMs, std::vector<uint8_t>* packet);
bool ReadMessageWithin(net::PacketConnection& connection, uint8_t type, net::Message* message); // skips others
bool ClosedWithin(net::PacketConnection& connection);                                           // skips what comes
