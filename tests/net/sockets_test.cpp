// The packet-socket layer: framing on the wire, reassembly of split packets, out-of-sync and
// vanished peers, non-blocking accept, polling and address conversion.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "peer.h"
#include "voxa/net.h"

using namespace net;

namespace {

// A listener and a connection to it: the raw socket side and the accepted packet side.
struct Pair {
    std::unique_ptr<PacketListener> listener;
    std::unique_ptr<PacketConnection> accepted;
    int raw = -1;
    ~Pair() {
        if (raw >= 0) close(raw);
    }
};

bool MakePair(Pair* pair) {
    NetStatus status;
    pair->listener = PacketListener::Open(0, &status);
    if (!pair->listener) return false;
    pair->raw = RawSocket(pair->listener->Port());
    Within([&] { return pair->listener->Accept(&pair->accepted) == NetStatus::Ok; }, kPatienceMs, 5);
    return pair->raw >= 0 && pair->accepted != nullptr;
}

std::string ReadRaw(int fd, size_t count) {
    std::string out;
    char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
        ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - out.size()), MSG_DONTWAIT);
        if (n > 0) out.append(buffer, static_cast<size_t>(n));
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return out;
}

} // namespace

TEST(Sockets, PacketIsSignatureBigEndianLengthThenPayload) {
    Pair pair;
    ASSERT_TRUE(MakePair(&pair));
    std::string payload(300, 'p');
    ASSERT_EQ(pair.accepted->WritePacket(payload.data(), payload.size()), NetStatus::Ok);
    EXPECT_EQ(ReadRaw(pair.raw, 304), std::string("NL\x01\x2c", 4) + payload);
    ASSERT_EQ(pair.accepted->WritePacket(nullptr, 0), NetStatus::Ok);
    EXPECT_EQ(ReadRaw(pair.raw, 4), std::string("NL\0\0", 4));
    std::string tooBig(kMaxPacket + 1, 'x');
    EXPECT_EQ(pair.accepted->WritePacket(tooBig.data(), tooBig.size()), NetStatus::SystemError);
}

TEST(Sockets, SplitPacketsAreReassembledAndBackToBackOnesSeparated) {
    Pair pair;
    ASSERT_TRUE(MakePair(&pair));
    std::vector<uint8_t> packet;
    EXPECT_EQ(pair.accepted->ReadPacket(&packet), NetStatus::NoPending);
    ASSERT_TRUE(RawWrite(pair.raw, std::string("N", 1)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pair.accepted->ReadPacket(&packet), NetStatus::NoPending);
    ASSERT_TRUE(RawWrite(pair.raw, std::string("L\0\x05" "ab", 5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pair.accepted->ReadPacket(&packet), NetStatus::NoPending);
    ASSERT_TRUE(RawWrite(pair.raw, std::string("cdeNL\0\x01zNL\0\0", 12)));
    ASSERT_TRUE(ReadPacketWithin(*pair.accepted, kPatienceMs, &packet));
    EXPECT_EQ(std::string(packet.begin(), packet.end()), "abcde");
    ASSERT_TRUE(ReadPacketWithin(*pair.accepted, kPatienceMs, &packet));
    EXPECT_EQ(std::string(packet.begin(), packet.end()), "z");
    ASSERT_TRUE(ReadPacketWithin(*pair.accepted, kPatienceMs, &packet));
    EXPECT_TRUE(packet.empty());

    // The largest packet, written in many small pieces.
    std::string big = std::string("NL\x40\x00", 4) + std::string(kMaxPacket, 'q');
    for (size_t i = 0; i < big.size(); i += 1000) ASSERT_TRUE(RawWrite(pair.raw, big.substr(i, 1000)));
    ASSERT_TRUE(ReadPacketWithin(*pair.accepted, kPatienceMs, &packet));
    EXPECT_EQ(packet.size(), kMaxPacket);
}

TEST(Sockets, OutOfSyncAndVanishedPeersReadAsClosed) {
    struct Case {
        const char* what;
        std::string bytes;
        bool close;
    };
    std::vector<Case> cases = {
        {"wrong signature", std::string("XL\0\x01z", 5), false},
        {"length above 16384", std::string("NL\x40\x01", 4), false},
        {"peer leaves mid-packet", std::string("NL\0\x10half", 8), true},
        {"peer leaves mid-header", std::string("N", 1), true},
    };
    for (const Case& c : cases) {
        Pair pair;
        ASSERT_TRUE(MakePair(&pair));
        ASSERT_TRUE(RawWrite(pair.raw, c.bytes));
        if (c.close) {
            close(pair.raw);
            pair.raw = -1;
        }
        EXPECT_TRUE(ClosedWithin(*pair.accepted, kPatienceMs)) << c.what;
    }
}

TEST(Sockets, AcceptAndPollNeverWait) {
    NetStatus status;
    std::unique_ptr<PacketListener> listener = PacketListener::Open(0, &status);
    ASSERT_TRUE(listener);
    EXPECT_NE(listener->Port(), 0);
    // With nobody connecting, a waiting accept or poll would wait for good; each call is given
    // the network commands' whole answer wait to return in.
    std::unique_ptr<PacketConnection> none;
    EXPECT_LT(MsTaken([&] { EXPECT_EQ(listener->Accept(&none), NetStatus::NoPending); }), kNetAnswerWaitMs);
    std::vector<int> ready;
    EXPECT_LT(MsTaken([&] { EXPECT_TRUE(PollReadable({listener->Fd()}, 0, &ready)); }), kNetAnswerWaitMs);
    EXPECT_TRUE(ready.empty());

    std::unique_ptr<PacketConnection> client = PacketConnection::Connect(LoopbackAddress(listener->Port()), 2000, &status);
    ASSERT_TRUE(client);
    EXPECT_TRUE(PollReadable({listener->Fd()}, kPatienceMs, &ready));
    EXPECT_EQ(ready, std::vector<int>{listener->Fd()});

    // The same port cannot be listened on twice; nobody listening refuses a connection.
    EXPECT_FALSE(PacketListener::Open(listener->Port(), &status));
    EXPECT_EQ(status, NetStatus::SystemError);
    uint16_t nobody = FreePort();
    EXPECT_FALSE(PacketConnection::Connect(LoopbackAddress(nobody), 2000, &status));
    EXPECT_EQ(status, NetStatus::Closed);
}

TEST(Sockets, AddressText) {
    NetAddress address;
    ASSERT_TRUE(TextToAddress("127.0.0.1:27013", &address));
    EXPECT_EQ(address.ip, 0x7f000001u);
    EXPECT_EQ(address.port, 27013);
    EXPECT_EQ(AddressToText(address), "127.0.0.1:27013");
    ASSERT_TRUE(TextToAddress("10.1.2.3", &address));
    EXPECT_EQ(address.port, 0);
    EXPECT_EQ(AddressToText(address), "10.1.2.3");
    ASSERT_TRUE(TextToAddress("localhost:80", &address));
    EXPECT_EQ(address.ip, 0x7f000001u);
    for (const char* bad : {"", ":80", "1.2.3.4:", "1.2.3.4:65536", "1.2.3.4:8x", "1.2.3.4:-1"})
        EXPECT_FALSE(TextToAddress(bad, &address)) << bad;

    std::vector<NetAddress> local = LocalAddresses();
    EXPECT_TRUE(std::any_of(local.begin(), local.end(), [](const NetAddress& a) { return a.ip == 0x7f000001u; }));
}
