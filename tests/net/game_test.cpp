// Network games between separate programs on 127.0.0.1: players are counted, listed and named
// everywhere, texts reach their targets only and texts to all every player once, programs that
// leave take their players with them; and the commands of a program without a game.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "net/lifecycle.h"
#include "peer.h"
#include "voxa/net.h"

namespace {

// The texts of a "collect" answer (the count first).
std::multiset<std::string> Texts(const std::string& answer) {
    std::istringstream in(answer);
    std::multiset<std::string> texts;
    std::string word;
    for (in >> word; in >> word;) texts.insert(word);
    return texts;
}

std::string S(int n) { return std::to_string(n); }

} // namespace

TEST(NetGame, PlayersAreSeenEverywhereAndTextsReachTheirTargetsOnly) {
    Game game(2); // players 101 (Host), C0 and C1; the joining programs' hidden players are gone
    ASSERT_TRUE(game.Ready());
    Peer &host = game.host, &a = game.clients[0], &b = game.clients[1];
    const int c0 = game.ids[0], c1 = game.ids[1], c2 = std::stoi(a.Do("create C2"));
    for (Peer* p : {&host, &a, &b}) {
        EXPECT_EQ(p->Do("count"), "4");
        const std::pair<std::string, std::string> queries[] = {
            {"id 0", "101"}, {"id 1", S(c0)}, {"id 3", S(c2)}, {"id 4", "0"}, {"id -1", "0"},
            {"name " + S(c1), "C1"}, {"name 999", ""},
        };
        for (const auto& [query, answer] : queries) EXPECT_EQ(p->Do(query), answer) << query;
    }
    ASSERT_EQ(a.Do("send " + S(c0) + " " + S(c1) + " a-to-b"), "1");    // to another client's player
    ASSERT_EQ(b.Do("send " + S(c1) + " 101 b-to-host"), "1");           // to the host's player
    ASSERT_EQ(host.Do("send 101 " + S(c2) + " host-to-a"), "1");        // from the host to a client
    ASSERT_EQ(a.Do("send " + S(c0) + " " + S(c2) + " a-to-a"), "1");    // within one program
    ASSERT_EQ(a.Do("send " + S(c0) + " 999 lost"), "1");                // dropped by the host
    // Texts to all come last from each program: what went astray would come before them.
    for (Peer* p : {&host, &a, &b}) ASSERT_EQ(p->Do("send " + S(p == &host ? 101 : p == &a ? c0 : c1) + " 0 all"), "1");
    const std::multiset<std::string> all{"all", "all", "all"};
    const struct {
        Peer* peer;
        int id;
        std::multiset<std::string> texts;
    } wanted[] = {{&host, 101, {"b-to-host"}}, {&a, c0, {}}, {&b, c1, {"a-to-b"}}, {&a, c2, {"host-to-a", "a-to-a"}}};
    for (auto want : wanted) {
        want.texts.insert(all.begin(), all.end());
        EXPECT_EQ(Texts(want.peer->Do("collect " + S(want.id) + " " + S(static_cast<int>(want.texts.size())))), want.texts) << want.id;
        EXPECT_EQ(want.peer->Do("get " + S(want.id)), "") << want.id << " got more";
    }
}

TEST(NetGame, LeavingProgramsTakeTheirPlayersAndClientsOfAClosedGameFailAtOnce) {
    Game game(2);
    ASSERT_TRUE(game.Ready());
    Peer &host = game.host, &a = game.clients[0], &b = game.clients[1];
    const int c0 = game.ids[0], c2 = std::stoi(a.Do("create C2"));
    ASSERT_EQ(a.Do("destroy " + S(c2)), "1");
    EXPECT_TRUE(host.Eventually("count", "3"));
    ASSERT_EQ(b.Do("destroy " + S(c0)), "1"); // not b's player: refused
    ASSERT_EQ(b.Do("count"), "3");            // answered after the host took the destroy
    EXPECT_EQ(host.Do("name " + S(c0)), "C0");
    ASSERT_EQ(a.Do("quit"), "bye");           // says goodbye, then ends
    EXPECT_TRUE(host.Eventually("count", "2"));
    EXPECT_EQ(host.Do("name " + S(c0)), "");

    // Hosting again closes the old game: its client fails at once, and may join the new one.
    const uint16_t old = game.port, port = host.Host();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(b.Eventually("name 101", "NO_DATA"));
    for (auto [command, answer] : {std::make_pair("count", "0"), {"create Late", "-1"}, {"send 101 101 x", "0"}})
        EXPECT_LT(MsTaken([&, command = command, answer = answer] { EXPECT_EQ(b.Do(command), answer); }), kNetAnswerWaitMs) << command;
    EXPECT_EQ(b.Join(old), "0");
    ASSERT_EQ(b.Join(port), "1");
    EXPECT_EQ(host.Do("create Two"), "102"); // ids start again; the joining program's hidden player took 101
    ASSERT_EQ(b.Do("create B"), "103");
    ASSERT_EQ(b.Do("vanish"), "<gone>");     // ends without a word
    EXPECT_TRUE(host.Eventually("count", "1"));
    EXPECT_EQ(host.Do("id 0"), "102");
}

// The commands of a program that hosts and joins nothing: this test program itself.
TEST(NetGame, WithoutAGameEveryCommandFailsAtOnce) {
    const std::function<void()> calls[] = {
        [] { EXPECT_STREQ(NetGetPlayerName(101).CStr(), "NO_DATA"); },
        [] { EXPECT_EQ(NetCountPlayers(), 0.0); },
        [] { EXPECT_STREQ(NetGetPlayerId(0).CStr(), "0"); },
        [] { EXPECT_STREQ(NetCreatePlayer(DynString("Nobody")).CStr(), "-1"); },
        [] { EXPECT_EQ(NetSendMessage(101, 0, DynString("x")), 0.0); },
        [] { EXPECT_STREQ(NetGetMessage(101).CStr(), ""); },
        [] { EXPECT_EQ(NetDestroyPlayer(101), 1.0); },
        [] { EXPECT_EQ(NetJoinGame(DynString("127.0.0.1"), DynString(std::to_string(FreePort()).c_str())), 0.0); },
        [] { EXPECT_EQ(NetJoinGame(DynString("127.0.0.1:notaport"), DynString("1")), 0.0); },
        [] { EXPECT_EQ(NetJoinGame(DynString("127.0.0.1"), DynString("70000")), 0.0); },
        [] { EXPECT_EQ(NetHostGame(DynString("65536")), 0.0); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) EXPECT_LT(MsTaken(calls[i]), kNetAnswerWaitMs) << "call " << i;
    std::string addresses = NetGetLocalAddresses().CStr();
    EXPECT_NE(("|" + addresses + "|").find("|127.0.0.1|"), std::string::npos) << addresses;
}

static int ThreadCount() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

TEST(NetGame, HostInThisProgramThenShutDown) {
    const int threadsBefore = ThreadCount();
    uint16_t port = 0;
    for (int i = 0; i < 5 && port == 0; ++i) {
        uint16_t p = FreePort();
        if (NetHostGame(DynString(std::to_string(p).c_str())) == 1.0) port = p;
    }
    ASSERT_NE(port, 0);
    EXPECT_EQ(ThreadCount(), threadsBefore + 1); // the network thread
    EXPECT_STREQ(NetCreatePlayer(DynString("Me")).CStr(), "101");
    EXPECT_STREQ(NetCreatePlayer(DynString("Myself")).CStr(), "102");
    EXPECT_EQ(NetSendMessage(101, 102, DynString(std::string(2049, 'x').c_str())), 0.0);
    ASSERT_EQ(NetSendMessage(101, 102, DynString(std::string(2048, 'x').c_str())), 1.0);
    DynString got;
    Within([&] { return (got = NetGetMessage(102)).Length() > 0; });
    EXPECT_EQ(got.Length(), 2048u);
    std::string longName(200, 'L'); // cut to the 126 bytes the record holds
    EXPECT_STREQ(NetCreatePlayer(DynString(longName.c_str())).CStr(), "103");
    EXPECT_EQ(std::string(NetGetPlayerName(103).CStr()), longName.substr(0, 126));
    ShutdownNetGame(); // stops the thread and closes everything
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_STREQ(NetGetPlayerName(101).CStr(), "NO_DATA");
    EXPECT_FALSE(RawConnect(port)) << "the listening socket is closed";
}
