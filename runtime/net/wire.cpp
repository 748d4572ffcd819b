// Encoding and decoding of messages and player records.
#include "net/wire.h"

#include <algorithm>
#include <cstring>

namespace net {

namespace {

constexpr char kMagic[4] = {'Q', 'M', 'T', 'K'};

bool KnownType(uint8_t type) {
    switch (type) {
    case kCreatePlayer: case kPlayerId: case kText: case kRemovePlayer:
    case kCountRequest: case kIdRequest: case kNameRequest: case kHelloRequest: return true;
    default: return false;
    }
}

// Requests that carry a number need it; answers (B = 0) carry whatever the host sent, checked
// by the reader of that answer.
bool PayloadFits(const Message& message) {
    switch (message.type) {
    case kCreatePlayer: {
        PlayerRecordWire record;
        return DecodePlayerRecord(reinterpret_cast<const uint8_t*>(message.payload.data()), message.payload.size(), &record);
    }
    case kIdRequest: case kNameRequest: return message.b == 0 || message.payload.size() >= 4;
    default: return true;
    }
}

} // namespace

void PutU32(std::string* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 255u));
}

std::string U32Payload(uint32_t value) {
    std::string payload;
    PutU32(&payload, value);
    return payload;
}

uint32_t GetU32(const void* data) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

DecodeResult DecodeMessage(const uint8_t* data, size_t size, Message* message, bool withText) {
    if (data == nullptr || size < kHeaderSize) return DecodeResult::TooShort;
    if (std::memcmp(data, kMagic, 4) != 0) return DecodeResult::BadMagic;
    uint32_t length = GetU32(data + 5);
    if (length > kMaxPayload || length != size - kHeaderSize) return DecodeResult::BadLength;
    if (!KnownType(data[4])) return DecodeResult::UnknownType;
    Message decoded;
    decoded.type = data[4];
    decoded.a = static_cast<int32_t>(GetU32(data + 9));
    decoded.b = static_cast<int32_t>(GetU32(data + 13));
    if (withText || decoded.type != kText) decoded.payload.assign(reinterpret_cast<const char*>(data + kHeaderSize), length);
    if (!PayloadFits(decoded)) return DecodeResult::BadPayload;
    *message = std::move(decoded);
    return DecodeResult::Ok;
}

Message MakeMessage(uint8_t type, int32_t a, int32_t b, std::string payload) {
    Message message;
    message.type = type;
    message.a = a;
    message.b = b;
    message.payload = std::move(payload);
    return message;
}

size_t EncodedSize(const Message& message) { return kHeaderSize + std::min(message.payload.size(), kMaxPayload); }

void EncodeMessageTo(const Message& message, uint8_t* out) {
    size_t length = EncodedSize(message) - kHeaderSize;
    auto put = [&out](uint32_t value) {
        for (int i = 0; i < 4; ++i) *out++ = static_cast<uint8_t>((value >> (8 * i)) & 255u);
    };
    std::memcpy(out, kMagic, 4);
    out += 4;
    *out++ = message.type;
    put(static_cast<uint32_t>(length));
    put(static_cast<uint32_t>(message.a));
    put(static_cast<uint32_t>(message.b));
    if (length > 0) std::memcpy(out, message.payload.data(), length);
}

std::vector<uint8_t> EncodeMessage(const Message& message) {
    std::vector<uint8_t> bytes(EncodedSize(message));
    EncodeMessageTo(message, bytes.data());
    return bytes;
}

bool DecodePlayerRecord(const uint8_t* data, size_t size, PlayerRecordWire* record) {
    if (data == nullptr || size != kRecordSize) return false;
    const uint8_t* name = data + 9;
    const void* end = std::memchr(name, 0, kNameSize);
    if (end == nullptr) return false;
    record->connection = static_cast<int32_t>(GetU32(data));
    record->id = static_cast<int32_t>(GetU32(data + 4));
    record->hidden = data[8] != 0;
    record->name.assign(reinterpret_cast<const char*>(name), static_cast<const uint8_t*>(end) - name);
    return true;
}

std::string EncodePlayerRecord(const PlayerRecordWire& record) {
    std::string bytes;
    bytes.reserve(kRecordSize);
    PutU32(&bytes, static_cast<uint32_t>(record.connection));
    PutU32(&bytes, static_cast<uint32_t>(record.id));
    bytes.push_back(record.hidden ? 1 : 0);
    std::string name = record.name.substr(0, std::min(record.name.find('\0'), kNameSize - 1));
    bytes.append(name);
    bytes.resize(kRecordSize, '\0'); // the name's NUL padding and the 16 in-memory bytes
    return bytes;
}

} // namespace net
