// The network thread. Each pass:
//   1. announce new local players to the host (type 1);
//   2. read every whole message waiting on this program's own connection;
//   3. host: accept pending connections (at most 100) and read what the clients sent; a client
//      that closes, falls out of step or sends something malformed is dropped with its players;
//   4. deliver texts to this program's players (one player, or all of them for target -1);
//   5. host: route what the clients sent (forward texts, create and remove players, answer
//      requests on the connection they came on);
//   6. keep answers for the waiting commands, apply new ids, forget everything else;
//   7. wait up to 10 ms for traffic or for a command to wake the thread.
#include "net/netgame.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace net {

namespace {

constexpr int kReadsPerPass = 64;  // messages read from one connection in one pass

} // namespace

NetGame::NetGame() { wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

NetGame::~NetGame() {
    StopThread();
    if (wakeFd_ >= 0) close(wakeFd_);
}

// Never destroyed: EndProgram may run from an exit handler after static objects are gone, and
// it still needs the object to stop the thread and say goodbye.
NetGame& TheNetGame() {
    static NetGame* game = new NetGame;
    return *game;
}

void NetGame::StartThread() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopRequest = false;
        threadRunning = true;
    }
    thread_ = std::thread([this] { Run(); });
}

void NetGame::StopThread() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopRequest = true;
    }
    Wake();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> guard(lock);
    stopRequest = false;
}

void NetGame::Wake() {
    uint64_t one = 1;
    if (wakeFd_ < 0) return;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void NetGame::CloseGame() {
    connections.clear();
    listener.reset();
    nextId = kFirstPlayerId;
    std::lock_guard<std::mutex> guard(lock);
    socket.reset();
    localPlayers.clear();
    players.clear();
    replies.clear();
    isHost = false;
}

std::shared_ptr<PacketConnection> NetGame::OwnSocket() {
    std::lock_guard<std::mutex> guard(lock);
    return socket;
}

bool NetGame::SendOwn(const Message& message) {
    std::shared_ptr<PacketConnection> own = OwnSocket();
    if (!own) return false;
    std::vector<uint8_t> bytes = EncodeMessage(message);
    return own->WritePacket(bytes.data(), bytes.size()) == NetStatus::Ok;
}

void NetGame::Run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopRequest) break;
        }
        SendNewPlayers();
        std::vector<Arrived> arrived;
        bool busy = false;
        bool ownOpen = ReadOwnSocket(&arrived);
        if (isHost) {
            AcceptPending();
            busy = ReadConnections(&arrived);
        } else if (!ownOpen) {
            break; // the host is gone: the game is over for this program
        }
        std::vector<Outgoing> out;
        Dispatch(arrived, &out);
        SendAll(out);
        WaitForTraffic(busy);
    }
    std::lock_guard<std::mutex> guard(lock);
    threadRunning = false;
    changed.notify_all();
}

// Step 1. The record goes out with id -1; the host's answer (type 2) comes back in order.
void NetGame::SendNewPlayers() {
    std::vector<Message> announce;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!socket) return;
        for (LocalPlayer& player : localPlayers) {
            if (player.record.id != kIdNew) continue;
            announce.push_back(MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(player.record)));
            player.record.id = kIdRequested;
        }
    }
    for (const Message& message : announce) SendOwn(message);
}

// Step 2. Returns false once the connection is gone; it is then forgotten.
bool NetGame::ReadOwnSocket(std::vector<Arrived>* arrived) {
    std::shared_ptr<PacketConnection> own = OwnSocket();
    if (!own) return false;
    std::vector<uint8_t> packet;
    for (int i = 0; i < 4 * kReadsPerPass; ++i) {
        NetStatus status = own->ReadPacket(&packet);
        if (status == NetStatus::NoPending) return true;
        if (status != NetStatus::Ok) {
            std::lock_guard<std::mutex> guard(lock);
            socket.reset();
            changed.notify_all();
            return false;
        }
        Arrived item;
        // What the host sends that cannot be read is skipped; the stream itself is still framed.
        if (DecodeMessage(packet.data(), packet.size(), &item.message) == DecodeResult::Ok) arrived->push_back(std::move(item));
    }
    return true;
}

// Step 3, accepting. A connection beyond the hundredth is closed as soon as it is accepted.
void NetGame::AcceptPending() {
    for (int i = 0; i < 16; ++i) {
        std::unique_ptr<PacketConnection> connection;
        if (listener->Accept(&connection) != NetStatus::Ok) return;
        if (connections.size() >= kMaxConnections) continue;
        int fd = connection->Fd();
        connections[fd] = std::move(connection);
    }
}

// Step 3, reading. Returns true when some connection still has messages waiting.
bool NetGame::ReadConnections(std::vector<Arrived>* arrived) {
    bool busy = false;
    std::vector<int> dropped;
    std::vector<uint8_t> packet;
    for (auto& [fd, connection] : connections) {
        for (int i = 0;; ++i) {
            if (i == kReadsPerPass) {
                busy = true;
                break;
            }
            NetStatus status = connection->ReadPacket(&packet);
            if (status == NetStatus::NoPending) break;
            Arrived item;
            item.origin = fd;
            if (status != NetStatus::Ok || DecodeMessage(packet.data(), packet.size(), &item.message) != DecodeResult::Ok) {
                dropped.push_back(fd);
                break;
            }
            arrived->push_back(std::move(item));
        }
    }
    for (int fd : dropped) DropConnection(fd);
    return busy;
}

void NetGame::DropConnection(int fd) {
    connections.erase(fd);
    std::lock_guard<std::mutex> guard(lock);
    players.erase(std::remove_if(players.begin(), players.end(),
                                 [fd](const PlayerRecordWire& p) { return p.connection == fd; }),
                  players.end());
}

// Steps 4 to 6, under the lock.
void NetGame::Dispatch(std::vector<Arrived>& arrived, std::vector<Outgoing>* out) {
    if (arrived.empty()) return;
    std::lock_guard<std::mutex> guard(lock);
    for (Arrived& item : arrived) {
        if (item.origin == kOwnSocket) {
            Deliver(item.message, out);
        } else if (connections.count(item.origin) != 0) {
            Route(item, out); // a message of a connection dropped in this pass is ignored
        }
    }
    changed.notify_all();
}

// What the host sent to this program: texts to its players, new ids, answers.
void NetGame::Deliver(Message& message, std::vector<Outgoing>* out) {
    if (message.type == kText) {
        for (LocalPlayer& player : localPlayers) {
            bool addressed = message.a == kAllPlayers ? (player.record.id > 0 && !player.record.hidden)
                                                     : player.record.id == message.a;
            if (!addressed) continue;
            if (player.queuedBytes + message.payload.size() <= kMaxQueuedBytes) {
                player.queuedBytes += message.payload.size();
                player.queue.push_back(message.payload);
            }
            if (message.a != kAllPlayers) break;
        }
    } else if (message.type == kPlayerId) {
        auto waiting = std::find_if(localPlayers.begin(), localPlayers.end(),
                                    [](const LocalPlayer& p) { return p.record.id == kIdRequested; });
        if (waiting == localPlayers.end()) return;
        if (message.a <= 0) {
            localPlayers.erase(waiting); // the host refused the player
        } else if (waiting->abandoned) {
            // Its command gave up waiting: the host must not keep a player nobody owns.
            out->push_back(Outgoing{kOwnSocket, EncodeMessage(MakeMessage(kRemovePlayer, 0, message.a))});
            localPlayers.erase(waiting);
        } else {
            waiting->record.id = message.a;
        }
    } else if (message.type > 99 && message.b == 0) {
        if (replies.size() >= kMaxReplies) replies.pop_front();
        replies.push_back(std::move(message));
    }
}

// Host: what a client sent. Only texts may carry a target in A.
void NetGame::Route(Arrived& item, std::vector<Outgoing>* out) {
    const Message& message = item.message;
    if (message.type == kText) {
        std::vector<uint8_t> bytes = EncodeMessage(message);
        if (message.a == kAllPlayers) {
            for (auto& entry : connections) out->push_back(Outgoing{entry.first, bytes});
            return;
        }
        for (const PlayerRecordWire& player : players) {
            if (player.id != message.a) continue;
            out->push_back(Outgoing{player.connection, std::move(bytes)});
            return;
        }
        return;
    }
    if (message.a != 0) return;
    if (message.type == kCreatePlayer) {
        if (players.size() >= kMaxPlayers) {
            // Id 0 refuses the player; an answer is still due, since clients match answers by order.
            out->push_back(Outgoing{item.origin, EncodeMessage(MakeMessage(kPlayerId, 0, 0))});
            return;
        }
        PlayerRecordWire record;
        DecodePlayerRecord(reinterpret_cast<const uint8_t*>(message.payload.data()), message.payload.size(), &record);
        record.connection = item.origin;
        record.id = nextId++;
        players.push_back(record);
        out->push_back(Outgoing{item.origin, EncodeMessage(MakeMessage(kPlayerId, record.id, 0))});
    } else if (message.type == kRemovePlayer) {
        // Only the program that created a player may remove it.
        int origin = item.origin;
        int32_t id = message.b;
        players.erase(std::remove_if(players.begin(), players.end(),
                                     [&](const PlayerRecordWire& p) { return p.id == id && p.connection == origin; }),
                      players.end());
    } else if (message.type > 99 && message.b != 0) {
        Answer(item, out);
    }
}

// Host: answers a request on the connection it came on, addressed to the requesting player.
void NetGame::Answer(const Arrived& item, std::vector<Outgoing>* out) {
    const Message& request = item.message;
    std::string payload;
    switch (request.type) {
    case kCountRequest:
        payload = U32Payload(static_cast<uint32_t>(
            std::count_if(players.begin(), players.end(), [](const PlayerRecordWire& p) { return !p.hidden; })));
        break;
    case kIdRequest: {
        uint32_t index = GetU32(request.payload.data());
        uint32_t id = 0;
        for (const PlayerRecordWire& player : players) {
            if (player.hidden) continue;
            if (index-- == 0) {
                id = static_cast<uint32_t>(player.id);
                break;
            }
        }
        payload = U32Payload(id);
        break;
    }
    case kNameRequest: {
        int32_t id = static_cast<int32_t>(GetU32(request.payload.data()));
        for (const PlayerRecordWire& player : players)
            if (player.id == id) {
                payload = player.name;
                break;
            }
        break;
    }
    default: payload = U32Payload(1); break;
    }
    out->push_back(Outgoing{item.origin, EncodeMessage(MakeMessage(request.type, request.b, 0, payload))});
}

// Writes outside the lock. A client that takes nothing for a second is dropped.
void NetGame::SendAll(std::vector<Outgoing>& out) {
    for (Outgoing& item : out) {
        if (item.target == kOwnSocket) {
            std::shared_ptr<PacketConnection> own = OwnSocket();
            if (own) own->WritePacket(item.bytes.data(), item.bytes.size());
            continue;
        }
        auto found = connections.find(item.target);
        if (found == connections.end()) continue;
        if (found->second->WritePacket(item.bytes.data(), item.bytes.size()) != NetStatus::Ok) DropConnection(item.target);
    }
}

// Step 7: up to 10 ms, cut short by traffic or a command. No wait while messages are left over.
void NetGame::WaitForTraffic(bool busy) {
    std::vector<int> fds{wakeFd_};
    {
        std::lock_guard<std::mutex> guard(lock);
        if (socket) {
            fds.push_back(socket->Fd());
            busy = busy || socket->HasBufferedPacket();
        }
    }
    if (listener) fds.push_back(listener->Fd());
    for (auto& entry : connections) {
        fds.push_back(entry.first);
        busy = busy || entry.second->HasBufferedPacket();
    }
    std::vector<int> ready;
    PollReadable(fds, busy ? 0 : kPassMs, &ready);
    if (std::find(ready.begin(), ready.end(), wakeFd_) != ready.end()) {
        uint64_t count;
        [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
    }
}

} // namespace net
