// Message and player-record encoding, and the decoder's refusal of every malformed shape.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "net/wire.h"

using namespace net;

namespace {

std::string Encoded(uint8_t type, int32_t a, int32_t b, const std::string& payload) {
    std::vector<uint8_t> bytes = EncodeMessage(MakeMessage(type, a, b, payload));
    return std::string(bytes.begin(), bytes.end());
}

DecodeResult Decode(const std::string& bytes, Message* out) {
    return DecodeMessage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

bool DecodeRecord(const std::string& bytes, size_t size, PlayerRecordWire* out) {
    return DecodePlayerRecord(reinterpret_cast<const uint8_t*>(bytes.data()), size, out);
}

} // namespace

TEST(Wire, MessagesAndRecordsAreLittleEndianWithoutPaddingAndDecodeBack) {
    EXPECT_EQ(Encoded(kText, -1, 0x01020304, "hi"), std::string("QMTK\x03\x02\0\0\0\xff\xff\xff\xff\x04\x03\x02\x01hi", 19));
    EXPECT_EQ(Encoded(kText, 1, 2, std::string(kMaxPayload + 5, 'x')).size(), kHeaderSize + kMaxPayload);
    for (const std::string& payload : {std::string("a\0b", 3), std::string(kMaxPayload, 'x')}) {
        Message out;
        ASSERT_EQ(Decode(Encoded(kText, 205, 101, payload), &out), DecodeResult::Ok);
        EXPECT_EQ(std::tie(out.type, out.a, out.b, out.payload), std::make_tuple(kText, 205, 101, payload));
    }
    const std::string bytes = EncodePlayerRecord({0x11223344, -3, true, "Alice"});
    EXPECT_EQ(bytes, std::string("\x44\x33\x22\x11\xfd\xff\xff\xff\x01" "Alice", 14) + std::string(kRecordSize - 14, '\0'));
    PlayerRecordWire back;
    ASSERT_TRUE(DecodeRecord(bytes, bytes.size(), &back));
    EXPECT_EQ(std::tie(back.connection, back.id, back.hidden, back.name), std::make_tuple(0x11223344, -3, true, "Alice"));
    ASSERT_TRUE(DecodeRecord(EncodePlayerRecord({0, 1, false, std::string(300, 'n')}), kRecordSize, &back));
    EXPECT_EQ(back.name, std::string(kNameSize - 1, 'n')) << "cut to what the field holds with its NUL";
}

TEST(Wire, MalformedMessagesAndRecordsAreRefused) {
    const std::string good = Encoded(kText, 1, 2, "hello"), record = EncodePlayerRecord({});
    std::string noNul = record;
    std::fill(noNul.begin() + 9, noNul.begin() + 9 + kNameSize, 'z');
    auto with = [&](size_t at, const std::string& bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
    const std::string over = Encoded(kText, 1, 2, std::string(kMaxPayload, 'x')).replace(5, 2, "\x01\x08") + "x"; // 2049
    const struct {
        const char* what;
        std::string bytes;
        DecodeResult result;
    } cases[] = {
        {"empty", "", DecodeResult::TooShort}, {"header cut short", good.substr(0, 16), DecodeResult::TooShort},
        {"wrong magic", with(3, "X"), DecodeResult::BadMagic}, {"huge length", with(8, "\x80"), DecodeResult::BadLength},
        {"length beyond the bytes", with(5, "\x06"), DecodeResult::BadLength}, {"payload above 2048", over, DecodeResult::BadLength},
        {"length short of the bytes", with(5, "\x04"), DecodeResult::BadLength},
        {"type 0", with(4, std::string(1, '\0')), DecodeResult::UnknownType}, {"type 5", with(4, "\x05"), DecodeResult::UnknownType},
        {"type 100", with(4, "\x64"), DecodeResult::UnknownType}, {"type 105", with(4, "\x69"), DecodeResult::UnknownType},
        {"id request of 3 bytes", Encoded(kIdRequest, 0, 101, "abc"), DecodeResult::BadPayload},
        {"id request", Encoded(kIdRequest, 0, 101, "abcd"), DecodeResult::Ok},
        {"name request without id", Encoded(kNameRequest, 0, 101, ""), DecodeResult::BadPayload},
        {"record without NUL", Encoded(kCreatePlayer, 0, 0, noNul), DecodeResult::BadPayload},
        {"record too short", Encoded(kCreatePlayer, 0, 0, record.substr(0, 151)), DecodeResult::BadPayload},
        {"record", Encoded(kCreatePlayer, 0, 0, record), DecodeResult::Ok},
    };
    for (const auto& c : cases) {
        Message untouched = MakeMessage(kText, 7, 7, "keep");
        EXPECT_EQ(Decode(c.bytes, &untouched), c.result) << c.what;
        EXPECT_EQ(untouched.payload == "keep", c.result != DecodeResult::Ok) << c.what << ": only what decodes is taken";
    }
}
