// The network commands, and the network steps of start-up and shutdown. The commands run on the
// main thread and talk to the network thread through NetGame's lists.
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>

#include "basics/arguments.h"
#include "net/lifecycle.h"
#include "net/netgame.h"
#include "voxa/net.h"

using namespace net;

namespace {

// What a player id or index argument becomes when it is no int32_t number (NaN, beyond the
// range): an id no player has, and as an index (2^31 once sent as u32) one beyond every list.
constexpr int32_t kNoPlayer = INT32_MIN;

constexpr int kConnectTimeoutMs = 2000;
constexpr int kReplySpinUs = 100; // longest watch for an answer before sleeping until it comes

std::chrono::steady_clock::time_point AnswerDeadline() {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(kNetAnswerWaitMs);
}

void EnsureInitialised(NetGame& game) {
    if (game.initialised) return;
    game.StopThread();
    game.CloseGame();
    game.initialised = true;
    game.networkType = 3;
    game.connectionType = 17;
}

// Everything of an earlier game is closed before a new one is hosted or joined.
void BeginNewGame(NetGame& game) {
    EnsureInitialised(game);
    game.StopThread();
    game.CloseGame();
}

// Waits under `guard` until done() holds or the deadline passes; false on time out. A client's
// command reads what the host sends itself while it waits (NetGame::ReadForCommand); when the
// thread reads instead, the command sleeps until the thread delivered it.
template <class Done>
bool WaitForHost(NetGame& game, std::unique_lock<std::mutex>& guard, std::chrono::steady_clock::time_point deadline, Done done) {
    using namespace std::chrono;
    struct Counted { // in waitingCommands from the first look on, so no delivery goes unseen
        NetGame& game;
        explicit Counted(NetGame& g) : game(g) { ++game.waitingCommands; }
        ~Counted() { --game.waitingCommands; } // under the lock again by then
    } counted(game);
    while (!done()) { // done() may take what it waits for: true once, so it is asked once per look
        const auto now = steady_clock::now();
        if (now >= deadline) return false;
        // A client looks again at least once a pass of the thread; the host's program sleeps
        // until its answer is filed or the time is up.
        const auto slice = game.isHost ? deadline : std::min(deadline, now + milliseconds(kPassMs));
        if (!game.isHost) {
            guard.unlock();
            const bool readHere = game.ReadForCommand(static_cast<int>(ceil<milliseconds>(slice - now).count()));
            guard.lock();
            if (readHere) continue;
        }
        if (game.changed.wait_until(guard, slice, done)) return true;
    }
    return true;
}

// The host's program: an answer usually comes within tens of microseconds. Going to sleep on
// the condition variable at once would add the wake-up of this thread to every request (on an
// idle processor the largest part of the round trip), so the command first watches for an
// answer to be filed for a short while.
void SpinForReply(const NetGame& game, uint32_t filedBefore) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kReplySpinUs);
    while (game.repliesFiled.load(std::memory_order_acquire) == filedBefore) {
        if (std::chrono::steady_clock::now() > until) return;
        std::this_thread::yield(); // lets the threads that bring the answer run on a busy processor
    }
}

// Sends a request and waits for the host's answer of the same type. B carries the id of this
// program's most recently created player that has one; without such a player there is nobody
// the host could answer, so the request fails at once. Answers of one kind come in the order
// of the requests, so the first one filed is this request's; if none comes in time, the
// request is counted as given up and its late answer is thrown away when it comes.
bool Request(uint8_t type, const std::string& payload, Message* answer) {
    NetGame& game = TheNetGame();
    int slot = ReplySlot(type);
    Message request = MakeMessage(type, 0, 0, payload);
    bool isHost = false;
    {
        std::lock_guard<std::mutex> guard(game.lock);
        for (const LocalPlayer& player : game.localPlayers)
            if (player.record.id > 0) request.b = player.record.id;
        if (!game.Playing() || request.b == 0) return false;
        ++game.unanswered[slot];
        isHost = game.isHost;
    }
    const uint32_t filedBefore = game.repliesFiled.load(std::memory_order_acquire);
    if (!game.SendOwn(request)) {
        std::lock_guard<std::mutex> guard(game.lock);
        if (game.unanswered[slot] > 0) --game.unanswered[slot];
        return false;
    }
    if (isHost) SpinForReply(game, filedBefore);
    std::unique_lock<std::mutex> guard(game.lock);
    bool answered = false;
    WaitForHost(game, guard, AnswerDeadline(), [&] {
        for (auto it = game.replies.begin(); it != game.replies.end(); ++it) {
            if (it->type != type) continue;
            *answer = std::move(*it);
            game.replies.erase(it);
            return answered = true;
        }
        return !game.threadRunning;
    });
    if (!answered) ++game.givenUp[slot];
    return answered;
}

bool RequestNumber(uint8_t type, const std::string& payload, uint32_t* value) {
    Message answer;
    if (!Request(type, payload, &answer) || answer.payload.size() < 4) return false;
    *value = GetU32(answer.payload.data());
    return true;
}

std::string U32Text(double value) {
    return U32Payload(static_cast<uint32_t>(TruncOr(value, kNoPlayer)));
}

// Port text to a port: 0 or less (or no number) means the default; -1 when out of range.
int PortFromText(const DynString& text) {
    double value = std::trunc(text.ToNumber());
    if (!(value > 0)) return kNetDefaultPort;
    return value > 65535 ? -1 : static_cast<int>(value);
}

// An id as text with every digit: the number text of six significant digits would make
// 1000001 "1e+06", the id of another player once read back (ids pass a million in a long game,
// or when a peer creates and removes players in a loop). Below a million the two are the same.
DynString IdText(int32_t id) { return DynString(std::to_string(id).c_str()); }

} // namespace

// The host's own program keeps its traffic in process (see netgame.h), so hosting is a
// listening socket and the thread.
double NetHostGame(const DynString& portText) {
    NetGame& game = TheNetGame();
    BeginNewGame(game);
    int port = PortFromText(portText);
    if (port < 0) return 0.0;
    NetStatus status;
    game.listener = PacketListener::Open(static_cast<uint16_t>(port), &status);
    if (!game.listener) return 0.0;
    {
        std::lock_guard<std::mutex> guard(game.lock);
        game.isHost = true;
    }
    game.StartThread();
    return 1.0;
}

double NetJoinGame(const DynString& addressText, const DynString& portText) {
    NetGame& game = TheNetGame();
    BeginNewGame(game);
    int port = PortFromText(portText);
    NetAddress address = LoopbackAddress(0);
    if (port < 0 || (addressText.Length() > 0 && !TextToAddress(addressText.CStr(), &address))) return 0.0;
    address.port = static_cast<uint16_t>(port);
    NetStatus status;
    std::shared_ptr<PacketConnection> own = PacketConnection::Connect(address, kConnectTimeoutMs, &status);
    if (!own) return 0.0;
    {
        std::lock_guard<std::mutex> guard(game.lock);
        game.socket = own;
        game.isHost = false;
    }
    game.StartThread();
    // A hidden player gives this program an id to ask with; it leaves once the host answered.
    double hiddenId = NetCreatePlayer(DynString("")).ToNumber();
    uint32_t hello = 0;
    bool answered = hiddenId > 0 && RequestNumber(kHelloRequest, std::string(), &hello) && hello == 1;
    if (hiddenId > 0) NetDestroyPlayer(hiddenId);
    if (answered) return 1.0;
    game.StopThread();
    game.CloseGame();
    return 0.0;
}

DynString NetGetLocalAddresses() {
    EnsureInitialised(TheNetGame());
    std::string text;
    for (const NetAddress& address : LocalAddresses()) {
        if (!text.empty()) text += '|';
        text += AddressToText(address);
    }
    return DynString(text.c_str());
}

DynString NetCreatePlayer(const DynString& name) {
    NetGame& game = TheNetGame();
    std::unique_lock<std::mutex> guard(game.lock);
    if (!game.Playing()) return DynString("-1");
    LocalPlayer player;
    player.key = game.nextKey++;
    player.record.hidden = name.Length() == 0;
    player.record.name = std::string(name.CStr()).substr(0, kNameSize - 1);
    game.localPlayers.push_back(std::move(player));
    uint64_t key = game.localPlayers.back().key;
    game.Wake();
    auto find = [&game, key] {
        for (auto it = game.localPlayers.begin(); it != game.localPlayers.end(); ++it)
            if (it->key == key) return it;
        return game.localPlayers.end();
    };
    WaitForHost(game, guard, AnswerDeadline(), [&] {
        return find() == game.localPlayers.end() || find()->record.id >= 0 || !game.threadRunning;
    });
    auto record = find();
    if (record == game.localPlayers.end()) return DynString("-1");
    if (record->record.id >= 0) return IdText(record->record.id);
    // Not announced yet: forget it. Announced: the thread removes it when the host's id comes.
    if (record->record.id == kIdNew) game.localPlayers.erase(record);
    else record->abandoned = true;
    return DynString("-1");
}

double NetDestroyPlayer(double playerId) {
    NetGame& game = TheNetGame();
    int32_t id = TruncOr(playerId, kNoPlayer);
    {
        std::lock_guard<std::mutex> guard(game.lock);
        auto& local = game.localPlayers;
        for (auto it = local.begin(); it != local.end();) it = it->record.id == id && id > 0 ? local.erase(it) : it + 1;
    }
    game.SendOwn(MakeMessage(kRemovePlayer, 0, id));
    return 1.0;
}

double NetSendMessage(double senderId, double targetId, const DynString& text) {
    if (text.Length() > kMaxPayload) return 0.0;
    int32_t target = TruncOr(targetId, kNoPlayer);
    Message message = MakeMessage(kText, target == 0 ? kAllPlayers : target, TruncOr(senderId, kNoPlayer),
                                  std::string(text.CStr(), text.Length()));
    return TheNetGame().SendOwn(message) ? 1.0 : 0.0;
}

DynString NetGetMessage(double playerId) {
    NetGame& game = TheNetGame();
    int32_t id = TruncOr(playerId, kNoPlayer);
    std::lock_guard<std::mutex> guard(game.lock);
    for (LocalPlayer& player : game.localPlayers) {
        if (player.record.id != id || id <= 0) continue;
        player.lastTaken = Clock::now(); // a program that asks is still reading, though nothing waits now
        if (player.queue.empty()) break;
        std::string text = std::move(player.queue.front());
        player.queue.pop_front();
        player.queuedBytes -= text.size();
        return DynString(text.c_str());
    }
    return DynString();
}

double NetCountPlayers() {
    uint32_t count = 0;
    return RequestNumber(kCountRequest, std::string(), &count) ? static_cast<double>(count) : 0.0;
}

DynString NetGetPlayerId(double index) {
    uint32_t id = 0;
    if (!RequestNumber(kIdRequest, U32Text(index), &id)) id = 0;
    return IdText(static_cast<int32_t>(id));
}

DynString NetGetPlayerName(double playerId) {
    Message answer;
    if (!Request(kNameRequest, U32Text(playerId), &answer)) return DynString("NO_DATA");
    std::string name = answer.payload.substr(0, answer.payload.find('\0'));
    return DynString(name.substr(0, kNameSize - 1).c_str());
}

void CreateNetGame() {
    NetGame& game = TheNetGame();
    game.StopThread();
    game.CloseGame();
}

void ShutdownNetGame() {
    NetGame& game = TheNetGame();
    game.StopThread();
    std::vector<int32_t> ids;
    {
        std::lock_guard<std::mutex> guard(game.lock);
        for (const LocalPlayer& player : game.localPlayers)
            if (player.record.id > 0) ids.push_back(player.record.id);
    }
    // The host's players leave with its game; a client says goodbye for each of its own.
    for (int32_t id : ids) game.SendOwn(MakeMessage(kRemovePlayer, 0, id));
    game.FlushOwn(kNetAnswerWaitMs);
    game.CloseGame();
}
