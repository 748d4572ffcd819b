// The network object and its thread (internal to this folder).
//
// One NetGame per program. The commands run on the main thread; while a game is hosted or
// joined one network thread does all socket reads, the host's accepting and routing, and the
// delivery of what arrives. Both sides share the lists below under `lock`; the commands wait on
// `changed` for the thread's answers instead of polling. Socket writes by either side happen
// outside the lock (each connection serialises its own writes).
//
// The host is also a client of itself: `socket` is connected to its own listening port, so the
// host's players are created, queried and messaged exactly like everybody else's. What arrives
// on `socket` is only ever delivered to this program's players; what arrives on the host's
// accepted connections is only ever routed. A message to all is therefore forwarded once to
// every connection (the loop-back one included) and delivered once to every local player of
// every program.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/sockets.h"
#include "net/wire.h"

namespace net {

constexpr size_t kMaxConnections = 100;          // host: further connections are closed at once
constexpr size_t kMaxPlayers = 4096;             // host: further players are refused (id 0)
constexpr size_t kMaxQueuedBytes = 16u << 20;    // per local player; messages beyond are dropped
constexpr size_t kMaxReplies = 64;               // answers kept for the commands
constexpr int kPassMs = 10;                      // longest wait of one pass of the thread
constexpr int kOwnSocket = -1;                   // origin of what arrives on `socket`

struct LocalPlayer {
    PlayerRecordWire record;      // id: kIdNew, kIdRequested, or the host's id
    uint64_t key = 0;             // unique within the program, to find the record again
    bool abandoned = false;       // creation given up while the host's answer was on its way
    std::deque<std::string> queue; // received texts, oldest first
    size_t queuedBytes = 0;
};

struct Arrived {
    Message message;
    int origin = kOwnSocket;      // kOwnSocket, or the fd of the host's connection it came on
};

struct Outgoing {
    int target = kOwnSocket;      // kOwnSocket, or the fd of one of the host's connections
    std::vector<uint8_t> bytes;   // an encoded message
};

class NetGame {
public:
    NetGame();
    ~NetGame();                   // stops the thread

    // Fields shared with the thread, all under `lock`.
    bool isHost = false;                      // true after NetHostGame
    bool initialised = false;                 // set up on first use
    std::shared_ptr<PacketConnection> socket; // this program's connection (the host's: to itself)
    std::vector<LocalPlayer> localPlayers;    // players created by this program, in creation order
    std::vector<PlayerRecordWire> players;    // host: every player; connection = its connection's fd
    uint32_t networkType = 3;                 // IPv4
    uint32_t connectionType = 17;             // packet-framed TCP
    bool stopRequest = false;                 // asks the thread to end
    bool threadRunning = false;               // set by the thread while it runs
    std::deque<Message> replies;              // answers to this program's requests
    uint64_t nextKey = 1;                     // for LocalPlayer::key
    std::mutex lock;
    std::condition_variable changed;          // an id or an answer arrived, or the thread ended

    // Owned by the thread while it runs; by the commands while it does not.
    std::unique_ptr<PacketListener> listener;                  // host only
    std::map<int, std::unique_ptr<PacketConnection>> connections; // host only, by fd
    int32_t nextId = kFirstPlayerId;                           // host only

    void StartThread();
    void StopThread();                        // asks the thread to end and joins it
    void Wake();                              // cuts the thread's current wait short
    void CloseGame();                         // thread stopped: closes every socket, forgets every player

    // Writes one message on `socket`; false when there is none or the write failed.
    bool SendOwn(const Message& message);

private:
    std::shared_ptr<PacketConnection> OwnSocket(); // `socket`, taken under the lock
    void Run();
    void SendNewPlayers();
    bool ReadOwnSocket(std::vector<Arrived>* arrived);
    void AcceptPending();
    bool ReadConnections(std::vector<Arrived>* arrived);
    void DropConnection(int fd);
    void Dispatch(std::vector<Arrived>& arrived, std::vector<Outgoing>* out);
    void Deliver(Message& message, std::vector<Outgoing>* out);
    void Route(Arrived& item, std::vector<Outgoing>* out);
    void Answer(const Arrived& item, std::vector<Outgoing>* out);
    void SendAll(std::vector<Outgoing>& out);
    void WaitForTraffic(bool busy);

    std::thread thread_;
    int wakeFd_ = -1;             // eventfd: commands wake the thread through it
};

NetGame& TheNetGame();            // the program's one network object

} // namespace net
