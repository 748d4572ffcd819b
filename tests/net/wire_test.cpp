// Message and player-record encoding, and the decoder's refusal of every malformed shape.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/wire.h"

using namespace net;

namespace {


DecodeResult Decode(const std::vector<uint8_t>& bytes, Message* message = nullptr) {
    Message scratch;
    return DecodeMessage(bytes.data(), bytes.size(), message ? message : &scratch);
}

Message Text(int32_t a, int32_t b, const std::string& text) {
    Message m;
    m.type = kText;
    m.a = a;
    m.b = b;
    m.payload = text;
    return m;
}

} // namespace

TEST(Wire, HeaderIsSeventeenLittleEndianBytes) {
    std::vector<uint8_t> bytes = EncodeMessage(Text(-1, 0x01020304, "hi"));
    std::vector<uint8_t> expected = {'Q', 'M', 'T', 'K', 3, 2, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 4, 3, 2, 1, 'h', 'i'};
    EXPECT_EQ(bytes, expected);
}

TEST(Wire, RoundTripKeepsEveryField) {
    Message in = Text(205, 101, std::string("a\0b", 3));
    Message out;
    ASSERT_EQ(Decode(EncodeMessage(in), &out), DecodeResult::Ok);
    EXPECT_EQ(out.type, kText);
    EXPECT_EQ(out.a, 205);
    EXPECT_EQ(out.b, 101);
    EXPECT_EQ(out.payload, in.payload);

    Message big = Text(1, 2, std::string(kMaxPayload, 'x'));
    ASSERT_EQ(Decode(EncodeMessage(big), &out), DecodeResult::Ok);
    EXPECT_EQ(out.payload.size(), kMaxPayload);
    // The encoder never writes more than the largest payload.
    EXPECT_EQ(EncodeMessage(Text(1, 2, std::string(kMaxPayload + 5, 'x'))).size(), kHeaderSize + kMaxPayload);
}

TEST(Wire, MalformedMessagesAreRefused) {
    std::vector<uint8_t> good = EncodeMessage(Text(1, 2, "hello"));
    Message untouched = Text(7, 7, "keep");
    EXPECT_EQ(Decode({}), DecodeResult::TooShort);
    EXPECT_EQ(Decode(std::vector<uint8_t>(good.begin(), good.begin() + 16)), DecodeResult::TooShort);
    EXPECT_EQ(DecodeMessage(nullptr, 100, &untouched), DecodeResult::TooShort);

    std::vector<uint8_t> magic = good;
    magic[3] = 'X';
    EXPECT_EQ(Decode(magic), DecodeResult::BadMagic);

    std::vector<uint8_t> beyond = good;
    beyond[5] = 6; // one byte more than the packet holds
    EXPECT_EQ(Decode(beyond), DecodeResult::BadLength);
    std::vector<uint8_t> shorter = good;
    shorter[5] = 4;
    EXPECT_EQ(Decode(shorter), DecodeResult::BadLength);
    std::vector<uint8_t> huge = good;
    huge[8] = 0x80; // 2^31 + 5
    EXPECT_EQ(Decode(huge), DecodeResult::BadLength);
    std::vector<uint8_t> over(kHeaderSize + kMaxPayload + 1, 'x');
    std::vector<uint8_t> overHeader = EncodeMessage(Text(1, 2, ""));
    std::copy(overHeader.begin(), overHeader.end(), over.begin());
    over[5] = (kMaxPayload + 1) & 255;
    over[6] = (kMaxPayload + 1) >> 8;
    EXPECT_EQ(Decode(over), DecodeResult::BadLength);

    for (int type : {0, 5, 99, 100, 105, 255}) {
        std::vector<uint8_t> unknown = good;
        unknown[4] = static_cast<uint8_t>(type);
        EXPECT_EQ(Decode(unknown, &untouched), DecodeResult::UnknownType) << type;
    }
    EXPECT_EQ(untouched.payload, "keep"); // a refused message leaves the output alone

    Message idRequest;
    idRequest.type = kIdRequest;
    idRequest.b = 101;
    idRequest.payload = "abc"; // the index needs four bytes
    EXPECT_EQ(Decode(EncodeMessage(idRequest)), DecodeResult::BadPayload);
    idRequest.payload = "abcd";
    EXPECT_EQ(Decode(EncodeMessage(idRequest)), DecodeResult::Ok);
}

TEST(Wire, PlayerRecordLayout) {
    PlayerRecordWire record;
    record.connection = 0x11223344;
    record.id = -3;
    record.hidden = true;
    record.name = "Alice";
    std::string bytes = EncodePlayerRecord(record);
    ASSERT_EQ(bytes.size(), kRecordSize);
    EXPECT_EQ(bytes.substr(0, 9), std::string("\x44\x33\x22\x11\xfd\xff\xff\xff\x01", 9));
    EXPECT_EQ(bytes.substr(9, 6), std::string("Alice\0", 6));
    EXPECT_EQ(bytes.substr(15), std::string(kRecordSize - 15, '\0'));

    PlayerRecordWire back;
    ASSERT_TRUE(DecodePlayerRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &back));
    EXPECT_EQ(back.connection, record.connection);
    EXPECT_EQ(back.id, -3);
    EXPECT_TRUE(back.hidden);
    EXPECT_EQ(back.name, "Alice");

    record.name = std::string(300, 'n');
    bytes = EncodePlayerRecord(record);
    ASSERT_TRUE(DecodePlayerRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &back));
    EXPECT_EQ(back.name, std::string(kNameSize - 1, 'n'));
}

TEST(Wire, BrokenPlayerRecordsAreRefused) {
    std::string bytes = EncodePlayerRecord(PlayerRecordWire());
    PlayerRecordWire out;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_FALSE(DecodePlayerRecord(data, kRecordSize - 1, &out));
    EXPECT_FALSE(DecodePlayerRecord(nullptr, kRecordSize, &out));
    std::string noNul = bytes;
    for (size_t i = 9; i < 9 + kNameSize; ++i) noNul[i] = 'z';
    EXPECT_FALSE(DecodePlayerRecord(reinterpret_cast<const uint8_t*>(noNul.data()), noNul.size(), &out));

    // A create message whose record is broken is refused as a whole.
    Message create;
    create.type = kCreatePlayer;
    create.payload = noNul;
    EXPECT_EQ(Decode(EncodeMessage(create)), DecodeResult::BadPayload);
    create.payload = bytes.substr(0, 100);
    EXPECT_EQ(Decode(EncodeMessage(create)), DecodeResult::BadPayload);
    create.payload = bytes;
    EXPECT_EQ(Decode(EncodeMessage(create)), DecodeResult::Ok);
}
