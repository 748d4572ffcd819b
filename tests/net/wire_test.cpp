// Message and player-record encoding, and the decoder's refusal of every malformed shape.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "net/wire.h"

using namespace net;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
const uint8_t* Data(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

} // namespace

TEST(Wire, MessagesAndRecordsAreLittleEndianWithoutPaddingAndDecodeBack) {
    EXPECT_EQ(EncodeMessage(MakeMessage(kText, -1, 0x01020304, "hi")),
              Bytes(std::string("QMTK\x03\x02\0\0\0\xff\xff\xff\xff\x04\x03\x02\x01hi", 19)));
    for (const std::string& payload : {std::string("a\0b", 3), std::string(kMaxPayload, 'x')}) {
        Message out;
        ASSERT_EQ(DecodeMessage(EncodeMessage(MakeMessage(kText, 205, 101, payload)).data(), kHeaderSize + payload.size(), &out),
                  DecodeResult::Ok);
        EXPECT_EQ(out.type, kText);
        EXPECT_EQ(out.a, 205);
        EXPECT_EQ(out.b, 101);
        EXPECT_EQ(out.payload, payload);
    }
    EXPECT_EQ(EncodeMessage(MakeMessage(kText, 1, 2, std::string(kMaxPayload + 5, 'x'))).size(), kHeaderSize + kMaxPayload);

    PlayerRecordWire record{0x11223344, -3, true, "Alice"}, back;
    std::string bytes = EncodePlayerRecord(record);
    EXPECT_EQ(bytes, std::string("\x44\x33\x22\x11\xfd\xff\xff\xff\x01" "Alice", 14) + std::string(kRecordSize - 14, '\0'));
    ASSERT_TRUE(DecodePlayerRecord(Data(bytes), bytes.size(), &back));
    EXPECT_EQ(std::make_tuple(back.connection, back.id, back.hidden, back.name), std::make_tuple(record.connection, -3, true, record.name));
    record.name = std::string(300, 'n'); // cut to what the field holds with its NUL
    bytes = EncodePlayerRecord(record);
    ASSERT_TRUE(DecodePlayerRecord(Data(bytes), bytes.size(), &back));
    EXPECT_EQ(back.name, std::string(kNameSize - 1, 'n'));
}

TEST(Wire, MalformedMessagesAndRecordsAreRefused) {
    const std::string good = [] { auto b = EncodeMessage(MakeMessage(kText, 1, 2, "hello")); return std::string(b.begin(), b.end()); }();
    std::string noNul = EncodePlayerRecord(PlayerRecordWire());
    for (size_t i = 9; i < 9 + kNameSize; ++i) noNul[i] = 'z';
    auto with = [&](size_t at, std::string bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
    auto encoded = [](uint8_t type, int32_t b, std::string payload) {
        auto bytes = EncodeMessage(MakeMessage(type, 0, b, std::move(payload)));
        return std::string(bytes.begin(), bytes.end());
    };
    const std::string over = encoded(kText, 2, std::string(kMaxPayload, 'x')).replace(5, 2, "\x01\x08") + "x"; // 2049
    const struct {
        const char* what;
        std::string bytes;
        DecodeResult result;
    } cases[] = {
        {"empty", "", DecodeResult::TooShort},
        {"header cut short", good.substr(0, 16), DecodeResult::TooShort},
        {"wrong magic", with(3, "X"), DecodeResult::BadMagic},
        {"length beyond the bytes", with(5, "\x06"), DecodeResult::BadLength},
        {"length short of the bytes", with(5, "\x04"), DecodeResult::BadLength},
        {"huge length", with(8, "\x80"), DecodeResult::BadLength},
        {"payload above 2048", over, DecodeResult::BadLength},
        {"type 0", with(4, std::string(1, '\0')), DecodeResult::UnknownType},
        {"type 5", with(4, "\x05"), DecodeResult::UnknownType},
        {"type 100", with(4, "\x64"), DecodeResult::UnknownType},
        {"type 105", with(4, "\x69"), DecodeResult::UnknownType},
        {"id request with 3 bytes", encoded(kIdRequest, 101, "abc"), DecodeResult::BadPayload},
        {"id request", encoded(kIdRequest, 101, "abcd"), DecodeResult::Ok},
        {"name request without id", encoded(kNameRequest, 101, ""), DecodeResult::BadPayload},
        {"record without NUL", encoded(kCreatePlayer, 0, noNul), DecodeResult::BadPayload},
        {"record too short", encoded(kCreatePlayer, 0, EncodePlayerRecord({}).substr(0, 151)), DecodeResult::BadPayload},
        {"record", encoded(kCreatePlayer, 0, EncodePlayerRecord({})), DecodeResult::Ok},
    };
    for (const auto& c : cases) {
        Message untouched = MakeMessage(kText, 7, 7, "keep");
        EXPECT_EQ(DecodeMessage(Data(c.bytes), c.bytes.size(), &untouched), c.result) << c.what;
        EXPECT_EQ(untouched.payload == "keep", c.result != DecodeResult::Ok) << c.what << ": only a decoded message fills the output";
    }
    Message out;
    EXPECT_EQ(DecodeMessage(nullptr, 100, &out), DecodeResult::TooShort);
    PlayerRecordWire record;
    EXPECT_FALSE(DecodePlayerRecord(nullptr, kRecordSize, &record));
    EXPECT_FALSE(DecodePlayerRecord(Data(noNul), noNul.size(), &record));
    const std::string fine = EncodePlayerRecord({});
    EXPECT_FALSE(DecodePlayerRecord(Data(fine), kRecordSize - 1, &record));
}
