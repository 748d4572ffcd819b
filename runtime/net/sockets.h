// The packet-socket layer under the network commands: TCP connections that carry whole packets,
// a listening socket with non-blocking accept, a group of sockets polled without waiting, and
// address conversion. Only this folder touches sockets.
//
// Framing: each packet is the two bytes 'N' 'L', the payload length as a 16-bit big-endian
// number, then the payload. A length above 16384 or a wrong signature means the stream is out of
// sync; the connection reports Closed and must be dropped, since nothing after that point can be
// trusted. Every socket is non-blocking: a read returns a packet only once all of it has arrived
// and keeps partial bytes for the next read, so a slow or stalled peer never blocks its reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace net {

constexpr size_t kMaxPacket = 16384;     // largest payload a packet may announce
constexpr size_t kPacketHeader = 4;      // 'N' 'L' and the 16-bit length
constexpr int kWriteTimeoutMs = 1000;    // a peer that takes no bytes for this long is given up

// Results of socket operations. NoPending: nothing to accept or no whole packet yet. Closed: the
// peer went away or the stream is out of sync. SystemError: the operating system refused.
enum class NetStatus { Ok, NoPending, Closed, SystemError };

// An IPv4 address and port, both in host byte order.
struct NetAddress {
    uint32_t ip = 0;
    uint16_t port = 0;
};

std::string AddressToText(const NetAddress& address);                 // "a.b.c.d:port", or "a.b.c.d" for port 0
bool TextToAddress(const std::string& text, NetAddress* address);      // "a.b.c.d", "a.b.c.d:port" or a host name; false when unknown
std::vector<NetAddress> LocalAddresses();                              // IPv4 addresses of the interfaces that are up (port 0)
NetAddress LoopbackAddress(uint16_t port);                             // 127.0.0.1:port

// One connection carrying packets. Writes are whole packets and may come from two threads at
// once (the commands and the network thread); reads come from one thread only.
class PacketConnection {
public:
    explicit PacketConnection(int fd);   // takes ownership of a connected socket
    ~PacketConnection();                 // closes it
    PacketConnection(const PacketConnection&) = delete;
    PacketConnection& operator=(const PacketConnection&) = delete;

    // Connects within timeoutMs; null with the reason in status on failure.
    static std::unique_ptr<PacketConnection> Connect(const NetAddress& address, int timeoutMs, NetStatus* status);

    NetStatus WritePacket(const void* payload, size_t size); // Ok when all of it was written; Closed/SystemError else
    NetStatus ReadPacket(std::vector<uint8_t>* payload);    // Ok with one packet, NoPending, or Closed
    bool HasBufferedPacket() const;                          // a whole packet waits in the read buffer
    int Fd() const { return fd_; }

private:
    bool ExtractPacket(std::vector<uint8_t>* payload, NetStatus* status);

    int fd_;
    std::mutex writeLock_;               // keeps packets of two writers from interleaving
    bool writeBroken_ = false;           // a write failed part-way: the stream is no longer framed
    std::vector<uint8_t> readBuffer_;    // at most two packets' worth of bytes
    size_t readStart_ = 0;               // first unconsumed byte
    size_t readEnd_ = 0;                 // one past the last received byte
};

// A listening socket; Accept never waits.
class PacketListener {
public:
    ~PacketListener();
    PacketListener(const PacketListener&) = delete;
    PacketListener& operator=(const PacketListener&) = delete;

    // Listens on every interface at port; null with the reason in status on failure.
    static std::unique_ptr<PacketListener> Open(uint16_t port, NetStatus* status);

    // Ok with a new connection, NoPending when none waits (transient failures such as a peer
    // that gave up before it was accepted count as none), SystemError when the socket cannot
    // accept at all.
    NetStatus Accept(std::unique_ptr<PacketConnection>* connection);
    uint16_t Port() const { return port_; }
    int Fd() const { return fd_; }

private:
    PacketListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
    int fd_;
    uint16_t port_;
};

// Waits up to timeoutMs (0: not at all) until one of fds is readable. Returns the readable ones
// in ready; false on a system error.
bool PollReadable(const std::vector<int>& fds, int timeoutMs, std::vector<int>* ready);

} // namespace net
