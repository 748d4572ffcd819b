// Network games between programs on 127.0.0.1: players seen everywhere, texts only where they are
// sent, programs that leave take their players along; without a game every command fails at once.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "net/lifecycle.h"
#include "net/netgame.h"
#include "peer.h"
#include "voxa/net.h"

namespace {

// This program's network thread is blocked on a lock: its only one is the game's.
bool NetThreadWaitsForLock() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        long call = -1;
        if (task.path().filename() != std::to_string(getpid())) std::ifstream(task.path() / "syscall") >> call;
        if (call == SYS_futex) return true;
    }
    return false;
}

// Returns once the network thread has come to the game's lock `times` times since the call, at
// the start of a pass or to deliver what it read: three times cover a whole pass.
void LetTheThreadPass(int times = 3) {
    for (int i = 0; i < times; ++i) {
        {
            std::lock_guard<std::mutex> held(net::TheNetGame().lock);
            ASSERT_TRUE(Within(NetThreadWaitsForLock)) << "the network thread never came to the lock";
        }
        ASSERT_TRUE(Within([] { return !NetThreadWaitsForLock(); }));
    }
}

// Sends while the network thread waits at the game's lock, until the host's system has taken
// every byte: the thread then finds all of them readable at once.
void SendWhileTheThreadWaits(const std::vector<std::pair<net::PacketConnection*, net::Message>>& sends) {
    std::lock_guard<std::mutex> held(net::TheNetGame().lock);
    ASSERT_TRUE(Within(NetThreadWaitsForLock)) << "the network thread never came to the lock";
    for (const auto& [connection, message] : sends) ASSERT_TRUE(SendMessage(*connection, message));
    for (const auto& send : sends) {
        int unacked = -1;
        ASSERT_TRUE(Within([&] { return ioctl(send.first->Fd(), TIOCOUTQ, &unacked) == 0 && unacked == 0; }));
    }
}

} // namespace

TEST(NetGame, PlayersAreSeenEverywhereAndTextsReachTheirTargetsOnly) {
    Game game(2); // players 101 (Host), C0 and C1; the joining programs' hidden players are gone
    ASSERT_TRUE(game.Ready());
    Peer &host = game.host, &a = game.clients[0], &b = game.clients[1];
    const int c0 = game.ids[0], c1 = game.ids[1], c2 = std::stoi(a.Do("create C2"));
    for (Peer* p : {&host, &a, &b}) {
        const std::pair<std::string, std::string> queries[] = {
            {"count", "4"}, {"id 0", "101"}, {"id 1", std::to_string(c0)}, {"id 3", std::to_string(c2)}, {"id 4", "0"},
            {"id -1", "0"}, {Cmd("name", c1), "C1"}, {"name 999", ""},
        };
        for (const auto& [query, answer] : queries) EXPECT_EQ(p->Do(query), answer) << query;
    }
    ASSERT_EQ(a.Do(Cmd("send", c0, c1) + " a-to-b"), "1");     // to another client's player
    ASSERT_EQ(b.Do(Cmd("send", c1, 101) + " b-to-host"), "1"); // to the host's player
    ASSERT_EQ(host.Do(Cmd("send", 101, c2) + " host-to-a"), "1");
    ASSERT_EQ(a.Do(Cmd("send", c0, c2) + " a-to-a"), "1");     // within one program
    ASSERT_EQ(a.Do(Cmd("send", c0, 999) + " lost"), "1");      // dropped by the host
    ASSERT_EQ(a.Do(Cmd("send", c0, c1) + " " + std::string(2049, 'x')), "0"); // longer than a text may be
    // Texts to all come last from each program: what went astray would come before them.
    for (auto [p, id] : {std::make_pair(&host, 101), {&a, c0}, {&b, c1}}) ASSERT_EQ(p->Do(Cmd("send", id, 0) + " all"), "1");
    const struct {
        Peer* peer;
        int id;
        std::multiset<std::string> texts;
    } wanted[] = {{&host, 101, {"b-to-host"}}, {&a, c0, {}}, {&b, c1, {"a-to-b"}}, {&a, c2, {"host-to-a", "a-to-a"}}};
    for (auto want : wanted) {
        want.texts.insert({"all", "all", "all"});
        std::istringstream got(want.peer->Do(Cmd("collect", want.id, want.texts.size())));
        std::string count, text;
        std::multiset<std::string> texts;
        for (got >> count; got >> text;) texts.insert(text);
        EXPECT_EQ(texts, want.texts) << want.id;
        EXPECT_EQ(want.peer->Do(Cmd("get", want.id)), "") << want.id << " got more";
    }
}

TEST(NetGame, LeavingProgramsTakeTheirPlayersAndClientsOfAClosedGameFailAtOnce) {
    Game game(2);
    ASSERT_TRUE(game.Ready());
    Peer &host = game.host, &a = game.clients[0], &b = game.clients[1];
    const int c0 = game.ids[0], c2 = std::stoi(a.Do("create C2"));
    ASSERT_EQ(a.Do(Cmd("destroy", c2)), "1");
    EXPECT_TRUE(host.Eventually("count", "3"));
    ASSERT_EQ(b.Do(Cmd("destroy", c0)), "1"); // not b's player: refused
    ASSERT_EQ(b.Do("count"), "3");            // answered after the host took the destroy
    EXPECT_EQ(host.Do(Cmd("name", c0)), "C0");
    ASSERT_EQ(a.Do("quit"), "bye");           // says goodbye, then ends
    EXPECT_TRUE(host.Eventually("count", "2"));
    EXPECT_EQ(host.Do(Cmd("name", c0)), "");

    // Hosting again closes the old game: its client fails at once, as a program without a game
    // does, and may join the new one (by name).
    const uint16_t old = game.port, port = host.Host();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(b.Eventually("name 101", "NO_DATA"));
    const std::pair<std::string, std::string> failing[] = {
        {"count", "0"}, {"id 0", "0"}, {"create Late", "-1"}, {"send 101 101 x", "0"}, {"get 101", ""},
        {"destroy 101", "1"}, {Cmd("join 127.0.0.1", old), "0"}, {"join 127.0.0.1:notaport 1", "0"},
        {"join 127.0.0.1 70000", "0"}, {"host 65536", "0"}, {Cmd("host", port), "0"},
    };
    for (const auto& [command, answer] : failing)
        EXPECT_LT(MsTaken([&, c = command, want = answer] { EXPECT_EQ(b.Do(c), want); }), kNetAnswerWaitMs) << command;
    EXPECT_NE(b.Do("addresses").find("127.0.0.1"), std::string::npos);
    ASSERT_EQ(b.Do(Cmd("join localhost", port)), "1");
    EXPECT_EQ(host.Do("create Two"), "102"); // ids start again; the joining program's hidden player took 101
    ASSERT_EQ(b.Do("create B"), "103");
    ASSERT_EQ(b.Do("vanish"), "<gone>");     // ends without a word
    EXPECT_TRUE(host.Eventually("count", "1"));
    EXPECT_EQ(host.Do("id 0"), "102");
}

// A game hosted in this program. The host reads a bounded number of messages from one
// connection in a pass, so a flood from one cannot starve another: two connections' texts are
// all readable at once, and texts of both are among the first its player gets. While its
// program is behind with a player's texts, the host holds texts back and still answers
// requests. Ids that ran out refuse further players. The game ends with its thread and its
// listening socket.
TEST(NetGame, AGameInThisProgramIsFairHoldsTextsForASlowReaderAndEndsWithItsThread) {
    auto threads = [] { int n = -1; ProcWords(getpid(), "status", "Threads:") >> n; return n; };
    const int before = threads();
    uint16_t port = 0;
    for (int i = 0; i < 5 && port == 0; ++i) {
        port = FreePort();
        if (NetHostGame(DynString(std::to_string(port).c_str())) != 1.0) port = 0;
    }
    ASSERT_NE(port, 0);
    EXPECT_EQ(threads(), before + 1); // the network thread
    ASSERT_EQ(std::string(NetCreatePlayer(DynString("Host")).CStr()), "101");
    int32_t ids[2] = {0, 0};
    std::unique_ptr<net::PacketConnection> senders[2] = {RawPlayer(port, &ids[0]), RawPlayer(port, &ids[1])};
    ASSERT_TRUE(senders[0] && senders[1]);
    constexpr int kTexts = 300; // several passes' worth from each connection
    std::vector<std::pair<net::PacketConnection*, net::Message>> floods;
    for (int s = 0; s < 2; ++s)
        floods.insert(floods.end(), kTexts, {senders[s].get(), net::MakeMessage(net::kText, 101, ids[s], s == 0 ? "a" : "b")});
    SendWhileTheThreadWaits(floods);
    std::string order; // the sender of each text, in the order they came
    EXPECT_TRUE(Within([&] {
        for (DynString text; (text = NetGetMessage(101)).Length() > 0;) order += text.CStr();
        return order.size() >= 2 * kTexts;
    }));
    const std::string first = order.substr(0, kTexts);
    EXPECT_TRUE(first.find('a') != std::string::npos && first.find('b') != std::string::npos) << order;

    // The player's 8 MiB waiting and a text taken lately, set rather than waited for. The text
    // and the request are read in one pass: once the answer is here, the text has been held.
    net::LocalPlayer* host = nullptr;
    {
        std::lock_guard<std::mutex> held(net::TheNetGame().lock);
        host = &net::TheNetGame().localPlayers.front();
        host->queuedBytes = net::kFullLocalQueueBytes + 1;
        host->lastTaken = net::Clock::now() + std::chrono::hours(1);
    }
    SendWhileTheThreadWaits({{senders[0].get(), net::MakeMessage(net::kText, 101, ids[0], "held")},
                             {senders[1].get(), net::MakeMessage(net::kCountRequest, 0, ids[1])}});
    net::Message answer;
    ASSERT_TRUE(ReadMessageWithin(*senders[1], net::kCountRequest, &answer));
    // This program's own text waits too, but its request passes it.
    EXPECT_EQ(NetSendMessage(101, 101, DynString("own")), 1.0);
    EXPECT_EQ(NetCountPlayers(), 3.0);
    {
        std::lock_guard<std::mutex> held(net::TheNetGame().lock);
        EXPECT_TRUE(host->queue.empty()) << "a text reached a player whose program is behind";
        host->queuedBytes = 0; // caught up
    }
    std::string texts; // both held texts, in either order
    EXPECT_TRUE(Within([&] { return (texts += NetGetMessage(101).CStr()).size() >= 7; }));
    EXPECT_TRUE(texts == "heldown" || texts == "ownheld") << texts;
    // Asking counts as reading even when nothing waits: a program that polls an empty queue is
    // still there, and must be waited for once texts pile up.
    {
        std::lock_guard<std::mutex> held(net::TheNetGame().lock);
        host->lastTaken = net::Clock::time_point();
    }
    EXPECT_EQ(std::string(NetGetMessage(101).CStr()), "");
    {
        std::lock_guard<std::mutex> held(net::TheNetGame().lock);
        EXPECT_GT(host->lastTaken, net::Clock::time_point()) << "an empty ask was not counted";
        net::TheNetGame().nextId = 1234567; // past a million, an id's text keeps every digit
    }
    EXPECT_EQ(std::string(NetCreatePlayer(DynString("Big")).CStr()), "1234567");
    EXPECT_EQ(std::string(NetGetPlayerId(3).CStr()), "1234567"); // the fourth player made
    {
        std::lock_guard<std::mutex> held(net::TheNetGame().lock);
        net::TheNetGame().nextId = INT32_MAX; // ids run out rather than wrap round to negative ones
    }
    EXPECT_EQ(std::string(NetCreatePlayer(DynString("Last")).CStr()), "-1");
    ShutdownNetGame(); // stops the thread and closes everything
    EXPECT_EQ(threads(), before);
    EXPECT_FALSE(RawConnect(port)) << "the listening socket is closed";
}

// This program as a client whose player is behind with its texts: nothing is read from the host
// until it caught up, neither by the thread nor by a command waiting for an answer (which reads
// for itself otherwise).
TEST(NetGame, AClientBehindWithItsTextsReadsNothingUntilItCaughtUp) {
    Peer host;
    const uint16_t port = host.Host();
    ASSERT_TRUE(port != 0 && host.Do("create Host") == "101");
    ASSERT_EQ(NetJoinGame(DynString("127.0.0.1"), DynString(std::to_string(port).c_str())), 1.0);
    const double me = NetCreatePlayer(DynString("Me")).ToNumber();
    ASSERT_GT(me, 101);
    net::NetGame& game = net::TheNetGame();
    std::shared_ptr<net::PacketConnection> socket;
    {
        std::lock_guard<std::mutex> held(game.lock);
        ASSERT_TRUE(Within(NetThreadWaitsForLock)) << "the network thread never came to the lock"; // its next pass pauses
        net::LocalPlayer& player = game.localPlayers.back();
        player.queuedBytes = net::kFullLocalQueueBytes + 1;
        player.lastTaken = net::Clock::now() + std::chrono::hours(1);
        socket = game.socket;
    }
    ASSERT_EQ(host.Do(Cmd("send", 101, static_cast<int>(me)) + " held"), "1");
    pollfd text{socket->Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&text, 1, kPatienceMs), 1) << "the text never came";
    EXPECT_FALSE(game.ReadForCommand(kPatienceMs)) << "a waiting command read while its program is behind";
    LetTheThreadPass();
    {
        std::lock_guard<std::mutex> held(game.lock);
        EXPECT_TRUE(game.localPlayers.back().queue.empty()) << "a text reached a player whose program is behind";
        game.localPlayers.back().queuedBytes = 0; // caught up
    }
    EXPECT_TRUE(Within([me] { return std::string(NetGetMessage(me).CStr()) == "held"; }));
    EXPECT_EQ(NetCountPlayers(), 2.0);
    ShutdownNetGame();
}
