// The network game's wire format: the 17-byte message header and the 152-byte player record,
// little-endian, no padding. Decoding is pure (bytes in, a value or a reason out) so that any
// byte sequence from a peer can be checked in isolation; it never reads past what it was given
// and never allocates more than the bytes it was given.
//
// Message: "QMTK", type (1 byte), payload length (4), field A (4), field B (4), payload.
// Player record: connection (4), id (4), hidden (1), name (127, NUL-terminated), 16 bytes that
// are zero on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace net {

constexpr size_t kHeaderSize = 17;
constexpr size_t kMaxPayload = 2048;
constexpr size_t kRecordSize = 152;
constexpr size_t kNameSize = 127;        // name field, NUL included
constexpr int32_t kAllPlayers = -1;      // field A of a text message to everybody
constexpr int32_t kFirstPlayerId = 101;  // the host gives ids from here up

// Ids of a player record before and while the host gives it one.
constexpr int32_t kIdNew = -1;           // not yet announced to the host
constexpr int32_t kIdRemove = -2;        // to be removed
constexpr int32_t kIdRequested = -3;     // announced, waiting for the host's answer

enum MessageType : uint8_t {
    kCreatePlayer = 1,   // client to host: payload is the player record
    kPlayerId = 2,       // host to client: A is the new id
    kText = 3,           // A target id (-1 all), B sender id, payload the text
    kRemovePlayer = 4,   // client to host: B is the player id
    kCountRequest = 101, // answer: u32 number of players that are not hidden
    kIdRequest = 102,    // request: u32 index; answer: u32 id, 0 beyond the players
    kNameRequest = 103,  // request: u32 id; answer: the name without NUL
    kHelloRequest = 104, // answer: u32 1
};

struct Message {
    uint8_t type = 0;
    int32_t a = 0;             // target player id
    int32_t b = 0;             // sender or requesting player id
    std::string payload;       // at most kMaxPayload bytes
};

struct PlayerRecordWire {
    int32_t connection = 0;    // on the host: the connection the player came through
    int32_t id = kIdNew;
    bool hidden = false;       // created without a name; not counted or listed
    std::string name;          // at most kNameSize - 1 bytes, no NUL
};

enum class DecodeResult { Ok, TooShort, BadMagic, BadLength, UnknownType, BadPayload };

// One packet's bytes to a message. Ok only when the header is whole, the magic matches, the
// length is at most 2048 and equals the bytes that follow the header, the type is known and the
// payload has the shape its type needs (a player record with a terminated name for type 1, a
// 32-bit number for the id and name requests).
// With withText false, a text's payload is checked but not copied (a host that only forwards
// the packet needs no copy of it).
DecodeResult DecodeMessage(const uint8_t* data, size_t size, Message* message, bool withText = true);
std::vector<uint8_t> EncodeMessage(const Message& message); // header + payload (payload cut at 2048)
size_t EncodedSize(const Message& message);                 // bytes EncodeMessage gives
void EncodeMessageTo(const Message& message, uint8_t* out);  // writes those bytes to out
Message MakeMessage(uint8_t type, int32_t a, int32_t b, std::string payload = std::string());

// 152 bytes to a record. False when size is not 152 or the name has no NUL in its 127 bytes.
bool DecodePlayerRecord(const uint8_t* data, size_t size, PlayerRecordWire* record);
std::string EncodePlayerRecord(const PlayerRecordWire& record); // 152 bytes; the name cut at 126

void PutU32(std::string* out, uint32_t value);  // appends 4 bytes, little-endian
std::string U32Payload(uint32_t value);         // the 4 bytes of PutU32 as a payload
uint32_t GetU32(const void* data);              // reads 4 bytes, little-endian

} // namespace net
