// Fuzzes the network layer's decoding of what a peer sends: a packet as a message, and bytes as
// a player record. What decodes is encoded again and must decode to the same value.
#include <cstdint>
#include <cstring>

#include "net/wire.h"

namespace {

void CheckMessage(const uint8_t* data, size_t size) {
    net::Message m;
    if (net::DecodeMessage(data, size, &m) != net::DecodeResult::Ok) return;
    std::vector<uint8_t> again = net::EncodeMessage(m);
    net::Message back;
    if (net::DecodeMessage(again.data(), again.size(), &back) != net::DecodeResult::Ok ||
        back.type != m.type || back.a != m.a || back.b != m.b || back.payload != m.payload) {
        __builtin_trap();
    }
}

void CheckRecord(const uint8_t* data, size_t size) {
    net::PlayerRecordWire r;
    if (!net::DecodePlayerRecord(data, size, &r)) return;
    std::string again = net::EncodePlayerRecord(r);
    net::PlayerRecordWire back;
    if (!net::DecodePlayerRecord(reinterpret_cast<const uint8_t*>(again.data()), again.size(), &back) ||
        back.connection != r.connection || back.id != r.id || back.hidden != r.hidden || back.name != r.name) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckMessage(data, size);
    CheckRecord(data, size);
    if (size >= net::kRecordSize) CheckRecord(data, net::kRecordSize);
    if (size >= net::kHeaderSize) CheckRecord(data + net::kHeaderSize, size - net::kHeaderSize);
    return 0;
}
