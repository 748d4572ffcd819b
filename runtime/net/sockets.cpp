// The packet-socket layer: non-blocking TCP sockets with 'N' 'L' framing and outgoing queues,
// the listening socket, polling and address conversion.
#include "net/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace net {

namespace {

constexpr size_t kReadBufferSize = 2 * (kPacketHeader + kMaxPacket);
constexpr int kMaxIov = 64;            // packets handed to one sendmsg
// The system's share of a connection's outgoing bytes. Kept small (the system doubles it) so
// that what a peer does not read waits in the connection's own queue, where its owner sees it.
constexpr int kSendBufferBytes = 128 << 10;

bool SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Small packets go out at once: a request and its answer are a few dozen bytes each.
void SetNoDelay(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

sockaddr_in ToSockaddr(const NetAddress& address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address.ip);
    sa.sin_port = htons(address.port);
    return sa;
}

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until fd is writable or the deadline passes.
bool WaitWritable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        int n = poll(&p, 1, MillisecondsLeft(deadline));
        if (n > 0) return (p.revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool ParsePort(const std::string& text, uint16_t* port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > 65535) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

} // namespace

Clock::time_point Clock::now() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return time_point(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
}

std::string AddressToText(const NetAddress& address) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address.ip >> 24) & 255u, (address.ip >> 16) & 255u,
                          (address.ip >> 8) & 255u, address.ip & 255u);
    if (address.port != 0) std::snprintf(text + n, sizeof text - n, ":%u", static_cast<unsigned>(address.port));
    return text;
}

bool TextToAddress(const std::string& text, NetAddress* address) {
    std::string host = text;
    uint16_t port = 0;
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        if (!ParsePort(text.substr(colon + 1), &port)) return false;
        host = text.substr(0, colon);
    }
    if (host.empty()) return false;
    in_addr numeric{};
    if (inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
        address->ip = ntohl(numeric.s_addr);
        address->port = port;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    address->ip = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    address->port = port;
    freeaddrinfo(found);
    return true;
}

std::vector<NetAddress> LocalAddresses() {
    std::vector<NetAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_UP) == 0) continue;
        NetAddress address;
        address.ip = ntohl(reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr);
        result.push_back(address);
    }
    freeifaddrs(list);
    return result;
}

NetAddress LoopbackAddress(uint16_t port) {
    NetAddress address;
    address.ip = INADDR_LOOPBACK;
    address.port = port;
    return address;
}

// ---- PacketConnection

std::shared_ptr<std::vector<uint8_t>> NewPacket(size_t size) {
    auto packet = std::make_shared<std::vector<uint8_t>>(kPacketHeader + size);
    (*packet)[0] = 'N';
    (*packet)[1] = 'L';
    (*packet)[2] = static_cast<uint8_t>(size >> 8);
    (*packet)[3] = static_cast<uint8_t>(size & 255);
    return packet;
}

Packet MakePacket(const void* payload, size_t size) {
    if (size > kMaxPacket) return nullptr;
    auto packet = NewPacket(size);
    if (size > 0) std::memcpy(packet->data() + kPacketHeader, payload, size);
    return packet;
}

PacketConnection::PacketConnection(int fd) : fd_(fd), readBuffer_(kReadBufferSize) {
    SetNonBlocking(fd_);
    SetNoDelay(fd_);
    setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
}

PacketConnection::~PacketConnection() {
    if (fd_ >= 0) close(fd_);
}

std::unique_ptr<PacketConnection> PacketConnection::Connect(const NetAddress& address, int timeoutMs, NetStatus* status) {
    *status = NetStatus::SystemError;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (!SetNonBlocking(fd)) {
        close(fd);
        return nullptr;
    }
    sockaddr_in sa = ToSockaddr(address);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) {
            *status = errno == ECONNREFUSED ? NetStatus::Closed : NetStatus::SystemError;
            close(fd);
            return nullptr;
        }
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int error = 0;
        socklen_t length = sizeof error;
        if (!WaitWritable(fd, deadline) || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            *status = error == ECONNREFUSED ? NetStatus::Closed : NetStatus::SystemError;
            close(fd);
            return nullptr;
        }
    }
    *status = NetStatus::Ok;
    return std::make_unique<PacketConnection>(fd);
}

void PacketConnection::AppendLocked(Packet packet, bool urgent) {
    if (queuedBytes_ == 0) waitingSince_ = Clock::now();
    queuedBytes_ += packet->size();
    (urgent ? urgent_ : ordinary_).push_back(std::move(packet));
}

bool PacketConnection::Queue(Packet packet, bool urgent) {
    std::lock_guard<std::mutex> guard(writeLock_);
    if (writeBroken_ || !packet) return false;
    AppendLocked(std::move(packet), urgent);
    return true;
}

NetStatus PacketConnection::Send(Packet packet, bool urgent, size_t maxQueued, bool* started) {
    std::lock_guard<std::mutex> guard(writeLock_);
    *started = false;
    if (writeBroken_ || !packet) return NetStatus::Closed;
    if (queuedBytes_ + packet->size() > maxQueued) return NetStatus::NoPending;
    bool first = queuedBytes_ == 0;
    AppendLocked(std::move(packet), urgent);
    if (!first) return NetStatus::Ok;
    NetStatus status = FlushLocked();
    *started = queuedBytes_ > 0;
    return status;
}

NetStatus PacketConnection::Flush() {
    std::lock_guard<std::mutex> guard(writeLock_);
    return FlushLocked();
}

// Hands the socket as many queued packets as one sendmsg takes, until it takes no more.
NetStatus PacketConnection::FlushLocked() {
    while (!writeBroken_ && queuedBytes_ > 0) {
        iovec iov[kMaxIov];
        int count = 0;
        auto add = [&](const Packet& packet, size_t offset) {
            iov[count].iov_base = const_cast<uint8_t*>(packet->data() + offset);
            iov[count].iov_len = packet->size() - offset;
            ++count;
        };
        if (head_) add(head_, headOffset_);
        for (size_t i = 0; i < urgent_.size() && count < kMaxIov; ++i) add(urgent_[i], 0);
        for (size_t i = 0; i < ordinary_.size() && count < kMaxIov; ++i) add(ordinary_[i], 0);
        msghdr message{};
        message.msg_iov = iov;
        message.msg_iovlen = static_cast<size_t>(count);
        ssize_t sent = sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (sent > 0) {
            Consume(static_cast<size_t>(sent));
            waitingSince_ = Clock::now();
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return NetStatus::Ok;
        // Part of a packet may be on the wire: nothing written after it would be framed right.
        writeBroken_ = true;
    }
    return writeBroken_ ? NetStatus::Closed : NetStatus::Ok;
}

// Forgets the first `bytes` queued bytes, which the socket took.
void PacketConnection::Consume(size_t bytes) {
    queuedBytes_ -= bytes;
    while (bytes > 0) {
        if (!head_) {
            std::deque<Packet>& from = urgent_.empty() ? ordinary_ : urgent_;
            head_ = std::move(from.front());
            from.pop_front();
            headOffset_ = 0;
        }
        size_t left = head_->size() - headOffset_;
        if (bytes < left) {
            headOffset_ += bytes;
            return;
        }
        bytes -= left;
        head_.reset();
        headOffset_ = 0;
    }
}

bool PacketConnection::WaitForRoom(size_t maxQueued, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Flush() != NetStatus::Ok) return false;
        if (QueuedBytes() <= maxQueued) return true;
        if (!WaitWritable(fd_, deadline)) return false;
    }
}

NetStatus PacketConnection::WritePacket(const void* payload, size_t size) {
    if (!Queue(MakePacket(payload, size))) return size > kMaxPacket ? NetStatus::SystemError : NetStatus::Closed;
    if (WaitForRoom(0, kWriteTimeoutMs)) return NetStatus::Ok;
    std::lock_guard<std::mutex> guard(writeLock_);
    return writeBroken_ ? NetStatus::Closed : NetStatus::SystemError;
}

size_t PacketConnection::QueuedBytes(Clock::time_point* since) const {
    std::lock_guard<std::mutex> guard(writeLock_);
    if (since) *since = waitingSince_;
    return queuedBytes_;
}

bool PacketConnection::HasBufferedPacket() const {
    size_t available = readEnd_ - readStart_;
    if (available < kPacketHeader) return false;
    const uint8_t* p = readBuffer_.data() + readStart_;
    if (p[0] != 'N' || p[1] != 'L') return true; // out of sync: the next read reports it
    size_t length = (static_cast<size_t>(p[2]) << 8) | p[3];
    return length > kMaxPacket || available >= kPacketHeader + length;
}

bool PacketConnection::HasPartialPacket() const { return readEnd_ > readStart_ && !HasBufferedPacket(); }

Clock::time_point PacketConnection::PartialSince() const { return partialSince_; }

// Takes one whole packet out of the read buffer. False when none is complete yet; status is
// Closed when the bytes there cannot be the start of a packet.
bool PacketConnection::ExtractPacket(std::vector<uint8_t>* payload, NetStatus* status) {
    size_t available = readEnd_ - readStart_;
    if (available < kPacketHeader) return false;
    const uint8_t* p = readBuffer_.data() + readStart_;
    size_t length = (static_cast<size_t>(p[2]) << 8) | p[3];
    if (p[0] != 'N' || p[1] != 'L' || length > kMaxPacket) {
        *status = NetStatus::Closed;
        return false;
    }
    if (available < kPacketHeader + length) return false;
    payload->assign(p + kPacketHeader, p + kPacketHeader + length);
    readStart_ += kPacketHeader + length;
    if (readStart_ == readEnd_) readStart_ = readEnd_ = 0;
    partialSince_ = lastReceive_; // the next packet's first bytes came with the last receive
    *status = NetStatus::Ok;
    return true;
}

NetStatus PacketConnection::ReadPacket(std::vector<uint8_t>* payload) {
    NetStatus status = NetStatus::NoPending;
    if (ExtractPacket(payload, &status) || status == NetStatus::Closed) return status;
    // Make room at the end: a whole packet always fits once the unconsumed bytes are moved down.
    if (readStart_ > 0) {
        std::memmove(readBuffer_.data(), readBuffer_.data() + readStart_, readEnd_ - readStart_);
        readEnd_ -= readStart_;
        readStart_ = 0;
    }
    for (;;) {
        size_t room = readBuffer_.size() - readEnd_;
        ssize_t n = recv(fd_, readBuffer_.data() + readEnd_, room, 0);
        if (n > 0) {
            drained_ = static_cast<size_t>(n) < room;
            lastReceive_ = Clock::now();
            if (readEnd_ == 0) partialSince_ = lastReceive_;
            readEnd_ += static_cast<size_t>(n);
            break;
        }
        if (n == 0) return NetStatus::Closed; // the peer left, perhaps in the middle of a packet
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            drained_ = true;
            return NetStatus::NoPending;
        }
        return NetStatus::Closed;
    }
    ExtractPacket(payload, &status);
    return status;
}

// ---- PacketListener

PacketListener::~PacketListener() {
    if (fd_ >= 0) close(fd_);
}

std::unique_ptr<PacketListener> PacketListener::Open(uint16_t port, NetStatus* status) {
    *status = NetStatus::SystemError;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    NetAddress any;
    any.ip = INADDR_ANY;
    any.port = port;
    sockaddr_in sa = ToSockaddr(any);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 64) != 0 || !SetNonBlocking(fd) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        close(fd);
        return nullptr;
    }
    *status = NetStatus::Ok;
    return std::unique_ptr<PacketListener>(new PacketListener(fd, ntohs(bound.sin_port)));
}

NetStatus PacketListener::Accept(std::unique_ptr<PacketConnection>* connection) {
    for (;;) {
        int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            *connection = std::make_unique<PacketConnection>(fd);
            return NetStatus::Ok;
        }
        switch (errno) {
        case EINTR: continue;
        // No descriptor or memory for the connection: it stays pending, and the listening
        // socket stays readable, so the caller must wait before it tries again.
        case EMFILE: case ENFILE: case ENOBUFS: case ENOMEM:
        case EBADF: case EINVAL: case ENOTSOCK: case EOPNOTSUPP: return NetStatus::SystemError;
        default: return NetStatus::NoPending; // nothing waiting, or a peer that gave up meanwhile
        }
    }
}

bool PollSet(std::vector<pollfd>* set, int timeoutMs) {
    int n;
    do {
        n = poll(set->data(), set->size(), timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n >= 0;
}

bool PollReadable(const std::vector<int>& fds, int timeoutMs, std::vector<int>* ready) {
    ready->clear();
    std::vector<pollfd> set;
    set.reserve(fds.size());
    for (int fd : fds) set.push_back(pollfd{fd, POLLIN, 0});
    if (!PollSet(&set, timeoutMs)) return false;
    for (const pollfd& p : set)
        if (p.revents != 0) ready->push_back(p.fd);
    return true;
}

} // namespace net
