// A chat over the network commands. One program hosts, others join; every line typed is sent
// to every player, and every line received is printed with the sender's name.
//
//   net_chat host 27013 Ann
//   net_chat join 127.0.0.1 27013 Bob
//
// Type lines and press Return; an empty line or the end of input leaves the chat.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "voxa/runtime.h"

static bool Start(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "host") == 0) return NetHostGame(argv[2]) == 1.0;
    if (argc == 5 && std::strcmp(argv[1], "join") == 0) return NetJoinGame(argv[2], argv[3]) == 1.0;
    return false;
}

int main(int argc, char** argv) {
    if (!Start(argc, argv)) {
        std::fprintf(stderr, "usage: net_chat host PORT NAME | net_chat join ADDRESS PORT NAME (or no host there)\n");
        return 1;
    }
    double me = NetCreatePlayer(argv[argc - 1]).ToNumber();
    if (me <= 0) {
        std::fprintf(stderr, "the host gave no player id\n");
        return 1;
    }
    std::printf("you are player %g; %g in the game\n", me, NetCountPlayers());
    NetSendMessage(me, 0, DynString(argv[argc - 1]) + " joined");
    std::string line;
    for (;;) {
        for (DynString text = NetGetMessage(me); text.Length() > 0; text = NetGetMessage(me))
            std::printf("> %s\n", text.CStr());
        std::fflush(stdout);
        pollfd in{0, POLLIN, 0};
        if (poll(&in, 1, 50) <= 0) continue;
        char c;
        if (read(0, &c, 1) != 1) break;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.empty()) break;
        NetSendMessage(me, 0, DynString(argv[argc - 1]) + ": " + line.c_str());
        line.clear();
    }
    NetDestroyPlayer(me);
    return 0;
}
