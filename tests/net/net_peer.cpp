// A program that plays one side of a network game for the tests: it reads one command per line on
// standard input, runs the matching network command and prints "=" and the result on one line.
//
//   host PORT | join ADDRESS PORT ("-" for an empty address) | create NAME ("-" for none)
//   destroy ID | send FROM TO TEXT | blast FROM TO COUNT PREFIX (sends PREFIX-0 .. PREFIX-COUNT-1)
//   get ID | collect ID COUNT [MS] (up to COUNT messages within MS, a minute when not given,
//   printed space-separated)
//   count | id INDEX | name ID | addresses | quit (shutdown, then exit) | vanish (exit at once)
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "core/lifecycle.h"
#include "net/net.h"

namespace {

DynString Arg(const std::string& word) { return DynString(word == "-" ? "" : word.c_str()); }

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
    if (command == "blast") {
        in >> d;
        int sent = 0;
        for (int i = 0; i < std::stoi(c); ++i)
            sent += NetSendMessage(std::stod(a), std::stod(b), DynString((d + "-" + std::to_string(i)).c_str())) == 1.0;
        return std::to_string(sent);
    }
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
