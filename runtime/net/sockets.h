// The packet-socket layer under the network commands: TCP connections that carry whole packets,
// a listening socket with non-blocking accept, polling and address conversion. Only this folder
// touches sockets.
//
// Framing: each packet is the two bytes 'N' 'L', the payload length as a 16-bit big-endian
// number, then the payload. A length above 16384 or a wrong signature means the stream is out of
// sync; the connection reports Closed and must be dropped, since nothing after that point can be
// trusted. Every socket is non-blocking. A read returns a packet only once all of it has arrived
// and keeps partial bytes for the next read. A write puts the packet into the connection's
// outgoing queue, which leaves as the socket takes it, so a slow or stalled peer never blocks
// whoever writes to it: the queue's size and age tell the owner when to give the peer up.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace net {

constexpr size_t kMaxPacket = 16384;     // largest payload a packet may announce
constexpr size_t kPacketHeader = 4;      // 'N' 'L' and the 16-bit length
constexpr int kWriteTimeoutMs = 1000;    // longest wait of WritePacket for the socket to take the queue

// The clock of the network's deadlines and time limits: the system's coarse monotonic clock.
// It is a few milliseconds fine, plenty for limits of 100 ms and more, and several times
// cheaper to read than the precise one, which the thread would otherwise read for every packet.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<Clock>;
    static constexpr bool is_steady = true;
    static time_point now() noexcept;
};

// Results of socket operations. NoPending: nothing to accept or no whole packet yet. Closed: the
// peer went away or the stream is out of sync. SystemError: the operating system refused (for
// Accept also: out of file descriptors or memory, try again later).
enum class NetStatus { Ok, NoPending, Closed, SystemError };

// One framed packet ('N' 'L', length, payload). Immutable once made, so one packet can wait in
// the queues of many connections at once (a message to all is stored once).
using Packet = std::shared_ptr<const std::vector<uint8_t>>;
Packet MakePacket(const void* payload, size_t size); // null when size is above kMaxPacket
// A packet of `size` payload bytes (at most kMaxPacket) with its first four bytes written; the
// caller fills the payload from offset kPacketHeader before sharing it.
std::shared_ptr<std::vector<uint8_t>> NewPacket(size_t size);

// An IPv4 address and port, both in host byte order.
struct NetAddress {
    uint32_t ip = 0;
    uint16_t port = 0;
};

std::string AddressToText(const NetAddress& address);                 // "a.b.c.d:port", or "a.b.c.d" for port 0
bool TextToAddress(const std::string& text, NetAddress* address);      // "a.b.c.d", "a.b.c.d:port" or a host name; false when unknown
std::vector<NetAddress> LocalAddresses();                              // IPv4 addresses of the interfaces that are up (port 0)
NetAddress LoopbackAddress(uint16_t port);                             // 127.0.0.1:port

// One connection carrying packets. Writes may come from two threads at once (the commands and
// the network thread); reads come from one thread only.
class PacketConnection {
public:
    explicit PacketConnection(int fd);   // takes ownership of a connected socket
    ~PacketConnection();                 // closes it; what is still queued is lost
    PacketConnection(const PacketConnection&) = delete;
    PacketConnection& operator=(const PacketConnection&) = delete;

    // Connects within timeoutMs; null with the reason in status on failure.
    static std::unique_ptr<PacketConnection> Connect(const NetAddress& address, int timeoutMs, NetStatus* status);

    // ---- Writing. Urgent packets (answers, control messages) overtake ordinary ones already
    // queued, but never a packet that is partly on the wire.
    bool Queue(Packet packet, bool urgent = false);         // false once the stream is broken
    // Queues a packet unless more than maxQueued bytes would then wait (NoPending), and when
    // the queue was empty writes at once what the socket takes; a packet queued behind others
    // waits for whoever writes those. Ok, NoPending or Closed; *started is set when this packet
    // began the queue and bytes are left (the owner must write them when the socket is writable).
    NetStatus Send(Packet packet, bool urgent, size_t maxQueued, bool* started);
    NetStatus Flush();                                       // writes what the socket takes now: Ok (bytes may be left) or Closed
    bool WaitForRoom(size_t maxQueued, int timeoutMs);       // flushes until at most maxQueued bytes wait; false on timeout or a broken stream
    NetStatus WritePacket(const void* payload, size_t size); // queues, then writes the whole queue within kWriteTimeoutMs: Ok, SystemError (time out, the rest stays queued) or Closed
    size_t QueuedBytes(Clock::time_point* since = nullptr) const; // bytes waiting to be written; since: the last write progress, or when the queue filled from empty

    // ---- Reading.
    NetStatus ReadPacket(std::vector<uint8_t>* payload);    // Ok with one packet, NoPending, or Closed
    bool HasBufferedPacket() const;                          // a whole packet waits in the read buffer
    bool HasPartialPacket() const;                           // part of a packet waits for the rest
    bool Drained() const { return drained_; }                // the last receive took all the socket had: poll says when more comes
    Clock::time_point PartialSince() const;                  // when that part began to arrive
    int Fd() const { return fd_; }

private:
    bool ExtractPacket(std::vector<uint8_t>* payload, NetStatus* status);
    NetStatus FlushLocked();
    void AppendLocked(Packet packet, bool urgent);
    void Consume(size_t bytes);

    int fd_;
    mutable std::mutex writeLock_;       // guards the write side below
    bool writeBroken_ = false;           // a write failed: the stream is no longer framed
    Packet head_;                        // the packet partly written, if any
    size_t headOffset_ = 0;              // its bytes already written
    std::deque<Packet> urgent_;          // then these, oldest first
    std::deque<Packet> ordinary_;        // then these
    size_t queuedBytes_ = 0;
    Clock::time_point waitingSince_;
    std::vector<uint8_t> readBuffer_;    // at most two packets' worth of bytes
    size_t readStart_ = 0;               // first unconsumed byte
    size_t readEnd_ = 0;                 // one past the last received byte
    bool drained_ = false;               // the last receive took less than it had room for
    Clock::time_point lastReceive_;      // when bytes last arrived
    Clock::time_point partialSince_;     // when the bytes at readStart_ arrived
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
bool PollSet(std::vector<pollfd>* set, int timeoutMs);      // poll() that repeats on EINTR; false on a system error

} // namespace net
