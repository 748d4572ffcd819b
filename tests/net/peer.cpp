// The network tests' helpers: peer processes, free ports and raw connections.
#include "peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "support/spawn_piped.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

Peer::Peer() {
    char* argv[] = {const_cast<char*>(NET_PEER_PATH), nullptr};
    voxatest::PipedChild child = voxatest::SpawnPiped(NET_PEER_PATH, argv, environ);
    pid_ = child.pid;
    toPeer_ = child.input;
    fromPeer_ = child.output;
}

Peer::~Peer() {
    if (toPeer_ >= 0) close(toPeer_);
    if (pid_ > 0 && !Exited(3000)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromPeer_ >= 0) close(fromPeer_);
}

std::string Peer::Do(const std::string& command, int timeoutMs) {
    return Send(command) ? Answer(timeoutMs) : "<gone>";
}

bool Peer::Send(const std::string& command) {
    std::string line = command + "\n";
    return pid_ > 0 && write(toPeer_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

std::string Peer::Answer(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string answer = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return answer.empty() || answer[0] != '=' ? "<garbled>" : answer.substr(1);
        }
        pollfd p{fromPeer_, POLLIN, 0};
        if (poll(&p, 1, LeftMs(deadline)) <= 0) return "<timeout>";
        char buffer[65536];
        ssize_t n = read(fromPeer_, buffer, sizeof buffer);
        if (n <= 0) return "<gone>";
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

bool Peer::Exited(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid_ > 0) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        if (LeftMs(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Peer::Alive() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

uint16_t HostOnFreePort(Peer& host) {
    for (int i = 0; i < 5; ++i) {
        uint16_t port = FreePort();
        if (port != 0 && host.Do("host " + std::to_string(port)) == "1") return port;
    }
    return 0;
}

std::unique_ptr<net::PacketConnection> RawConnect(uint16_t port) {
    net::NetStatus status;
    return net::PacketConnection::Connect(net::LoopbackAddress(port), 2000, &status);
}

bool ReadPacketWithin(net::PacketConnection& connection, int timeoutMs, std::vector<uint8_t>* packet) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        net::NetStatus status = connection.ReadPacket(packet);
        if (status == net::NetStatus::Ok) return true;
        if (status != net::NetStatus::NoPending || LeftMs(deadline) == 0) return false;
        std::vector<int> ready;
        net::PollReadable({connection.Fd()}, LeftMs(deadline), &ready);
    }
}

bool ReadMessageWithin(net::PacketConnection& connection, uint8_t type, int timeoutMs, net::Message* message) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> packet;
    while (ReadPacketWithin(connection, LeftMs(deadline), &packet)) {
        if (net::DecodeMessage(packet.data(), packet.size(), message) == net::DecodeResult::Ok && message->type == type)
            return true;
    }
    return false;
}

bool SendMessage(net::PacketConnection& connection, const net::Message& message) {
    std::vector<uint8_t> bytes = net::EncodeMessage(message);
    return connection.WritePacket(bytes.data(), bytes.size()) == net::NetStatus::Ok;
}

bool ClosedWithin(net::PacketConnection& connection, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> packet;
    for (;;) {
        net::NetStatus status = connection.ReadPacket(&packet);
        if (status == net::NetStatus::Closed) return true;
        if (status == net::NetStatus::NoPending && LeftMs(deadline) == 0) return false;
        std::vector<int> ready;
        if (status == net::NetStatus::NoPending) net::PollReadable({connection.Fd()}, LeftMs(deadline), &ready);
    }
}

int RawSocket(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool RawWrite(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}
