// The network thread. Each pass:
//   1. under the lock: stop when asked; announce new local players to the host (type 1); host:
//      take its own program's messages from the inbox;
//   2. client: read what waits on the connection to the host (a command waiting for an answer
//      may be reading it too: whoever holds readLock_ reads and delivers); host: accept pending
//      connections and read what the clients sent, each within a budget so that none can
//      starve the others;
//   3. under the lock: deliver texts to this program's players (one player, or all of them for
//      target -1), keep answers for the waiting commands and apply new ids; host: route what
//      the clients and its own program sent (forward texts, create and remove players, answer
//      requests), each packet bound for the connections it goes to;
//   4. queue and write what the sockets take; host: drop clients over their queue bound, and
//      every 10 ms those past their time limits, with their players;
//   5. wait up to 10 ms for traffic, writable sockets or a command to wake the thread.
#include "net/netgame.h"

#include <malloc.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "voxa/net.h"

namespace net {

namespace {

constexpr int kReadsPerPass = 64;        // messages read from one client connection in one pass
constexpr size_t kBytesPerPass = 1u << 20; // bytes read from all client connections in one pass
constexpr int kOwnReadsPerPass = 256;    // messages read from the host, or taken from the host's inbox, in one pass
constexpr int kAcceptsPerPass = 16;
constexpr int kFinalFlushMs = 500;       // longest wait, when the thread stops, for queued bytes to leave
constexpr size_t kTrimAfter = 8u << 20;  // queued bytes after which emptied queues give memory back
constexpr int kLimitCheckMs = 10;        // how often the host looks for clients past their time limits

Packet FrameMessage(const Message& message) {
    std::shared_ptr<std::vector<uint8_t>> packet = NewPacket(EncodedSize(message));
    EncodeMessageTo(message, packet->data() + kPacketHeader);
    return packet;
}

bool Expired(Clock::time_point since, int limitMs, Clock::time_point now) {
    return now - since > std::chrono::milliseconds(limitMs);
}

} // namespace

int ReplySlot(uint8_t type) { return type >= kCountRequest && type <= kHelloRequest ? type - kCountRequest : -1; }

NetGame::NetGame() {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    deliveredFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

NetGame::~NetGame() {
    StopThread();
    if (wakeFd_ >= 0) close(wakeFd_);
    if (deliveredFd_ >= 0) close(deliveredFd_);
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

namespace {
void Signal(int eventFd) {
    if (eventFd < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(eventFd, &one, sizeof one);
}
void TakeSignals(int eventFd) {
    uint64_t count;
    [[maybe_unused]] ssize_t n = read(eventFd, &count, sizeof count);
}
} // namespace

void NetGame::Wake() { Signal(wakeFd_); }

void NetGame::CloseGame() {
    connections.clear();
    listener.reset();
    nextId = kFirstPlayerId;
    acceptPausedUntil_ = Clock::time_point();
    peakQueued_ = 0;
    queuesFull_ = holdTexts_ = ownPaused_ = false;
    listenerReady_ = true;
    std::lock_guard<std::mutex> guard(lock);
    socket.reset();
    hostInbox.clear();
    hostInboxBytes = hostInboxOthers = 0;
    localPlayers.clear();
    players.clear();
    replies.clear();
    unanswered.fill(0);
    givenUp.fill(0);
    isHost = false;
}

bool NetGame::Playing() const { return threadRunning && (isHost || socket); }

bool NetGame::SendOwn(const Message& message) {
    std::unique_lock<std::mutex> guard(lock);
    if (isHost) {
        size_t size = EncodedSize(message);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNetAnswerWaitMs);
        changed.wait_until(guard, deadline, [&] { return !threadRunning || hostInboxBytes + size <= kMaxQueuedBytes; });
        if (!threadRunning || hostInboxBytes + size > kMaxQueuedBytes) return false;
        bool wasEmpty = hostInbox.empty();
        PushHostInbox(message);
        guard.unlock();
        if (wasEmpty) Wake(); // a thread that finds the inbox busy takes the rest without waiting
        return true;
    }
    std::shared_ptr<PacketConnection> own = socket;
    guard.unlock();
    if (!own) return false;
    Packet packet = FrameMessage(message);
    bool started = false;
    NetStatus status = own->Send(packet, message.type != kText, kMaxQueuedBytes, &started);
    if (status == NetStatus::NoPending && own->WaitForRoom(kMaxQueuedBytes - packet->size(), kNetAnswerWaitMs))
        status = own->Send(packet, message.type != kText, kMaxQueuedBytes, &started);
    if (started) Wake(); // the thread writes the rest when the socket takes it
    return status == NetStatus::Ok;
}

void NetGame::FlushOwn(int timeoutMs) {
    std::shared_ptr<PacketConnection> own;
    {
        std::lock_guard<std::mutex> guard(lock);
        own = socket;
    }
    if (own) own->WaitForRoom(0, timeoutMs);
}

void NetGame::Run() {
    {
        std::lock_guard<std::mutex> guard(lock);
        own_ = socket;
    }
    for (;;) {
        arrived_.clear();
        out_.clear();
        bool busy = false;
        if (!BeginPass(&busy)) {
            FinishSending();
            break;
        }
        if (isHost) {
            AcceptPending();
            busy = ReadConnections() || busy;
            Dispatch();
        } else {
            std::lock_guard<std::mutex> reading(readLock_);
            if (!ReadOwnSocket(&busy)) break; // the host is gone: the game is over for this program
            Dispatch();
        }
        SendAll();
        if (isHost) EnforceLimits();
        WaitForTraffic(busy);
    }
    std::lock_guard<std::mutex> guard(lock);
    own_.reset();
    threadRunning = false;
    changed.notify_all();
}

// Step 1, under the lock. False when the thread is to stop. The records of new players go out
// with id -1; the host's answers (type 2) come back in order. The host's own program's records
// go straight to its routing.
bool NetGame::BeginPass(bool* busy) {
    std::lock_guard<std::mutex> guard(lock);
    if (stopRequest) return false;
    for (LocalPlayer& player : localPlayers) {
        if (player.record.id != kIdNew) continue;
        Message announce = MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(player.record));
        player.record.id = kIdRequested;
        if (isHost) arrived_.push_back(Arrived{std::move(announce), kHostProgram, nullptr});
        else out_.push_back(Outgoing{kFromHost, FrameMessage(announce), true});
    }
    bool behind = LocalReaderBehind(Clock::now());
    if (!isHost) {
        ownPaused_ = behind;
        return true;
    }
    limits_ = limits;
    holdTexts_ = behind || queuesFull_;
    *busy = TakeHostInbox(kOwnReadsPerPass);
    return true;
}

// The thread is asked to stop: what the program sent so far still goes out, if the peers take
// it within kFinalFlushMs.
void NetGame::FinishSending() {
    if (isHost) {
        std::lock_guard<std::mutex> guard(lock);
        TakeHostInbox(-1);
    }
    Dispatch();
    SendAll();
    std::vector<PacketConnection*> links;
    for (auto& entry : connections) links.push_back(entry.second.link.get());
    if (own_) links.push_back(own_.get());
    auto deadline = Clock::now() + std::chrono::milliseconds(kFinalFlushMs);
    while (!links.empty() && Clock::now() < deadline) {
        std::vector<pollfd> set;
        for (PacketConnection* link : links) set.push_back(pollfd{link->Fd(), POLLOUT, 0});
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!PollSet(&set, static_cast<int>(std::max<long long>(left.count(), 1)))) return;
        links.erase(std::remove_if(links.begin(), links.end(),
                                   [](PacketConnection* link) { return link->Flush() != NetStatus::Ok || link->QueuedBytes() == 0; }),
                    links.end());
    }
}

// Step 2, client, holding readLock_. Returns false once the connection is gone; it is then
// forgotten.
bool NetGame::ReadOwnSocket(bool* busy) {
    if (!own_) return false;
    if (ownPaused_) return true; // the host holds back what would come, until the program caught up
    NetStatus status = ReadFromHost(*own_, &packet_, &arrived_);
    if (status == NetStatus::Closed) {
        std::lock_guard<std::mutex> guard(lock);
        socket.reset();
        own_.reset();
        changed.notify_all();
        return false;
    }
    if (status == NetStatus::Ok) *busy = true;
    return true;
}

// Reads up to kOwnReadsPerPass packets from the host: Ok when more may wait, NoPending when
// reading stopped where the last receive took all the socket had (poll tells when more comes),
// or Closed. What the host sends that cannot be read is skipped; the stream itself is still
// framed.
NetStatus NetGame::ReadFromHost(PacketConnection& link, std::vector<uint8_t>* packet, std::vector<Arrived>* arrived) {
    for (int i = 0; i < kOwnReadsPerPass; ++i) {
        if (i > 0 && link.Drained() && !link.HasBufferedPacket()) return NetStatus::NoPending;
        NetStatus status = link.ReadPacket(packet);
        if (status != NetStatus::Ok) return status;
        Arrived item;
        if (DecodeMessage(packet->data(), packet->size(), &item.message) == DecodeResult::Ok) arrived->push_back(std::move(item));
    }
    return NetStatus::Ok;
}

bool NetGame::ReadForCommand(int waitMs) {
    std::shared_ptr<PacketConnection> own;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (isHost || !threadRunning || LocalReaderBehind(Clock::now())) return false;
        own = socket;
    }
    if (!own) return false;
    std::vector<pollfd> set{pollfd{own->Fd(), POLLIN, 0}, pollfd{deliveredFd_, POLLIN, 0}};
    if (!PollSet(&set, waitMs)) return false;
    if (set[1].revents != 0) {
        TakeSignals(deliveredFd_);
        return true; // the thread was quicker: the caller looks at what it delivered
    }
    if (set[0].revents == 0) return true;
    std::unique_lock<std::mutex> reading(readLock_); // the thread holds it for one pass's reading at most
    std::vector<Arrived> arrived;
    std::vector<Outgoing> out;
    NetStatus status = ReadFromHost(*own, &commandPacket_, &arrived);
    if (status == NetStatus::Closed) {
        reading.unlock();
        Wake(); // the thread reads the same and ends the game
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        for (Arrived& item : arrived) Deliver(item.message, &out);
        if (!arrived.empty()) changed.notify_all();
    }
    reading.unlock();
    for (Outgoing& item : out) own->Queue(std::move(item.packet), item.urgent);
    if (status == NetStatus::Ok || !out.empty()) Wake(); // more to read, or bytes to write: the thread sees to them
    return true;
}

// Under the lock: a message of the host's own program (or its thread) for the routing.
void NetGame::PushHostInbox(const Message& message) {
    hostInbox.push_back(message);
    hostInboxBytes += EncodedSize(message);
    hostInboxOthers += message.type != kText;
}

// Step 1, host, under the lock: up to `most` of its own program's messages (all, texts held
// back or not, for -1). While texts are held back, the others (players made or removed,
// requests) still pass them, as a client's do in its connection's queue: a program that sent a
// text to a slow reader can still ask and create. The texts keep their order. Returns true
// when more could be taken now.
bool NetGame::TakeHostInbox(int most) {
    int taken = 0;
    for (; (most < 0 ? !hostInbox.empty() : InboxReady()) && taken != most; ++taken) {
        hostInboxBytes -= EncodedSize(hostInbox.front());
        hostInboxOthers -= hostInbox.front().type != kText;
        arrived_.push_back(Arrived{std::move(hostInbox.front()), kHostProgram, nullptr});
        hostInbox.pop_front();
    }
    if (hostInboxOthers > 0 && !InboxReady()) {
        auto passing = std::stable_partition(hostInbox.begin(), hostInbox.end(), [](const Message& m) { return m.type != kText; });
        for (auto it = hostInbox.begin(); it != passing; ++it) {
            hostInboxBytes -= EncodedSize(*it);
            arrived_.push_back(Arrived{std::move(*it), kHostProgram, nullptr});
            ++taken;
        }
        hostInbox.erase(hostInbox.begin(), passing);
        hostInboxOthers = 0;
    }
    if (taken > 0) changed.notify_all(); // a command may be waiting for room
    return InboxReady();
}

bool NetGame::LocalReaderBehind(Clock::time_point now) const {
    const int grace = isHost ? kHostReaderGraceMs : kLocalReaderGraceMs;
    for (const LocalPlayer& player : localPlayers)
        if (player.queuedBytes > kFullLocalQueueBytes && !Expired(player.lastTaken, grace, now)) return true;
    return false;
}

bool NetGame::InboxReady() const {
    return !hostInbox.empty() && !(holdTexts_ && hostInbox.front().type == kText);
}

// Step 2, accepting. The host's own program holds one of the kMaxConnections places; a
// connection beyond them is closed as soon as it is accepted. When the system has no
// descriptor (or memory) for a new connection, the listening socket stays readable: accepting
// pauses for kAcceptPauseMs instead of trying again at once.
void NetGame::AcceptPending() {
    if (!listenerReady_) return;
    Clock::time_point now = Clock::now();
    if (now < acceptPausedUntil_) return;
    listenerReady_ = false;
    for (int i = 0; i < kAcceptsPerPass; ++i) {
        std::unique_ptr<PacketConnection> connection;
        NetStatus status = listener->Accept(&connection);
        if (status == NetStatus::SystemError) acceptPausedUntil_ = now + std::chrono::milliseconds(kAcceptPauseMs);
        if (status == NetStatus::SystemError || i + 1 == kAcceptsPerPass) listenerReady_ = true; // try again later
        if (status != NetStatus::Ok) return;
        if (connections.size() + 1 >= kMaxConnections) continue;
        int fd = connection->Fd();
        ClientLink& client = connections[fd];
        client.link = std::move(connection);
        client.acceptedAt = now;
    }
}

// Step 2, reading. Each connection gives at most kReadsPerPass messages, and all of them
// together at most kBytesPerPass, starting one connection further on each pass; reading one
// stops where the last receive took all its socket had. While texts are held back, a
// connection's reading stops at its next text, which waits in `held`. Returns true when some
// connection still has messages that could be read now.
bool NetGame::ReadConnections() {
    if (connections.empty()) return false;
    bool busy = false;
    size_t bytes = 0;
    std::vector<int> dropped;
    std::vector<uint8_t>& packet = packet_;
    auto it = connections.upper_bound(readFrom_);
    if (it == connections.end()) it = connections.begin();
    readFrom_ = it->first;
    for (size_t visited = 0; visited < connections.size(); ++visited, ++it) {
        if (it == connections.end()) it = connections.begin();
        ClientLink& client = it->second;
        if (client.held && holdTexts_) continue;
        if (!client.held && !client.readable && !client.link->HasBufferedPacket()) continue;
        if (bytes >= kBytesPerPass) {
            busy = true;
            break;
        }
        if (client.held) {
            bytes += client.held->packet->size();
            arrived_.push_back(std::move(*client.held));
            client.held.reset();
        }
        client.readable = false;
        for (int i = 0;; ++i) {
            if (i == kReadsPerPass) {
                client.readable = busy = true;
                break;
            }
            if (i > 0 && client.link->Drained() && !client.link->HasBufferedPacket()) break;
            NetStatus status = client.link->ReadPacket(&packet);
            if (status == NetStatus::NoPending) break;
            Arrived item;
            item.origin = it->first;
            if (status != NetStatus::Ok || DecodeMessage(packet.data(), packet.size(), &item.message, false) != DecodeResult::Ok) {
                dropped.push_back(it->first);
                break;
            }
            if (item.message.type == kText) item.packet = MakePacket(packet.data(), packet.size());
            if (item.message.type == kText && holdTexts_) {
                client.held = std::move(item);
                client.readable = true; // more may wait behind it
                break;
            }
            bytes += packet.size();
            arrived_.push_back(std::move(item));
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

// Step 3, under the lock.
void NetGame::Dispatch() {
    if (arrived_.empty()) return;
    std::lock_guard<std::mutex> guard(lock);
    for (Arrived& item : arrived_) {
        if (item.origin == kFromHost) {
            Deliver(item.message, &out_);
        } else if (item.origin == kHostProgram || connections.count(item.origin) != 0) {
            Route(item, &out_); // a message of a connection dropped in this pass is ignored
        }
    }
    changed.notify_all();
    if (!isHost && waitingCommands > 0) Signal(deliveredFd_); // a command reading for itself may be in poll
}

// What the host sent to this program: texts to its players, new ids, answers.
void NetGame::Deliver(Message& message, std::vector<Outgoing>* out) {
    if (message.type == kText) {
        for (LocalPlayer& player : localPlayers) {
            bool addressed = message.a == kAllPlayers ? (player.record.id > 0 && !player.record.hidden)
                                                     : player.record.id == message.a;
            if (!addressed) continue;
            if (player.queuedBytes + message.payload.size() <= kMaxLocalQueueBytes) {
                player.queuedBytes += message.payload.size();
                if (message.a == kAllPlayers) player.queue.push_back(message.payload);
                else player.queue.push_back(std::move(message.payload));
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
            QueueToHost(MakeMessage(kRemovePlayer, 0, message.a), out);
            localPlayers.erase(waiting);
        } else {
            waiting->record.id = message.a;
        }
    } else if (message.b == 0) {
        // Answers come in the order of the requests. One nobody asked for is dropped; so is
        // one whose command gave up waiting, or it would answer the next request of its kind.
        int slot = ReplySlot(message.type);
        if (slot < 0 || unanswered[slot] == 0) return;
        --unanswered[slot];
        if (givenUp[slot] > 0) {
            --givenUp[slot];
            return;
        }
        if (replies.size() >= kMaxReplies) replies.pop_front();
        replies.push_back(std::move(message));
        repliesFiled.fetch_add(1, std::memory_order_release);
    }
}

// Host: what a client or its own program sent. Only texts may carry a target in A.
void NetGame::Route(Arrived& item, std::vector<Outgoing>* out) {
    Message& message = item.message;
    if (message.type == kText) {
        // One packet, shared by every queue it goes to; the payload is copied out only for the
        // host's own players.
        Packet packet = item.packet ? item.packet : FrameMessage(message);
        auto deliverHere = [&] {
            if (item.packet) message.payload.assign(reinterpret_cast<const char*>(packet->data()) + kPacketHeader + kHeaderSize,
                                                    packet->size() - kPacketHeader - kHeaderSize);
            Deliver(message, out);
        };
        if (message.a == kAllPlayers) {
            for (auto& entry : connections) out->push_back(Outgoing{entry.first, packet, false});
            deliverHere();
            return;
        }
        for (const PlayerRecordWire& player : players) {
            if (player.id != message.a) continue;
            if (player.connection == kHostProgram) deliverHere();
            else out->push_back(Outgoing{player.connection, std::move(packet), false});
            return;
        }
        return;
    }
    if (message.a != 0) return;
    if (message.type == kCreatePlayer) {
        CreatePlayer(item, out);
    } else if (message.type == kRemovePlayer) {
        // Only the program that created a player may remove it.
        int origin = item.origin;
        int32_t id = message.b;
        auto removed = std::remove_if(players.begin(), players.end(),
                                      [&](const PlayerRecordWire& p) { return p.id == id && p.connection == origin; });
        size_t count = static_cast<size_t>(players.end() - removed);
        players.erase(removed, players.end());
        if (origin != kHostProgram) connections.at(origin).players -= count;
    } else if (message.type > 99 && message.b != 0) {
        Answer(item, out);
    }
}

// Host: a new player gets the next id, unless the table or the client's share of it is full,
// or the ids ran out (they never wrap round to ones given before or to negative ones): id 0
// refuses it (an answer is still due, since clients match answers by order).
void NetGame::CreatePlayer(Arrived& item, std::vector<Outgoing>* out) {
    ClientLink* client = item.origin == kHostProgram ? nullptr : &connections.at(item.origin);
    if (client) client->createdPlayer = true;
    if (players.size() >= kMaxPlayers || nextId == INT32_MAX || (client && client->players >= kMaxPlayersPerConnection)) {
        Reply(item.origin, MakeMessage(kPlayerId, 0, 0), out);
        return;
    }
    PlayerRecordWire record;
    DecodePlayerRecord(reinterpret_cast<const uint8_t*>(item.message.payload.data()), item.message.payload.size(), &record);
    record.connection = item.origin;
    record.id = nextId++;
    players.push_back(record);
    if (client) ++client->players;
    Reply(item.origin, MakeMessage(kPlayerId, record.id, 0), out);
}

// Host: answers a request to where it came from, addressed to the requesting player.
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
    Reply(item.origin, MakeMessage(request.type, request.b, 0, payload), out);
}

// Host: an id or an answer for a client goes ahead of the texts queued for it; one for the
// host's own program is delivered at once.
void NetGame::Reply(int origin, Message message, std::vector<Outgoing>* out) {
    if (origin == kHostProgram) Deliver(message, out);
    else out->push_back(Outgoing{origin, FrameMessage(message), true});
}

// Under the lock: a message the thread itself sends to the host.
void NetGame::QueueToHost(const Message& message, std::vector<Outgoing>* out) {
    if (isHost) {
        PushHostInbox(message);
    } else {
        out->push_back(Outgoing{kFromHost, FrameMessage(message), message.type != kText});
    }
}

// Step 4, outside the lock: queue, then write what the sockets take. A client whose queue
// would pass kMaxQueuedBytes is dropped. Texts are held back in the next pass while a client
// that is taking bytes has more than kBusyQueueBytes queued.
void NetGame::SendAll() {
    std::vector<int> dropped;
    for (Outgoing& item : out_) {
        if (item.target == kFromHost) {
            if (own_) own_->Queue(std::move(item.packet), item.urgent);
            continue;
        }
        auto found = connections.find(item.target);
        if (found == connections.end()) continue;
        PacketConnection& link = *found->second.link;
        if (link.QueuedBytes() + item.packet->size() > kMaxQueuedBytes || !link.Queue(std::move(item.packet), item.urgent))
            dropped.push_back(item.target);
    }
    Clock::time_point now = Clock::now();
    queuesFull_ = false;
    for (auto& [fd, client] : connections) {
        PacketConnection& link = *client.link;
        if (!client.writeBlocked && link.QueuedBytes() > 0 && link.Flush() != NetStatus::Ok) dropped.push_back(fd);
        Clock::time_point since;
        size_t waiting = link.QueuedBytes(&since);
        client.writeBlocked = waiting > 0;
        if (waiting > kBusyQueueBytes && !Expired(since, kBusyQueueGraceMs, now)) queuesFull_ = true;
    }
    for (int fd : dropped) DropConnection(fd);
    if (own_ && own_->QueuedBytes() > 0) own_->Flush(); // a broken stream shows at the next read
}

// Step 4, host, every kLimitCheckMs: clients past their time limits are dropped.
void NetGame::EnforceLimits() {
    Clock::time_point now = Clock::now();
    if (now < nextLimitCheck_) return;
    nextLimitCheck_ = now + std::chrono::milliseconds(kLimitCheckMs);
    std::vector<int> dropped;
    size_t queued = 0;
    for (auto& [fd, client] : connections) {
        PacketConnection& link = *client.link;
        Clock::time_point since;
        size_t waiting = link.QueuedBytes(&since);
        queued += waiting;
        bool idle = !client.createdPlayer && Expired(client.acceptedAt, limits_.noPlayerMs, now);
        bool halfSent = link.HasPartialPacket() && Expired(link.PartialSince(), limits_.midPacketMs, now);
        bool stalled = waiting > 0 && Expired(since, limits_.stalledWriteMs, now);
        if (idle || halfSent || stalled) dropped.push_back(fd);
    }
    for (int fd : dropped) DropConnection(fd);
    ReturnFreedMemory(queued);
}

// After a flood the freed packets lie scattered over the thread's heap; once the queues are
// empty again they are handed back to the system, so the host's memory returns to its size.
void NetGame::ReturnFreedMemory(size_t queued) {
    peakQueued_ = std::max(peakQueued_, queued);
    if (queued > 0 || peakQueued_ < kTrimAfter) return;
    peakQueued_ = 0;
    malloc_trim(0);
}

// Step 5: up to 10 ms, cut short by traffic, a writable socket that has bytes waiting, or a
// command (a command that fills an empty inbox or queue wakes the thread). No wait while
// messages are left over that could be read now. A connection whose text is held back is not
// polled for reading (its bytes would wake the thread at once).
void NetGame::WaitForTraffic(bool busy) {
    std::vector<pollfd>& set = pollSet_;
    set.assign(1, pollfd{wakeFd_, POLLIN, 0});
    if (own_) {
        short events = static_cast<short>((ownPaused_ ? 0 : POLLIN) | (own_->QueuedBytes() > 0 ? POLLOUT : 0));
        set.push_back(pollfd{events != 0 ? own_->Fd() : -1, events, 0});
        if (!ownPaused_) {
            std::lock_guard<std::mutex> reading(readLock_);
            busy = busy || own_->HasBufferedPacket();
        }
    }
    size_t listening = 0;
    if (listener && !listenerReady_) {
        listening = set.size();
        set.push_back(pollfd{listener->Fd(), POLLIN, 0});
    }
    polled_.clear();
    for (auto& [fd, client] : connections) {
        bool paused = client.held && holdTexts_;
        busy = busy || (!paused && (client.held || client.readable || client.link->HasBufferedPacket()));
        short events = static_cast<short>((paused ? 0 : POLLIN) | (client.writeBlocked ? POLLOUT : 0));
        if (events == 0) continue;
        set.push_back(pollfd{fd, events, 0});
        polled_.push_back(&client);
    }
    PollSet(&set, busy ? 0 : kPassMs);
    if (listening > 0 && set[listening].revents != 0) listenerReady_ = true;
    if (set[0].revents != 0) TakeSignals(wakeFd_);
    for (size_t i = 0; i < polled_.size(); ++i) {
        short events = set[set.size() - polled_.size() + i].revents;
        if (events & (POLLIN | POLLHUP | POLLERR)) polled_[i]->readable = true;
        if (events & (POLLOUT | POLLHUP | POLLERR)) polled_[i]->writeBlocked = false;
    }
}

} // namespace net
