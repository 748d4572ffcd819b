// A program that plays one side of a network game for the tests: it reads one command per line on
// standard input, runs the matching network command and prints "=" and the result on one line.
//
//   host PORT | join ADDRESS PORT ("-" for an empty address) | create NAME ("-" for none)
//   destroy ID | send FROM TO TEXT
//   collect ID COUNT [MS] (up to COUNT messages within MS, a minute when not given, printed
//     space-separated)
//   flood FROM TO COUNT SIZE EXPECT: sends COUNT texts of SIZE bytes from player FROM to TO
//     (0: all) while it takes what arrives for FROM, then takes until EXPECT texts came (or
//     none came for 20 s); prints "SENT RECEIVED BAD SENDERS FEWEST MOST": BAD counts texts
//     not byte-exact or out of their sender's order, FEWEST and MOST are per-sender counts
//   count | id INDEX | name ID | addresses | quit (shutdown, then exit) | vanish (exit at once)
//   limits NOPLAYER MIDPACKET STALLED (the host's time limits, ms) | fdlimit N (N more descriptors)
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/lifecycle.h"
#include "net/netgame.h"
#include "voxa/net.h"

namespace {

using Clock = std::chrono::steady_clock;

DynString Arg(const std::string& word) { return DynString(word == "-" ? "" : word.c_str()); }

// A flood text: "SENDER:SEQ:" and then letters that depend on both, SIZE bytes in all.
std::string FloodText(int sender, int seq, size_t size) {
    std::string text = std::to_string(sender) + ":" + std::to_string(seq) + ":";
    for (size_t i = text.size(); i < size; ++i) text.push_back(static_cast<char>('a' + (sender * 31 + seq * 7 + i) % 26));
    return text;
}

// Checks flood texts as they arrive: each whole, and each sender's in the order they were sent.
struct FloodCheck {
    size_t size = 0;
    std::map<int, int> next; // per sender: the sequence number due next
    int received = 0, bad = 0;

    void Take(const std::string& text) {
        ++received;
        int sender = 0, seq = -1;
        if (std::sscanf(text.c_str(), "%d:%d:", &sender, &seq) != 2 || text != FloodText(sender, seq, size) ||
            seq != next[sender])
            ++bad;
        next[sender] = seq + 1;
    }
    std::string Report(int sent) const {
        int fewest = 0, most = 0;
        for (const auto& entry : next) {
            fewest = fewest == 0 ? entry.second : std::min(fewest, entry.second);
            most = std::max(most, entry.second);
        }
        std::ostringstream out;
        out << sent << ' ' << received << ' ' << bad << ' ' << next.size() << ' ' << fewest << ' ' << most;
        return out.str();
    }
};

std::string Flood(int from, int to, int count, size_t size, int expect) {
    FloodCheck check;
    check.size = size;
    auto take = [&] {
        int before = check.received;
        for (DynString text = NetGetMessage(from); text.Length() > 0; text = NetGetMessage(from))
            check.Take(std::string(text.CStr(), text.Length()));
        return check.received > before;
    };
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        sent += NetSendMessage(from, to, DynString(FloodText(from, i, size).c_str())) == 1.0;
        take();
    }
    for (auto last = Clock::now(); check.received < expect && Clock::now() - last < std::chrono::seconds(20);) {
        if (take()) last = Clock::now();
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return check.Report(sent);
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
    for (int free = 0; free < more; ++limit)
        if (std::find(open.begin(), open.end(), limit) == open.end()) ++free;
    rlimit current{};
    getrlimit(RLIMIT_NOFILE, &current);
    current.rlim_cur = static_cast<rlim_t>(limit);
    return setrlimit(RLIMIT_NOFILE, &current) == 0 ? "1" : "0";
}

std::string SetLimits(int noPlayerMs, int midPacketMs, int stalledWriteMs) {
    net::NetGame& game = net::TheNetGame();
    std::lock_guard<std::mutex> guard(game.lock);
    game.limits = net::NetLimits{noPlayerMs, midPacketMs, stalledWriteMs};
    return "1";
}

std::string Collect(double id, int count, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::string out;
    int got = 0;
    while (got < count && std::chrono::steady_clock::now() < deadline) {
        DynString text = NetGetMessage(id);
        if (text.Length() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        out += ' ';
        out += text.CStr();
        ++got;
    }
    return std::to_string(got) + out;
}

std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command, a, b, c, d;
    in >> command >> a >> b;
    if (command == "send") {
        std::string text;
        std::getline(in, text);
        text = text.empty() ? text : text.substr(1);
        return DynString(NetSendMessage(std::stod(a), std::stod(b), DynString(text.c_str()))).CStr();
    }
    in >> c;
    if (command == "host") return DynString(NetHostGame(Arg(a))).CStr();
    if (command == "join") return DynString(NetJoinGame(Arg(a), Arg(b))).CStr();
    if (command == "create") return NetCreatePlayer(Arg(a)).CStr();
    if (command == "destroy") return DynString(NetDestroyPlayer(std::stod(a))).CStr();
    if (command == "flood") {
        std::string e;
        in >> d >> e;
        return Flood(std::stoi(a), std::stoi(b), std::stoi(c), std::stoul(d), std::stoi(e));
    }
    if (command == "limits") return SetLimits(std::stoi(a), std::stoi(b), std::stoi(c));
    if (command == "fdlimit") return LimitDescriptors(std::stoi(a));
    if (command == "get") return NetGetMessage(std::stod(a)).CStr();
    if (command == "collect") return Collect(std::stod(a), std::stoi(b), c.empty() ? 60000 : std::stoi(c));
    if (command == "count") return DynString(NetCountPlayers()).CStr();
    if (command == "id") return NetGetPlayerId(std::stod(a)).CStr();
    if (command == "name") return NetGetPlayerName(std::stod(a)).CStr();
    if (command == "addresses") return NetGetLocalAddresses().CStr();
    return "unknown command";
}

} // namespace

int main() {
    CreateNetGame();
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "quit") {
            ShutdownNetGame();
            std::cout << "=bye" << std::endl;
            return 0;
        }
        if (line == "vanish") _exit(0);
        std::cout << "=" << Run(line) << std::endl;
    }
    ShutdownNetGame();
    return 0;
}
