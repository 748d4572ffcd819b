// The network object and its thread (internal to this folder).
//
// One NetGame per program. The commands run on the main thread; while a game is hosted or
// joined one network thread does the socket traffic, the host's accepting and routing, and the
// delivery of what arrives. Both sides share the lists below under `lock`; the commands wait on
// `changed` for the thread's answers instead of polling. On a client, a command waiting for an
// answer reads and delivers what the host sends itself meanwhile (ReadForCommand).
//
// A client has one connection to the host (`socket`): what arrives on it is only ever delivered
// to this program's players. The host keeps its own program's traffic in process: its commands
// put their messages into `hostInbox`, the thread routes them like a client's, and what the
// routing addresses to the host's program is delivered to its players directly. What arrives on
// the host's accepted connections is only ever routed. So the host's own traffic can neither be
// lost in a socket buffer nor cut off, and a message to all is delivered once to every local
// player of every program.
//
// Nothing the thread does waits for a peer: every connection has an outgoing queue that leaves
// as the socket takes it. While a client that is taking bytes has more than kBusyQueueBytes
// queued, the host reads no further texts (it stops at the next one of each connection, and
// at the next one in its inbox) but still reads everything else, so senders slow down to what
// the slowest reader takes and nobody's requests wait. A peer whose queue passes
// kMaxQueuedBytes, or that takes no bytes for stalledWriteMs, is dropped with its players;
// so is one that creates no player within noPlayerMs of being accepted, or that leaves a
// packet half sent for midPacketMs.
//
// A program that reads its players' texts slower than they come slows the senders down in the
// same way: while one of its players has kFullLocalQueueBytes waiting and the program still asks
// for them, a client stops reading from the host and the host holds texts back. A program that
// asks for none for its grace (kLocalReaderGraceMs on a client, kHostReaderGraceMs on the host)
// no longer holds anybody up; its player's texts beyond kMaxLocalQueueBytes are dropped.
//
// The graces are long enough that a program the system stops for a moment on a busy machine is
// waited for, and ordered so that waiting never turns into a loss elsewhere: a client's grace
// ends before the host's grace for that client's connection (so the client reads again before
// the host stops waiting for it), and every grace ends before a sender's NetSendMessage gives
// up waiting for room (two seconds) and long before a client is dropped as stalled.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/sockets.h"
#include "net/wire.h"
#include "voxa/net.h"

namespace net {

constexpr size_t kMaxConnections = 100;          // host: in all, its own program's included
constexpr size_t kMaxPlayers = 4096;             // host: further players are refused (id 0)
constexpr size_t kMaxPlayersPerConnection = 64;  // host: further players of one client are refused
constexpr size_t kMaxQueuedBytes = 4u << 20;     // one connection's outgoing queue (and the host's inbox)
constexpr size_t kBusyQueueBytes = 1u << 20;     // a queue this full holds back further texts...
constexpr int kBusyQueueGraceMs = 1000;          // ...unless it took no bytes for this long
constexpr size_t kMaxLocalQueueBytes = 16u << 20; // received texts per local player; messages beyond are dropped
constexpr size_t kFullLocalQueueBytes = 8u << 20; // a local player's queue this full holds back further texts...
constexpr int kLocalReaderGraceMs = 500;          // ...while its program asked within this time (client)
constexpr int kHostReaderGraceMs = 1000;          // ...the same on the host, for its own program
// The order the graces must keep (see above): a client reads again before the host stops waiting
// for it, and nobody is waited for as long as a sender waits for room.
static_assert(kLocalReaderGraceMs < kBusyQueueGraceMs && kBusyQueueGraceMs < kNetAnswerWaitMs &&
              kHostReaderGraceMs < kNetAnswerWaitMs);
constexpr size_t kMaxReplies = 64;               // answers kept for the commands
constexpr int kPassMs = 10;                      // longest wait of one pass of the thread
constexpr int kAcceptPauseMs = 250;              // no accepting for this long after the system refused
constexpr int kFromHost = -1;                    // origin of what arrives on a client's `socket`
constexpr int kHostProgram = -2;                 // host: origin and connection of its own program's traffic

// The host's time limits for its clients (settable so tests need not wait for them).
struct NetLimits {
    int noPlayerMs = 5000;        // a connection must create a player within this of being accepted
    int midPacketMs = 5000;       // longest time a packet may take to arrive once begun
    int stalledWriteMs = 5000;    // longest time a peer may take no bytes while some wait for it
};

struct LocalPlayer {
    PlayerRecordWire record;      // id: kIdNew, kIdRequested, or the host's id
    uint64_t key = 0;             // unique within the program, to find the record again
    bool abandoned = false;       // creation given up while the host's answer was on its way
    std::deque<std::string> queue; // received texts, oldest first
    size_t queuedBytes = 0;
    Clock::time_point lastTaken;  // when the program last asked for a text (NetGetMessage), even of an empty queue
};

struct Arrived {
    Message message;              // a text from a client: without its payload, which is in `packet`
    int origin = kFromHost;       // kFromHost, kHostProgram, or the fd of the host's connection it came on
    Packet packet;                // a text from a client: the packet as it came, forwarded as it is
};

struct Outgoing {
    int target = kFromHost;       // the fd of one of the host's connections, or kFromHost: to the host
    Packet packet;
    bool urgent = false;          // anything but a text: overtakes the texts already queued
};

// The host's side of one client.
struct ClientLink {
    std::unique_ptr<PacketConnection> link;
    Clock::time_point acceptedAt;
    bool createdPlayer = false;   // has asked for a player at least once
    size_t players = 0;           // players it holds in the host's table
    bool readable = true;         // the last poll saw bytes (or a new connection: look once)
    bool writeBlocked = false;    // the socket took no more: write again when poll says writable
    std::optional<Arrived> held;  // a text read while the queues were too full, routed first once they are not
};

// The network object, which is the state of the net folder: one per program (TheNetGame), made
// on first use and never destroyed. Reset: CreateNetGame (RuntimeStart) and ShutdownNetGame
// (EndProgram) stop the thread and close the game (CloseGame: sockets, players, queues and
// counters back to none); a command that hosts or joins a game closes the one before. The
// limits and the key counter are never reset.
class NetGame {
public:
    NetGame();
    ~NetGame();                   // stops the thread

    // Fields shared with the thread, all under `lock`.
    bool isHost = false;                      // true after NetHostGame
    bool initialised = false;                 // set up on first use
    std::shared_ptr<PacketConnection> socket; // client: its connection to the host; host: none
    std::deque<Message> hostInbox;            // host: its program's messages, waiting for the thread
    size_t hostInboxBytes = 0;                // bytes of the messages in hostInbox
    size_t hostInboxOthers = 0;               // messages in hostInbox that are not texts
    std::vector<LocalPlayer> localPlayers;    // players created by this program, in creation order
    std::vector<PlayerRecordWire> players;    // host: every player; connection = its connection's fd or kHostProgram
    uint32_t networkType = 3;                 // IPv4
    uint32_t connectionType = 17;             // packet-framed TCP
    bool stopRequest = false;                 // asks the thread to end
    bool threadRunning = false;               // set by the thread while it runs
    std::deque<Message> replies;              // answers to this program's requests
    std::atomic<uint32_t> repliesFiled{0};    // counts answers filed into `replies`, read without the lock
    // Requests of each kind (101..104) sent and not answered yet, and how many of those their
    // commands gave up on: that many answers of the kind are late and thrown away on arrival.
    std::array<uint32_t, 4> unanswered{};     // requests sent and not answered, by kind
    std::array<uint32_t, 4> givenUp{};        // of those, the ones their commands gave up on
    uint64_t nextKey = 1;                     // for LocalPlayer::key
    NetLimits limits;                         // the host's time limits for its clients
    std::mutex lock;                          // guards the fields above
    std::condition_variable changed;          // an id or an answer arrived, the inbox has room, or the thread ended
    int waitingCommands = 0;                  // client: commands in WaitForHost; the thread signals them what it delivers

    // Owned by the thread while it runs; by the commands while it does not.
    std::unique_ptr<PacketListener> listener;                  // host only
    std::map<int, ClientLink> connections;                     // host only, by fd
    int32_t nextId = kFirstPlayerId;                           // host only

    void StartThread();
    void StopThread();                        // asks the thread to end and joins it
    void Wake();                              // cuts the thread's current wait short
    void CloseGame();                         // thread stopped: closes every socket, forgets every player
    bool Playing() const;                     // a game is hosted or joined and its thread runs (caller holds `lock`)

    // Sends one message to the host (on the host: into its inbox). Waits up to kNetAnswerWaitMs
    // while kMaxQueuedBytes wait already; false when there is no game, no room or the stream broke.
    bool SendOwn(const Message& message);
    void FlushOwn(int timeoutMs);             // client: waits up to timeoutMs until the queue to the host is written

    // Client, for a command that waits for the host's answer (caller does not hold `lock`):
    // waits up to waitMs for bytes from the host and reads and delivers them on the command's
    // own thread, as the network thread would. The answer then needs no hand-over from the
    // thread to the command, which on an idle machine is the larger part of a request's time.
    // The caller counts itself in waitingCommands, so that the wait also ends when the thread
    // delivered something meanwhile; it looks again at what it waits for after each call. False
    // when the reading is left to the thread: this program is behind with its texts (the
    // thread's flow control decides when to read again), the stream broke, or there is no game;
    // the caller then waits on `changed`.
    bool ReadForCommand(int waitMs);

private:
    void Run();
    bool BeginPass(bool* busy);
    void FinishSending();
    bool ReadOwnSocket(bool* busy);
    NetStatus ReadFromHost(PacketConnection& link, std::vector<uint8_t>* packet, std::vector<Arrived>* arrived); // holds readLock_
    void PushHostInbox(const Message& message);          // caller holds `lock`
    bool TakeHostInbox(int most);                        // caller holds `lock`
    bool InboxReady() const;                             // caller holds `lock`
    bool LocalReaderBehind(Clock::time_point now) const; // caller holds `lock`
    void AcceptPending();
    bool ReadConnections();
    void DropConnection(int fd);
    void Dispatch();
    void Deliver(Message& message, std::vector<Outgoing>* out);
    void Route(Arrived& item, std::vector<Outgoing>* out);
    void CreatePlayer(Arrived& item, std::vector<Outgoing>* out);
    void Answer(const Arrived& item, std::vector<Outgoing>* out);
    void Reply(int origin, Message message, std::vector<Outgoing>* out);
    void QueueToHost(const Message& message, std::vector<Outgoing>* out);
    void SendAll();
    void EnforceLimits();
    void WaitForTraffic(bool busy);
    void ReturnFreedMemory(size_t queued);

    std::thread thread_;          // the network thread while a game is hosted or joined
    int wakeFd_ = -1;             // eventfd: commands wake the thread through it
    int deliveredFd_ = -1;        // eventfd: the thread tells a command reading for itself that it delivered something
    // The thread's own, kept from pass to pass.
    std::shared_ptr<PacketConnection> own_; // client: `socket`, for the thread's life (or until it closes)
    std::vector<Arrived> arrived_;          // this pass: read and taken
    std::vector<Outgoing> out_;             // this pass: to be queued
    std::vector<uint8_t> packet_;           // the packet last read from a socket
    // Client: held by whoever reads the connection to the host (the thread, or a command waiting
    // for an answer) from the first read until what it read is delivered, so that what the host
    // sent is delivered in the order it came.
    std::mutex readLock_;
    std::vector<uint8_t> commandPacket_;    // client: the packet a command last read (under readLock_)
    std::vector<pollfd> pollSet_;           // the sockets of this pass's poll
    std::vector<ClientLink*> polled_;       // host: the client of each polled socket
    NetLimits limits_;                      // host: `limits`, as of this pass
    bool listenerReady_ = true;             // host: connections may be waiting to be accepted
    Clock::time_point acceptPausedUntil_;   // host: accepting waits after the system refused (then listenerReady_ stays set)
    Clock::time_point nextLimitCheck_;      // host: when to look for clients past their time limits
    size_t peakQueued_ = 0;       // host: most bytes queued since memory was last returned
    int readFrom_ = -1;           // host: the connection read first in the last pass
    bool queuesFull_ = false;     // host: a client that is taking bytes has kBusyQueueBytes queued
    bool holdTexts_ = false;      // host: that, or its own program is behind: read no texts
    bool ownPaused_ = false;      // client: this program is behind with its texts: the thread reads nothing from the host
};

NetGame& TheNetGame();            // the program's one network object

// The reply slot of a request type (101..104), or -1 for any other type.
int ReplySlot(uint8_t type);

} // namespace net
