// The bytes on the wire, seen by a raw peer written by hand: what a joining program sends and
// expects, what a host answers, and a host that broken or hostile peers cannot bring down.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "peer.h"
#include "voxa/net.h"

using namespace net;

namespace {

std::string Header(uint8_t type, uint32_t length, int32_t a, int32_t b) {
    std::string h = "QMTK" + std::string(1, static_cast<char>(type));
    for (uint32_t v : {length, static_cast<uint32_t>(a), static_cast<uint32_t>(b)}) PutU32(&h, v);
    return h;
}

std::string NextPacket(PacketConnection& c) {
    std::vector<uint8_t> packet;
    return ReadWithin(c, kPatienceMs, &packet) == NetStatus::Ok ? std::string(packet.begin(), packet.end()) : "<none>";
}

Message To555(uint8_t type, const std::string& payload) { return MakeMessage(type, 555, 0, payload); } // an answer

} // namespace

TEST(WireBytes, AJoiningProgramSpeaksTheDocumentedFormat) {
    NetStatus status;
    std::unique_ptr<PacketListener> listener = PacketListener::Open(0, &status);
    ASSERT_TRUE(listener);
    Peer client;
    ASSERT_TRUE(client.Send(Cmd("join 127.0.0.1", listener->Port())));
    std::unique_ptr<PacketConnection> c;
    ASSERT_TRUE(Within([&] { return listener->Accept(&c) == NetStatus::Ok; }));
    // A command (or none), the packet it sends, the raw host's reply (type 0: none) and the
    // command's answer (null: none yet).
    const struct {
        std::string command, sent;
        Message reply;
        const char* answer;
    } steps[] = {
        {"", Header(1, 152, 0, 0) + EncodePlayerRecord({0, -1, true, ""}), MakeMessage(kPlayerId, 101, 0), nullptr},
        {"", Header(104, 0, 0, 101), MakeMessage(kHelloRequest, 101, 0, U32Payload(1)), nullptr}, // as the hidden player
        {"", Header(4, 0, 0, 101), {}, "1"},                                                       // which leaves again
        {"create Zoe", Header(1, 152, 0, 0) + EncodePlayerRecord({0, -1, false, "Zoe"}), MakeMessage(kPlayerId, 555, 0), "555"},
        {"count", Header(101, 0, 0, 555), To555(kCountRequest, U32Payload(7)), "7"},
        {"name 555", Header(103, 4, 0, 555) + U32Payload(555), To555(kNameRequest, "Zoe"), "Zoe"},
        {"send 555 0 hi", Header(3, 2, -1, 555) + "hi", {}, "1"},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step.command.empty() || client.Send(step.command));
        EXPECT_EQ(NextPacket(*c), step.sent) << step.command;
        ASSERT_TRUE(step.reply.type == 0 || SendMessage(*c, step.reply));
        if (step.answer) { EXPECT_EQ(client.Answer(), step.answer) << step.command; }
    }

    // A request whose answer never comes fails after the whole wait, not at once. Its late
    // answer, and an answer nobody asked for, are not taken for the next request's.
    EXPECT_GE(MsTaken([&] { EXPECT_EQ(client.Do("id 0"), "0"); }), kNetAnswerWaitMs * 9 / 10);
    Message message;
    ASSERT_TRUE(ReadMessageWithin(*c, kIdRequest, &message));
    ASSERT_TRUE(SendMessage(*c, To555(kIdRequest, U32Payload(777))));
    ASSERT_TRUE(SendMessage(*c, To555(kCountRequest, U32Payload(55))));
    for (auto [command, type, answer] : {std::make_tuple("id 1", kIdRequest, 888u), {"count", kCountRequest, 9u}}) {
        ASSERT_TRUE(client.Send(command));
        ASSERT_TRUE(ReadMessageWithin(*c, type, &message));
        ASSERT_TRUE(SendMessage(*c, To555(type, U32Payload(answer))));
        EXPECT_EQ(client.Answer(), std::to_string(answer)) << command;
    }
    // A player whose id comes too late is given up by its command and removed at the host.
    EXPECT_EQ(client.Do("create Late"), "-1");
    ASSERT_TRUE(ReadMessageWithin(*c, kCreatePlayer, &message));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kPlayerId, 600, 0)));
    ASSERT_TRUE(ReadMessageWithin(*c, kRemovePlayer, &message));
    EXPECT_EQ(message.b, 600);
}

// A host answers a raw peer in the documented format; every kind of broken or hostile input
// costs its peer the connection, and only that.
TEST(WireBytes, AHostAnswersInTheDocumentedFormatAndDropsBrokenPeers) {
    Game game(1); // players 101 (Host) and C0 (103)
    ASSERT_TRUE(game.Ready());
    std::unique_ptr<PacketConnection> c = RawConnect(game.port); // creates a hidden player (104) by raw bytes
    const std::string hidden = EncodePlayerRecord({0, -1, true, ""});
    ASSERT_TRUE(c && RawWrite(c->Fd(), std::string("NL\0\xa9", 4) + Header(1, 152, 0, 0) + hidden));
    const std::pair<Message, std::string> exchanges[] = {
        {{}, Header(2, 0, 104, 0)},
        {MakeMessage(kCountRequest, 0, 104), Header(101, 4, 104, 0) + U32Payload(2)}, // the hidden player not counted...
        {MakeMessage(kIdRequest, 0, 104, U32Payload(2)), Header(102, 4, 104, 0) + U32Payload(0)}, // ...nor listed
        {MakeMessage(kNameRequest, 0, 104, U32Payload(101)), Header(103, 4, 104, 0) + "Host"},
        {MakeMessage(kHelloRequest, 0, 104), Header(104, 4, 104, 0) + U32Payload(1)},
    };
    for (const auto& [request, answer] : exchanges) {
        ASSERT_TRUE(request.type == 0 || SendMessage(*c, request));
        EXPECT_EQ(NextPacket(*c), answer) << int(request.type);
    }
    EXPECT_EQ(game.host.Do("send 101 104 hello raw"), "1"); // texts are forwarded unchanged, both ways
    EXPECT_EQ(NextPacket(*c), Header(3, 9, 104, 101) + "hello raw");
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kText, 101, 104, "hello Host")));
    EXPECT_EQ(game.host.Do("collect 101 1"), "1 hello Host");

    // Each way a packet or its message can be broken; which messages decode is the wire unit test's matter.
    const std::pair<const char*, std::string> attacks[] = {
        {"garbage", "GET / HTTP/1.0\r\n\r\n"},
        {"packet length above 16384", std::string("NL\xff\xff", 4) + std::string(100, 'x')},
        {"header cut short", std::string("NL\0\x0a", 4) + Header(3, 0, 0, 0).substr(0, 10)},
        {"unknown type", std::string("NL\0\x11", 4) + Header(77, 0, 0, 101)},
    };
    for (const auto& [what, bytes] : attacks) { // from peers with a player, which the idle limit would not close
        std::unique_ptr<PacketConnection> peer = RawPlayer(game.port);
        ASSERT_TRUE(peer && RawWrite(peer->Fd(), bytes)) << what;
        EXPECT_TRUE(ClosedWithin(*peer)) << what << ": the host kept the connection";
    }
    for (std::string half : {std::string("NL\0", 3), std::string("NL\0\x40", 4) + Header(3, 47, 101, 0)})
        ASSERT_TRUE(RawWrite(RawConnect(game.port)->Fd(), half)); // and leave mid-packet
    Peer& client = game.clients[0];
    const int id = game.ids[0];
    EXPECT_EQ(client.Do("count"), "2");
    ASSERT_EQ(client.Do(Cmd("send", id, id) + " still here"), "1");
    EXPECT_EQ(client.Do(Cmd("collect", id, 1)), "1 still here");
}

// One connection gets at most 64 players, all of them together 4096 (the game's two players
// hold two places): the 64th flooding connection gets 62, the 65th none; leaving frees them.
TEST(HostilePeers, AFloodOfPlayersIsRefusedBeyondEachShareAndTheTable) {
    Game game(1);
    ASSERT_TRUE(game.Ready());
    const std::vector<uint8_t> create = EncodeMessage(MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord({})));
    std::vector<std::unique_ptr<PacketConnection>> floods;
    Message message;
    int given = 0;
    for (int c = 0; c < 65; ++c) {
        floods.push_back(RawConnect(game.port));
        ASSERT_TRUE(floods.back());
        for (int i = 0; i < 70; ++i) floods.back()->Queue(MakePacket(create.data(), create.size()));
        ASSERT_TRUE(floods.back()->WaitForRoom(0, kPatienceMs));
        int mine = 0;
        for (int i = 0; i < 70; ++i, mine += message.a > 0) ASSERT_TRUE(ReadMessageWithin(*floods.back(), kPlayerId, &message));
        EXPECT_EQ(mine, std::clamp(4094 - 64 * c, 0, 64)) << "connection " << c;
        given += mine;
    }
    EXPECT_EQ(given, 4096 - 2);
    EXPECT_LT(MsTaken([&] { EXPECT_EQ(game.clients[0].Do("create Late"), "-1"); }), kNetAnswerWaitMs) << "refused at once";
    floods.front().reset();
    EXPECT_TRUE(Within([&] { return game.clients[0].Do("create Later") != "-1"; }, kPatienceMs, 20));
}
