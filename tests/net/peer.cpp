// The network tests' helpers. Started with --peer, the test program is a peer instead: it reads
// one command a line, runs the matching network command and answers "=" and the result:
//   host PORT | join ADDRESS PORT | create NAME ("-" for none) | destroy ID | send FROM TO TEXT
//   get ID | collect ID COUNT (up to COUNT texts, space-separated after their count) | count
//   id INDEX | name ID | addresses | quit (leaves the game, then ends) | vanish (ends without a word)
//   flood FROM TO COUNT SIZE EXPECT: sends COUNT texts of SIZE bytes from FROM to TO (0: all)
//     while it takes what comes for FROM, and asks for the count of players after every 100th
//     (a waiting request reads what comes itself), then takes until EXPECT came (or none for
//     kPatienceMs); answers "SENT RECEIVED BAD SENDERS": BAD counts texts damaged, out of their
//     sender's order or repeated, and requests not answered
//   limits NOPLAYER MIDPACKET STALLED (the host's time limits, ms) | fdlimit N (N more descriptors)
#include "peer.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "net/lifecycle.h"
#include "net/netgame.h"
#include "voxa/net.h"

using namespace net;

namespace {

using Wall = std::chrono::steady_clock;

int LeftMs(Wall::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Wall::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// "SENDER:SEQ:" and then letters that depend on both, SIZE bytes in all.
std::string FloodText(int sender, int seq, size_t size) {
    std::string text = std::to_string(sender) + ":" + std::to_string(seq) + ":";
    for (size_t i = text.size(); i < size; ++i) text.push_back(static_cast<char>('a' + (sender * 31 + seq * 7 + i) % 26));
    return text;
}

std::string Flood(int from, int to, int count, size_t size, int expect) {
    std::map<int, int> next; // per sender: the sequence number due next
    int sent = 0, received = 0, bad = 0;
    auto take = [&] {
        int before = received;
        for (DynString text = NetGetMessage(from); text.Length() > 0; text = NetGetMessage(from), ++received) {
            const std::string got(text.CStr(), text.Length());
            int sender = 0, seq = -1;
            bad += std::sscanf(got.c_str(), "%d:%d:", &sender, &seq) != 2 || got != FloodText(sender, seq, size);
            bad += seq != next[sender];
            next[sender] = seq + 1;
        }
        return received > before;
    };
    for (int i = 0; i < count; ++i, take()) {
        sent += NetSendMessage(from, to, DynString(FloodText(from, i, size).c_str())) == 1.0;
        if (i % 100 == 99) bad += NetCountPlayers() < 1;
    }
    for (auto last = Wall::now(); received < expect && Wall::now() - last < std::chrono::milliseconds(kPatienceMs);)
        if (take()) last = Wall::now(); else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return Cmd(std::to_string(sent), received, bad, next.size());
}

// The limit goes just above the `more` lowest free descriptor numbers (open ones above stay usable).
std::string LimitDescriptors(int more) {
    std::vector<int> open;
    DIR* dir = opendir("/proc/self/fd");
    for (dirent* entry; dir && (entry = readdir(dir));) open.push_back(entry->d_name[0] == '.' ? -1 : std::atoi(entry->d_name));
    int limit = 0;
    for (int free = 0; free < more; ++limit) free += limit == dirfd(dir) || std::count(open.begin(), open.end(), limit) == 0;
    closedir(dir);
    rlimit current{};
    getrlimit(RLIMIT_NOFILE, &current);
    current.rlim_cur = static_cast<rlim_t>(limit);
    return setrlimit(RLIMIT_NOFILE, &current) == 0 ? "1" : "0";
}

std::string Collect(double id, int count) {
    std::string out;
    int got = 0;
    Within([&] {
        for (DynString text; got < count && (text = NetGetMessage(id)).Length() > 0; ++got) out += std::string(" ") + text.CStr();
        return got == count;
    }, kPatienceMs, 2);
    return std::to_string(got) + out;
}

std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command, a, b, c, d, e;
    in >> command >> a >> b >> c >> d >> e;
    auto text = [&](const std::string& word) { return DynString(word == "-" ? "" : word.c_str()); };
    auto number = [](double value) { return std::string(DynString(value).CStr()); }; // as "%g"
    if (command == "send") return number(NetSendMessage(std::stod(a), std::stod(b), text(line.substr(7 + a.size() + b.size()))));
    if (command == "host") return number(NetHostGame(text(a)));
    if (command == "join") return number(NetJoinGame(text(a), text(b)));
    if (command == "create") return NetCreatePlayer(text(a)).CStr();
    if (command == "destroy") return number(NetDestroyPlayer(std::stod(a)));
    if (command == "get") return NetGetMessage(std::stod(a)).CStr();
    if (command == "collect") return Collect(std::stod(a), std::stoi(b));
    if (command == "count") return number(NetCountPlayers());
    if (command == "id") return NetGetPlayerId(std::stod(a)).CStr();
    if (command == "name") return NetGetPlayerName(std::stod(a)).CStr();
    if (command == "addresses") return NetGetLocalAddresses().CStr();
    if (command == "flood") return Flood(std::stoi(a), std::stoi(b), std::stoi(c), std::stoul(d), std::stoi(e));
    if (command == "fdlimit") return LimitDescriptors(std::stoi(a));
    if (command != "limits") return "unknown command";
    std::lock_guard<std::mutex> guard(TheNetGame().lock);
    TheNetGame().limits = NetLimits{std::stoi(a), std::stoi(b), std::stoi(c)};
    return "1";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--peer") != 0) {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    CreateNetGame();
    for (std::string line; std::getline(std::cin, line) && line != "quit";) {
        if (line == "vanish") _exit(0);
        std::cout << "=" << Run(line) << std::endl;
    }
    ShutdownNetGame();
    std::cout << "=bye" << std::endl;
}

std::string Peer::Answer(int timeoutMs) {
    std::string line;
    const int got = program_.ReadLine(timeoutMs, &line);
    if (got <= 0) return got == 0 ? "<timeout>" : "<gone>";
    return line.empty() || line[0] != '=' ? "<garbled>" : line.substr(1);
}

uint16_t Peer::Host() {
    for (int i = 0; i < 5; ++i) { // another program may take the free port meanwhile
        uint16_t port = FreePort();
        if (port != 0 && Do(Cmd("host", port)) == "1") return port;
    }
    return 0;
}

Game::Game(size_t count) : clients(count) {
    port = host.Host();
    if (port == 0 || host.Do("create Host") != "101") return;
    for (size_t i = 0; i < count && clients[i].Join(port) == "1"; ++i)
        ids.push_back(std::stoi(clients[i].Do("create C" + std::to_string(i))));
}

std::istringstream ProcWords(pid_t pid, const char* file, const std::string& after) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = all.find(after);
    return std::istringstream(at == std::string::npos ? std::string() : all.substr(at + after.size()));
}

std::unique_ptr<PacketConnection> RawConnect(uint16_t port) {
    NetStatus status;
    return PacketConnection::Connect(LoopbackAddress(port), kPatienceMs, &status);
}

std::unique_ptr<PacketConnection> RawPlayer(uint16_t port, int32_t* id) {
    std::unique_ptr<PacketConnection> c = RawConnect(port);
    Message message;
    if (!c || !SendMessage(*c, MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire()))) ||
        !ReadMessageWithin(*c, kPlayerId, &message))
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
    const auto deadline = Wall::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<int> ready;
    NetStatus status;
    while ((status = connection.ReadPacket(packet)) == NetStatus::NoPending && LeftMs(deadline) > 0)
        PollReadable({connection.Fd()}, LeftMs(deadline), &ready);
    return status;
}

bool ReadMessageWithin(PacketConnection& connection, uint8_t type, Message* message) {
    std::vector<uint8_t> packet;
    while (ReadWithin(connection, kPatienceMs, &packet) == NetStatus::Ok)
        if (DecodeMessage(packet.data(), packet.size(), message) == DecodeResult::Ok && message->type == type) return true;
    return false;
}

bool ClosedWithin(PacketConnection& connection) {
    std::vector<uint8_t> packet;
    NetStatus status;
    while ((status = ReadWithin(connection, kPatienceMs, &packet)) == NetStatus::Ok) {
    }
    return status == NetStatus::Closed;
}
