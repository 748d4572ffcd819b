// The network tests' helpers: the peer program and its driver, and raw connections. The test
// program is its own peer: started with --peer it runs the network commands read on standard
// input instead of the tests.
#include "peer.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "net/lifecycle.h"
#include "net/netgame.h"
#include "support/spawn_piped.h"
#include "voxa/net.h"

extern char** environ;

using namespace net;

namespace {

using Wall = std::chrono::steady_clock;

Wall::time_point After(int ms) { return Wall::now() + std::chrono::milliseconds(ms); }

int LeftMs(Wall::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Wall::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// ---- The peer's side

DynString Arg(const std::string& word) { return DynString(word == "-" ? "" : word.c_str()); }

// A flood text: "SENDER:SEQ:" and then letters that depend on both, SIZE bytes in all.
std::string FloodText(int sender, int seq, size_t size) {
    std::string text = std::to_string(sender) + ":" + std::to_string(seq) + ":";
    for (size_t i = text.size(); i < size; ++i) text.push_back(static_cast<char>('a' + (sender * 31 + seq * 7 + i) % 26));
    return text;
}

// Sends COUNT texts of SIZE bytes from player FROM to TO (0: all) while it takes what arrives
// for FROM, then takes until EXPECT texts came (or none came for 20 s). Answers "SENT RECEIVED
// BAD SENDERS FEWEST MOST": BAD counts texts not byte-exact or out of their sender's order,
// FEWEST and MOST are per-sender counts.
std::string Flood(int from, int to, int count, size_t size, int expect) {
    std::map<int, int> next; // per sender: the sequence number due next
    int sent = 0, received = 0, bad = 0;
    auto take = [&] {
        int before = received;
        for (DynString text = NetGetMessage(from); text.Length() > 0; text = NetGetMessage(from)) {
            std::string got(text.CStr(), text.Length());
            int sender = 0, seq = -1;
            ++received;
            bad += std::sscanf(got.c_str(), "%d:%d:", &sender, &seq) != 2 || got != FloodText(sender, seq, size) ||
                   seq != next[sender];
            next[sender] = seq + 1;
        }
        return received > before;
    };
    for (int i = 0; i < count; ++i) {
        sent += NetSendMessage(from, to, DynString(FloodText(from, i, size).c_str())) == 1.0;
        take();
    }
    for (auto last = Wall::now(); received < expect && Wall::now() - last < std::chrono::seconds(20);) {
        if (take()) last = Wall::now();
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int fewest = next.empty() ? 0 : INT_MAX, most = 0;
    for (const auto& entry : next) fewest = std::min(fewest, entry.second), most = std::max(most, entry.second);
    std::ostringstream out;
    out << sent << ' ' << received << ' ' << bad << ' ' << next.size() << ' ' << fewest << ' ' << most;
    return out.str();
}

// Lets this process open only `more` descriptors: the limit goes just above the `more` lowest
// free numbers (descriptors open above it stay usable).
std::string LimitDescriptors(int more) {
    std::vector<int> open;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir)) open.push_back(std::atoi(entry->d_name));
        closedir(dir);
    }
    int limit = 0;
    for (int free = 0; free < more; ++limit) free += std::find(open.begin(), open.end(), limit) == open.end();
    rlimit current{};
    getrlimit(RLIMIT_NOFILE, &current);
    current.rlim_cur = static_cast<rlim_t>(limit);
    return setrlimit(RLIMIT_NOFILE, &current) == 0 ? "1" : "0";
}

// Up to `count` texts of a player within kPatienceMs: the count, then the texts.
std::string Collect(double id, int count) {
    std::string out;
    int got = 0;
    for (auto deadline = After(kPatienceMs); got < count && Wall::now() < deadline;) {
        DynString text = NetGetMessage(id);
        if (text.Length() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        out += std::string(" ") + text.CStr();
        ++got;
    }
    return std::to_string(got) + out;
}

std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command, a, b, c, d, e;
    in >> command >> a >> b;
    auto text = [&] { return DynString(line.substr(std::min(line.size(), command.size() + a.size() + b.size() + 3)).c_str()); };
    if (command == "send") return DynString(NetSendMessage(std::stod(a), std::stod(b), text())).CStr();
    in >> c >> d >> e;
    if (command == "host") return DynString(NetHostGame(Arg(a))).CStr();
    if (command == "join") return DynString(NetJoinGame(Arg(a), Arg(b))).CStr();
    if (command == "create") return NetCreatePlayer(Arg(a)).CStr();
    if (command == "destroy") return DynString(NetDestroyPlayer(std::stod(a))).CStr();
    if (command == "get") return NetGetMessage(std::stod(a)).CStr();
    if (command == "collect") return Collect(std::stod(a), std::stoi(b));
    if (command == "count") return DynString(NetCountPlayers()).CStr();
    if (command == "id") return NetGetPlayerId(std::stod(a)).CStr();
    if (command == "name") return NetGetPlayerName(std::stod(a)).CStr();
    if (command == "flood") return Flood(std::stoi(a), std::stoi(b), std::stoi(c), std::stoul(d), std::stoi(e));
    if (command == "fdlimit") return LimitDescriptors(std::stoi(a));
    if (command == "limits") { // the host's time limits, shortened so that tests need not wait them out
        std::lock_guard<std::mutex> guard(TheNetGame().lock);
        TheNetGame().limits = NetLimits{std::stoi(a), std::stoi(b), std::stoi(c)};
        return "1";
    }
    return "unknown command";
}

} // namespace

int PeerMain() {
    CreateNetGame();
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "vanish") _exit(0); // without a word
        if (line == "quit") break;      // says goodbye first
        std::cout << "=" << Run(line) << std::endl;
    }
    ShutdownNetGame();
    std::cout << "=bye" << std::endl;
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--peer") == 0) return PeerMain();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// ---- The tests' side

Peer::Peer() {
    char* argv[] = {const_cast<char*>("net_peer"), const_cast<char*>("--peer"), nullptr};
    voxatest::PipedChild child = voxatest::SpawnPiped("/proc/self/exe", argv, environ);
    pid_ = child.pid;
    toPeer_ = child.input;
    fromPeer_ = child.output;
}

Peer::~Peer() {
    if (toPeer_ >= 0) close(toPeer_); // the peer leaves its game and ends
    if (pid_ > 0 && !Within([&] { return waitpid(pid_, nullptr, WNOHANG) != 0; }, 3000, 5)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromPeer_ >= 0) close(fromPeer_);
}

bool Peer::Send(const std::string& command) {
    std::string line = command + "\n";
    return pid_ > 0 && write(toPeer_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

std::string Peer::Answer(int timeoutMs) {
    auto deadline = After(timeoutMs);
    size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        pollfd p{fromPeer_, POLLIN, 0};
        if (poll(&p, 1, LeftMs(deadline)) <= 0) return "<timeout>";
        char buffer[65536];
        ssize_t n = read(fromPeer_, buffer, sizeof buffer);
        if (n <= 0) return "<gone>";
        pending_.append(buffer, static_cast<size_t>(n));
    }
    std::string answer = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return answer.empty() || answer[0] != '=' ? "<garbled>" : answer.substr(1);
}

uint16_t Peer::Host() {
    for (int i = 0; i < 5; ++i) { // another program may take the free port meanwhile
        uint16_t port = FreePort();
        if (port != 0 && Do("host " + std::to_string(port)) == "1") return port;
    }
    return 0;
}

Game::Game(size_t count) : clients(count) {
    port = host.Host();
    if (port == 0 || host.Do("create Host") != "101") return;
    for (size_t i = 0; i < count; ++i) {
        if (clients[i].Join(port) != "1") return;
        ids.push_back(std::stoi(clients[i].Do("create C" + std::to_string(i))));
    }
}

std::unique_ptr<PacketConnection> RawConnect(uint16_t port) {
    NetStatus status;
    return PacketConnection::Connect(LoopbackAddress(port), kPatienceMs, &status);
}

std::unique_ptr<PacketConnection> RawPlayer(uint16_t port, int32_t* id) {
    std::unique_ptr<PacketConnection> c = RawConnect(port);
    Message message;
    if (!c || !SendMessage(*c, MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire()))) ||
        !ReadMessageWithin(*c, kPlayerId, kPatienceMs, &message))
        return nullptr;
    if (id) *id = message.a;
    return c;
}

bool RawWrite(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool SendMessage(PacketConnection& connection, const Message& message) {
    std::vector<uint8_t> bytes = EncodeMessage(message);
    return connection.WritePacket(bytes.data(), bytes.size()) == NetStatus::Ok;
}

NetStatus ReadWithin(PacketConnection& connection, int timeoutMs, std::vector<uint8_t>* packet) {
    auto deadline = After(timeoutMs);
    for (;;) {
        NetStatus status = connection.ReadPacket(packet);
        if (status != NetStatus::NoPending || LeftMs(deadline) == 0) return status;
        std::vector<int> ready;
        PollReadable({connection.Fd()}, LeftMs(deadline), &ready);
    }
}

bool ReadMessageWithin(PacketConnection& connection, uint8_t type, int timeoutMs, Message* message) {
    auto deadline = After(timeoutMs);
    std::vector<uint8_t> packet;
    while (ReadWithin(connection, LeftMs(deadline), &packet) == NetStatus::Ok)
        if (DecodeMessage(packet.data(), packet.size(), message) == DecodeResult::Ok && message->type == type) return true;
    return false;
}

bool ClosedWithin(PacketConnection& connection, int timeoutMs) {
    auto deadline = After(timeoutMs);
    std::vector<uint8_t> packet;
    NetStatus status;
    while ((status = ReadWithin(connection, LeftMs(deadline), &packet)) == NetStatus::Ok) {
    }
    return status == NetStatus::Closed;
}
