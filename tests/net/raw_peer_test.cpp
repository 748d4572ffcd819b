// The bytes on the wire, seen by a raw peer written by hand: what a joining program sends and
// expects, what a host answers, and a host that hostile or broken peers cannot bring down.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>

#include "peer.h"
#include "voxa/net.h"

using namespace net;

namespace {

std::string Str(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Header(uint8_t type, uint32_t length, int32_t a, int32_t b) {
    std::string h = "QMTK";
    h.push_back(static_cast<char>(type));
    PutU32(&h, length);
    PutU32(&h, static_cast<uint32_t>(a));
    PutU32(&h, static_cast<uint32_t>(b));
    return h;
}

std::string U32(uint32_t v) {
    std::string s;
    PutU32(&s, v);
    return s;
}

std::unique_ptr<PacketConnection> AcceptWithin(PacketListener& listener, int timeoutMs) {
    std::unique_ptr<PacketConnection> connection;
    Within([&] { return listener.Accept(&connection) == NetStatus::Ok; }, timeoutMs, 5);
    return connection;
}

} // namespace

TEST(WireBytes, JoiningProgramSpeaksTheDocumentedFormat) {
    NetStatus status;
    std::unique_ptr<PacketListener> listener = PacketListener::Open(0, &status);
    ASSERT_TRUE(listener);
    Peer client;
    ASSERT_TRUE(client.Send("join 127.0.0.1 " + std::to_string(listener->Port())));
    std::unique_ptr<PacketConnection> c = AcceptWithin(*listener, kPatienceMs);
    ASSERT_TRUE(c);

    // The hidden player: a 152-byte record with id -1, hidden 1 and an empty name.
    std::vector<uint8_t> packet;
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    std::string record = std::string(4, '\0') + "\xff\xff\xff\xff\x01" + std::string(143, '\0');
    EXPECT_EQ(Str(packet), Header(1, 152, 0, 0) + record);
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kPlayerId, 101, 0)));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(104, 0, 0, 101)); // hello, asked as the hidden player
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kHelloRequest, 101, 0, U32(1))));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(4, 0, 0, 101)); // the hidden player leaves again
    EXPECT_EQ(client.Answer(), "1");

    ASSERT_TRUE(client.Send("create Zoe"));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    std::string zoe = std::string(4, '\0') + "\xff\xff\xff\xff" + std::string(1, '\0') + "Zoe" + std::string(140, '\0');
    EXPECT_EQ(Str(packet), Header(1, 152, 0, 0) + zoe);
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kPlayerId, 555, 0)));
    EXPECT_EQ(client.Answer(), "555");

    ASSERT_TRUE(client.Send("count"));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(101, 0, 0, 555));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kCountRequest, 555, 0, U32(7))));
    EXPECT_EQ(client.Answer(), "7");

    ASSERT_TRUE(client.Send("name 555"));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(103, 4, 0, 555) + U32(555));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kNameRequest, 555, 0, "Zoe")));
    EXPECT_EQ(client.Answer(), "Zoe");

    EXPECT_EQ(client.Do("send 555 0 hi"), "1");
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(3, 2, -1, 555) + "hi");
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kText, -1, 9, "to all")));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kText, 555, 9, "to Zoe")));
    EXPECT_EQ(client.Do("collect 555 2"), "2 to all to Zoe");

    // A request whose answer never comes fails after the wait, not at once and not never.
    EXPECT_GE(MsTaken([&] { EXPECT_EQ(client.Do("id 0"), "0"); }), kNetAnswerWaitMs * 9 / 10);
    Message message;
    ASSERT_TRUE(ReadMessageWithin(*c, kIdRequest, kPatienceMs, &message));
    // Its late answer, and an answer nobody asked for, are not taken for the next request's.
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kIdRequest, 555, 0, U32(777))));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kCountRequest, 555, 0, U32(55))));
    ASSERT_TRUE(client.Send("id 1"));
    ASSERT_TRUE(ReadMessageWithin(*c, kIdRequest, kPatienceMs, &message));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kIdRequest, 555, 0, U32(888))));
    EXPECT_EQ(client.Answer(), "888");
    ASSERT_TRUE(client.Send("count"));
    ASSERT_TRUE(ReadMessageWithin(*c, kCountRequest, kPatienceMs, &message));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kCountRequest, 555, 0, U32(9))));
    EXPECT_EQ(client.Answer(), "9");

    // A player whose id comes too late is given up by its command and removed at the host.
    EXPECT_EQ(client.Do("create Late"), "-1");
    ASSERT_TRUE(ReadMessageWithin(*c, kCreatePlayer, kPatienceMs, &message));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kPlayerId, 600, 0)));
    ASSERT_TRUE(ReadMessageWithin(*c, kRemovePlayer, kPatienceMs, &message));
    EXPECT_EQ(message.b, 600);

    // At its end the program says goodbye for its player, then closes.
    EXPECT_EQ(client.Do("quit"), "bye");
    ASSERT_TRUE(ReadMessageWithin(*c, kRemovePlayer, kPatienceMs, &message));
    EXPECT_EQ(message.b, 555);
    EXPECT_TRUE(ClosedWithin(*c, kPatienceMs));
}

TEST(WireBytes, HostAnswersInTheDocumentedFormat) {
    Peer host;
    uint16_t port = HostOnFreePort(host);
    ASSERT_NE(port, 0);
    ASSERT_EQ(host.Do("create Hugo"), "101");
    std::unique_ptr<PacketConnection> c = RawConnect(port);
    ASSERT_TRUE(c);
    PlayerRecordWire record;
    record.name = "Raw";
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(record))));
    std::vector<uint8_t> packet;
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(2, 0, 102, 0));

    ASSERT_TRUE(SendMessage(*c, MakeMessage(kCountRequest, 0, 102)));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(101, 4, 102, 0) + U32(2));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kIdRequest, 0, 102, U32(1))));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(102, 4, 102, 0) + U32(102));
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kNameRequest, 0, 102, U32(101))));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(103, 4, 102, 0) + "Hugo");
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kHelloRequest, 0, 102)));
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(104, 4, 102, 0) + U32(1));

    // Texts are forwarded unchanged; the host's player gets the raw peer's text.
    EXPECT_EQ(host.Do("send 101 102 hello raw"), "1");
    ASSERT_TRUE(ReadPacketWithin(*c, kPatienceMs, &packet));
    EXPECT_EQ(Str(packet), Header(3, 9, 102, 101) + "hello raw");
    ASSERT_TRUE(SendMessage(*c, MakeMessage(kText, 101, 102, "hello Hugo")));
    EXPECT_EQ(host.Do("collect 101 1"), "1 hello Hugo");
}

namespace {

// A host and a well-behaved client with one player (102; the client's hidden player took 101).
class HostilePeers : public ::testing::Test {
protected:
    void SetUp() override {
        port = HostOnFreePort(host);
        ASSERT_NE(port, 0);
        ASSERT_EQ(client.Do("join 127.0.0.1 " + std::to_string(port)), "1");
        ASSERT_EQ(client.Do("create Good"), "102");
    }
    Peer host, client;
    uint16_t port = 0;
};

} // namespace

// Every kind of broken or hostile input is met with the connection being dropped, while the
// host goes on serving its well-behaved client.
TEST_F(HostilePeers, CannotBringTheHostDown) {

    std::string noNul = EncodePlayerRecord(PlayerRecordWire());
    for (size_t i = 9; i < 136; ++i) noNul[i] = 'z';
    struct Attack {
        const char* what;
        std::string bytes;
    };
    std::vector<Attack> attacks = {
        {"garbage", "GET / HTTP/1.0\r\n\r\n"},
        {"packet length above 16384", std::string("NL\xff\xff", 4) + std::string(100, 'x')},
        {"header cut short", std::string("NL\0\x0a", 4) + Header(3, 0, 0, 0).substr(0, 10)},
        {"wrong magic", std::string("NL\0\x11", 4) + Header(3, 0, 101, 0).replace(0, 4, "ABCD")},
        {"payload length above 2048", std::string("NL\0\x11", 4) + Header(3, 5000, 101, 0)},
        {"payload length beyond the packet", std::string("NL\0\x1b", 4) + Header(3, 100, 101, 0) + "0123456789"},
        {"huge payload length", std::string("NL\0\x11", 4) + Header(3, 0xffffffffu, 101, 0)},
        {"record without NUL", std::string("NL\0\xa9", 4) + Header(1, 152, 0, 0) + noNul},
        {"record too short", std::string("NL\0\x15", 4) + Header(1, 4, 0, 0) + "abcd"},
        {"unknown type", std::string("NL\0\x11", 4) + Header(77, 0, 0, 101)},
        {"name request without id", std::string("NL\0\x11", 4) + Header(103, 0, 0, 101)},
    };
    for (const Attack& attack : attacks) {
        std::unique_ptr<PacketConnection> c = RawConnect(port);
        ASSERT_TRUE(c) << attack.what;
        ASSERT_TRUE(RawWrite(c->Fd(), attack.bytes)) << attack.what;
        EXPECT_TRUE(ClosedWithin(*c, kPatienceMs)) << attack.what << ": the host kept the connection";
    }

    // Peers that vanish in the middle of a header or a packet.
    for (std::string half : {std::string("NL\0", 3), std::string("NL\0\x40", 4) + Header(3, 47, 101, 0)}) {
        int fd = RawSocket(port);
        ASSERT_GE(fd, 0);
        RawWrite(fd, half);
        close(fd);
    }

    // Random bytes, framed and unframed.
    std::mt19937 random(1234);
    for (int round = 0; round < 30; ++round) {
        std::unique_ptr<PacketConnection> c = RawConnect(port);
        ASSERT_TRUE(c);
        std::string bytes(random() % 300, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        if (round % 2 == 0) c->WritePacket(bytes.data(), bytes.size());
        else RawWrite(c->Fd(), bytes);
    }

    EXPECT_TRUE(host.Alive());
    EXPECT_EQ(client.Do("count"), "1");
    ASSERT_EQ(client.Do("send 102 102 still here"), "1");
    EXPECT_EQ(client.Do("collect 102 1"), "1 still here");
}

TEST_F(HostilePeers, ConnectionsBeyondTheHundredthAreClosed) {
    std::vector<std::unique_ptr<PacketConnection>> crowd;
    for (int i = 0; i < 120; ++i) {
        crowd.push_back(RawConnect(port));
        ASSERT_TRUE(crowd.back()) << i;
    }
    // The host's own connection and the client hold two of the hundred places.
    std::vector<bool> closed(crowd.size(), false);
    int count = 0;
    Within([&] {
        for (size_t i = 0; i < crowd.size(); ++i) {
            if (closed[i] || !ClosedWithin(*crowd[i], 0)) continue;
            closed[i] = true;
            ++count;
        }
        return count >= 22;
    }, kPatienceMs, 10);
    EXPECT_EQ(count, 22);
    EXPECT_EQ(std::count(closed.begin(), closed.begin() + 98, true), 0) << "the first 98 keep their places";
    EXPECT_EQ(client.Do("count"), "1");
    crowd.clear();
    // Places freed by leaving peers can be taken again (once the host has seen them leave).
    EXPECT_TRUE(Within(
        [&] {
            std::unique_ptr<PacketConnection> late = RawConnect(port);
            Message message;
            return late && SendMessage(*late, MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire()))) &&
                   ReadMessageWithin(*late, kPlayerId, 1000, &message);
        },
        kPatienceMs, 50));
}

// One connection gets at most 64 players, and all of them together 4096 (the client's player
// holds one place): the 64th flooding connection gets 63, the 65th none.
TEST_F(HostilePeers, AFloodOfPlayersIsRefusedBeyondEachShareAndTheTable) {
    std::vector<uint8_t> create = EncodeMessage(MakeMessage(kCreatePlayer, 0, 0, EncodePlayerRecord(PlayerRecordWire())));
    std::vector<std::unique_ptr<PacketConnection>> floods;
    Message message;
    int given = 0;
    for (int c = 0; c < 65; ++c) {
        floods.push_back(RawConnect(port));
        ASSERT_TRUE(floods.back());
        PacketConnection& flood = *floods.back();
        for (int i = 0; i < 70; ++i) flood.Queue(MakePacket(create.data(), create.size()));
        ASSERT_TRUE(flood.WaitForRoom(0, kPatienceMs));
        int mine = 0;
        for (int i = 0; i < 70; ++i) {
            ASSERT_TRUE(ReadMessageWithin(flood, kPlayerId, kPatienceMs, &message)) << c << " " << i;
            if (message.a > 0) ++mine;
        }
        EXPECT_EQ(mine, std::clamp(4095 - 64 * c, 0, 64)) << "connection " << c;
        given += mine;
    }
    EXPECT_EQ(given, 4096 - 1);
    // The client's own request is refused at once, not after the wait.
    EXPECT_LT(MsTaken([&] { EXPECT_EQ(client.Do("create Late"), "-1"); }), kNetAnswerWaitMs);
    floods.front().reset(); // leaving frees every place it took
    bool created = false;
    for (int i = 0; i < 50 && !created; ++i) created = client.Do("create Later") != "-1";
    EXPECT_TRUE(created);
}
