// Network games between separate programs on 127.0.0.1: a host and two clients create players,
// query them and exchange messages; programs that leave take their players with them.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/lifecycle.h"
#include "peer.h"
#include "voxa/net.h"

namespace {

// Messages collected by a peer's "collect" command: the count first, then the texts.
std::vector<std::string> Words(const std::string& answer) {
    std::istringstream in(answer);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::multiset<std::string> Texts(const std::string& answer) {
    std::vector<std::string> words = Words(answer);
    return std::multiset<std::string>(words.begin() + (words.empty() ? 0 : 1), words.end());
}

// Asks until the answer is the expected one, since a leaving program's goodbye takes a pass or two.
bool EventuallyAnswers(Peer& peer, const std::string& command, const std::string& expected) {
    return Within([&] { return peer.Do(command) == expected; }, kPatienceMs, 20);
}

class ThreePrograms : public ::testing::Test {
protected:
    void SetUp() override {
        port = HostOnFreePort(host);
        ASSERT_NE(port, 0);
        ASSERT_EQ(host.Do("create Hugo"), "101");
        // Each joining program's hidden player takes an id (102, 103) and leaves again.
        ASSERT_EQ(clientA.Do("join 127.0.0.1 " + std::to_string(port)), "1");
        ASSERT_EQ(clientB.Do("join - " + std::to_string(port)), "1");
        ASSERT_EQ(clientA.Do("create Anna"), "104");
        ASSERT_EQ(clientB.Do("create Bert"), "105");
        ASSERT_EQ(clientA.Do("create Alma"), "106");
    }
    Peer host, clientA, clientB;
    uint16_t port = 0;
};

} // namespace

TEST_F(ThreePrograms, PlayersAreCountedListedAndNamedEverywhere) {
    // The hidden joining players are gone; the others are listed in creation order.
    for (Peer* p : {&host, &clientA, &clientB}) {
        EXPECT_EQ(p->Do("count"), "4");
        EXPECT_EQ(p->Do("id 0"), "101");
        EXPECT_EQ(p->Do("id 1"), "104");
        EXPECT_EQ(p->Do("id 3"), "106");
        EXPECT_EQ(p->Do("id 4"), "0");
        EXPECT_EQ(p->Do("id -1"), "0");
        EXPECT_EQ(p->Do("name 105"), "Bert");
        EXPECT_EQ(p->Do("name 999"), "");
    }
}

TEST_F(ThreePrograms, MessagesReachTheirTargetOnly) {
    ASSERT_EQ(clientA.Do("send 104 105 hello Bert"), "1"); // to a player of another client
    ASSERT_EQ(clientB.Do("send 105 101 hi host"), "1");     // to a player of the host
    ASSERT_EQ(host.Do("send 101 106 for Alma"), "1");       // from the host to a client
    ASSERT_EQ(clientA.Do("send 104 106 to myself"), "1");   // to another player of the same program
    EXPECT_EQ(clientB.Do("collect 105 1"), "1 hello Bert");
    EXPECT_EQ(host.Do("collect 101 1"), "1 hi host");
    EXPECT_EQ(clientA.Do("collect 106 2"), "2 for Alma to myself");
    // Nobody else got anything, and an unknown target is dropped by the host.
    ASSERT_EQ(clientA.Do("send 104 999 lost"), "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(clientA.Do("get 104"), "");
    EXPECT_EQ(clientB.Do("get 105"), "");
    EXPECT_EQ(host.Do("get 101"), "");
    EXPECT_EQ(clientA.Do("get 106"), "");
}

TEST_F(ThreePrograms, MessageToAllArrivesOnceAtEveryPlayer) {
    ASSERT_EQ(clientB.Do("send 105 0 everybody"), "1");
    ASSERT_EQ(host.Do("send 101 0 fromhost"), "1");
    for (auto [peer, id] : std::vector<std::pair<Peer*, int>>{{&host, 101}, {&clientA, 104}, {&clientB, 105}, {&clientA, 106}}) {
        std::string got = peer->Do("collect " + std::to_string(id) + " 2");
        EXPECT_EQ(Texts(got), (std::multiset<std::string>{"everybody", "fromhost"})) << id;
    }
    // No second copy comes round again through the host's own connection.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (auto [peer, id] : std::vector<std::pair<Peer*, int>>{{&host, 101}, {&clientA, 104}, {&clientB, 105}, {&clientA, 106}})
        EXPECT_EQ(peer->Do("get " + std::to_string(id)), "") << id;
}

TEST_F(ThreePrograms, LeavingProgramsTakeTheirPlayersWithThem) {
    ASSERT_EQ(clientA.Do("destroy 106"), "1");
    EXPECT_TRUE(EventuallyAnswers(host, "count", "3"));
    EXPECT_EQ(clientA.Do("send 105 106 gone"), "1"); // a destroyed player gets nothing
    EXPECT_EQ(clientA.Do("get 106"), "");
    // A program may not remove another program's player.
    ASSERT_EQ(clientB.Do("destroy 104"), "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(host.Do("name 104"), "Anna");

    ASSERT_EQ(clientA.Do("quit"), "bye"); // says goodbye, then ends
    EXPECT_TRUE(EventuallyAnswers(host, "count", "2"));
    EXPECT_EQ(host.Do("name 104"), "");
    ASSERT_EQ(clientB.Do("vanish"), "<gone>"); // ends without a word
    EXPECT_TRUE(EventuallyAnswers(host, "count", "1"));
    EXPECT_EQ(host.Do("id 0"), "101");
    EXPECT_EQ(host.Do("id 1"), "0");
}

TEST_F(ThreePrograms, ClientsOfAVanishedHostFailAtOnce) {
    ASSERT_EQ(host.Do("vanish"), "<gone>");
    EXPECT_TRUE(EventuallyAnswers(clientA, "name 101", "NO_DATA"));
    const std::pair<const char*, const char*> calls[] = {{"count", "0"}, {"create Late", "-1"}, {"send 104 105 x", "0"}};
    for (auto [command, answer] : calls)
        EXPECT_LT(MsTaken([&] { EXPECT_EQ(clientA.Do(command), answer); }), kNetAnswerWaitMs) << command;
}

TEST(NetGame, HostingAgainStartsANewGame) {
    Peer host, client;
    uint16_t port = HostOnFreePort(host);
    ASSERT_NE(port, 0);
    ASSERT_EQ(host.Do("create One"), "101");
    uint16_t second = HostOnFreePort(host);
    ASSERT_NE(second, 0);
    EXPECT_EQ(client.Do("join 127.0.0.1 " + std::to_string(port)), "0"); // the old port is closed
    ASSERT_EQ(client.Do("join 127.0.0.1 " + std::to_string(second)), "1");
    EXPECT_EQ(host.Do("create Two"), "102"); // the joining program's hidden player took 101
    EXPECT_EQ(host.Do("count"), "1");
    EXPECT_EQ(host.Do("get 101"), "");
}

// The commands of a program that hosts and joins nothing: this test program itself.
TEST(NetCommands, WithoutAGameEveryCommandFailsAtOnce) {
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

// Threads of this process, from /proc.
static int ThreadCount() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

TEST(NetCommands, HostInThisProgram) {
    int threadsBefore = ThreadCount();
    uint16_t port = 0;
    for (int i = 0; i < 5 && port == 0; ++i) {
        uint16_t p = FreePort();
        if (NetHostGame(DynString(std::to_string(p).c_str())) == 1.0) port = p;
    }
    ASSERT_NE(port, 0);
    EXPECT_STREQ(NetCreatePlayer(DynString("Me")).CStr(), "101");
    EXPECT_STREQ(NetCreatePlayer(DynString("Myself")).CStr(), "102");
    EXPECT_EQ(NetSendMessage(101, 102, DynString(std::string(2049, 'x').c_str())), 0.0);
    ASSERT_EQ(NetSendMessage(101, 102, DynString(std::string(2048, 'x').c_str())), 1.0);
    DynString got;
    Within([&] { return (got = NetGetMessage(102)).Length() > 0; }, kPatienceMs, 5);
    EXPECT_EQ(got.Length(), 2048u);
    EXPECT_STREQ(NetGetPlayerName(102).CStr(), "Myself");
    // A name longer than the record holds is cut to 126 bytes.
    std::string longName(200, 'L');
    DynString id = NetCreatePlayer(DynString(longName.c_str()));
    EXPECT_STREQ(id.CStr(), "103");
    EXPECT_EQ(std::string(NetGetPlayerName(103).CStr()), longName.substr(0, 126));
    EXPECT_EQ(ThreadCount(), threadsBefore + 1); // the network thread
    ShutdownNetGame(); // stops the thread and closes everything
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_STREQ(NetGetPlayerName(101).CStr(), "NO_DATA");
    EXPECT_FALSE(RawConnect(port)) << "the listening socket is closed";
}
