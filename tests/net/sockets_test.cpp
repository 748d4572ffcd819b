// The packet-socket layer: framing on the wire, reassembly of split packets, out-of-sync and
// vanished peers, accepting and connecting without a peer, and address text.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>

#include "peer.h"

using namespace net;

namespace {

// A listener, a connection to it (written and read as raw bytes) and the accepted side.
struct Pair {
    std::unique_ptr<PacketListener> listener;
    std::unique_ptr<PacketConnection> raw, accepted;
    Pair() {
        NetStatus status;
        listener = PacketListener::Open(0, &status);
        if (!listener || !(raw = RawConnect(listener->Port()))) return;
        Within([&] { return listener->Accept(&accepted) == NetStatus::Ok; }, kPatienceMs, 5);
    }
    // Waits until bytes wait on the accepted side, so that a read sees them.
    void Arrived() {
        std::vector<int> ready;
        PollReadable({accepted->Fd()}, kPatienceMs, &ready);
    }
};

std::string ReadRaw(int fd, size_t count) {
    std::string out;
    char buffer[4096];
    Within([&] {
        ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - out.size()), MSG_DONTWAIT);
        if (n > 0) out.append(buffer, static_cast<size_t>(n));
        return out.size() >= count;
    });
    return out;
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace

TEST(Sockets, PacketsAreFramedAndSplitOrBackToBackOnesReassembled) {
    Pair pair;
    ASSERT_TRUE(pair.accepted);
    std::string payload(300, 'p');
    ASSERT_EQ(pair.accepted->WritePacket(payload.data(), payload.size()), NetStatus::Ok);
    ASSERT_EQ(pair.accepted->WritePacket(nullptr, 0), NetStatus::Ok);
    EXPECT_EQ(ReadRaw(pair.raw->Fd(), 308), std::string("NL\x01\x2c", 4) + payload + std::string("NL\0\0", 4));
    std::string tooBig(kMaxPacket + 1, 'x');
    EXPECT_EQ(pair.accepted->WritePacket(tooBig.data(), tooBig.size()), NetStatus::SystemError);

    std::vector<uint8_t> packet;
    EXPECT_EQ(pair.accepted->ReadPacket(&packet), NetStatus::NoPending);
    for (std::string piece : {std::string("N"), std::string("L\0\x05" "ab", 5)}) {
        ASSERT_TRUE(RawWrite(pair.raw->Fd(), piece));
        pair.Arrived();
        EXPECT_EQ(pair.accepted->ReadPacket(&packet), NetStatus::NoPending) << "after " << piece.size() << " bytes";
    }
    ASSERT_TRUE(RawWrite(pair.raw->Fd(), std::string("cdeNL\0\x01zNL\0\0", 12)));
    for (const char* expected : {"abcde", "z", ""}) {
        ASSERT_EQ(ReadWithin(*pair.accepted, kPatienceMs, &packet), NetStatus::Ok);
        EXPECT_EQ(Text(packet), expected);
    }
    // The largest packet, written in many small pieces.
    std::string big = std::string("NL\x40\x00", 4) + std::string(kMaxPacket, 'q');
    for (size_t i = 0; i < big.size(); i += 1000) ASSERT_TRUE(RawWrite(pair.raw->Fd(), big.substr(i, 1000)));
    ASSERT_EQ(ReadWithin(*pair.accepted, kPatienceMs, &packet), NetStatus::Ok);
    EXPECT_EQ(Text(packet), big.substr(4));
}

TEST(Sockets, OutOfSyncAndVanishedPeersReadAsClosed) {
    const struct {
        const char* what;
        std::string bytes;
        bool leave;
    } cases[] = {
        {"wrong signature", std::string("XL\0\x01z", 5), false},
        {"length above 16384", std::string("NL\x40\x01", 4), false},
        {"peer leaves mid-packet", std::string("NL\0\x10half", 8), true},
        {"peer leaves mid-header", "N", true},
    };
    for (const auto& c : cases) {
        Pair pair;
        ASSERT_TRUE(pair.accepted);
        ASSERT_TRUE(RawWrite(pair.raw->Fd(), c.bytes));
        if (c.leave) pair.raw.reset();
        EXPECT_TRUE(ClosedWithin(*pair.accepted, kPatienceMs)) << c.what;
    }
}

TEST(Sockets, AcceptingAndConnectingWithoutAPeerFailAtOnce) {
    NetStatus status;
    std::unique_ptr<PacketListener> listener = PacketListener::Open(0, &status);
    ASSERT_TRUE(listener);
    std::unique_ptr<PacketConnection> none;
    EXPECT_EQ(listener->Accept(&none), NetStatus::NoPending);
    EXPECT_FALSE(PacketListener::Open(listener->Port(), &status)) << "the port is taken";
    EXPECT_EQ(status, NetStatus::SystemError);
    EXPECT_FALSE(PacketConnection::Connect(LoopbackAddress(FreePort()), 2000, &status));
    EXPECT_EQ(status, NetStatus::Closed);
}

TEST(Sockets, AddressText) {
    const struct {
        const char* text;
        uint32_t ip;
        uint16_t port;
        const char* back; // null: refused
    } cases[] = {
        {"127.0.0.1:27013", 0x7f000001u, 27013, "127.0.0.1:27013"}, {"10.1.2.3", 0x0a010203u, 0, "10.1.2.3"},
        {"localhost:80", 0x7f000001u, 80, "127.0.0.1:80"}, {"", 0, 0, nullptr}, {":80", 0, 0, nullptr},
        {"1.2.3.4:", 0, 0, nullptr}, {"1.2.3.4:65536", 0, 0, nullptr}, {"1.2.3.4:8x", 0, 0, nullptr},
        {"1.2.3.4:-1", 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        NetAddress address;
        ASSERT_EQ(TextToAddress(c.text, &address), c.back != nullptr) << c.text;
        if (!c.back) continue;
        EXPECT_EQ(address.ip, c.ip) << c.text;
        EXPECT_EQ(address.port, c.port) << c.text;
        EXPECT_EQ(AddressToText(address), c.back);
    }
    std::vector<NetAddress> local = LocalAddresses();
    EXPECT_TRUE(std::any_of(local.begin(), local.end(), [](const NetAddress& a) { return a.ip == 0x7f000001u; }));
}
