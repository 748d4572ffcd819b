// The input recording file: its header, the checks of its samples, its writer and its reader
// (format in recordformat.h).
#include "devices/recordformat.h"

#include <cmath>
#include <cstring>

namespace vxr {
namespace {

// The fixed part of the header: magic, version, header size, the tag count and sizes, the
// clock, five doubles, the generator, the mouse fields, the input memory, the joystick count.
constexpr size_t kFixedHeaderSize = 8 + 2 + 2 + 1 + kTagCount + 4 + 5 * 8 + 4 * (4 + 512) +
                                    (4 + 4 + 1 + 1 + 3 * 2) + (1 + 4 * 8) + 1;
constexpr double kLongestFrameInterval = 60000.0;  // the window's own limit

void PutDouble(std::vector<uint8_t>& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(out, uint32_t(bits));
    PutU32(out, uint32_t(bits >> 32));
}

// Reads fields from a byte range; any read past the end clears ok and gives 0.
struct Reader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;

    const uint8_t* Take(size_t n) {
        if (!ok || size_t(end - p) < n) {
            ok = false;
            return nullptr;
        }
        const uint8_t* at = p;
        p += n;
        return at;
    }
    uint8_t U8() {
        const uint8_t* at = Take(1);
        return at ? at[0] : 0;
    }
    uint16_t U16() {
        const uint8_t* at = Take(2);
        return at ? GetU16(at) : 0;
    }
    uint32_t U32() {
        const uint8_t* at = Take(4);
        return at ? GetU32(at) : 0;
    }
    double Double() {
        const uint8_t* at = Take(8);
        if (at == nullptr) return 0;
        const uint64_t bits = GetU32(at) | uint64_t(GetU32(at + 4)) << 32;
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
};

bool Refuse(const std::string& what, std::string& why) {
    why = what;
    return false;
}

bool AllFinite(std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

bool CheckStart(const StartState& s) {
    return AllFinite({s.startTime, s.previousFrameTime, s.currentFrameTime, s.nextFrameTime, s.frameInterval,
                      s.memory.waitX, s.memory.waitY, s.memory.waitLeft, s.memory.waitRight}) &&
           s.frameInterval >= 0 && s.frameInterval <= kLongestFrameInterval && s.cursorVisible <= 1 &&
           s.mouseStale <= 1 && s.lastWheel >= -1 && s.lastWheel <= 1;
}

}  // namespace

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(v >> shift));
}

void PutVarint(std::vector<uint8_t>& out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t GetU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

size_t GetVarint(const uint8_t* p, const uint8_t* end, uint32_t& v) {
    v = 0;
    for (size_t i = 0; i < 5 && p + i < end; ++i) {
        v |= uint32_t(p[i] & 0x7F) << (7 * i);
        if ((p[i] & 0x80) == 0) return i == 4 && p[i] > 0x0F ? 0 : i + 1;
    }
    return 0;
}

std::vector<uint8_t> EncodeHeader(const StartState& s) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    PutU16(out, kVersion);
    PutU16(out, uint16_t(kFixedHeaderSize));
    out.push_back(kTagCount);
    out.insert(out.end(), kPayloadSize + 1, kPayloadSize + kTagEnd);
    PutU32(out, s.clock);
    for (double v : {s.startTime, s.previousFrameTime, s.currentFrameTime, s.nextFrameTime, s.frameInterval}) {
        PutDouble(out, v);
    }
    for (uint32_t v : {s.random.randcnt, s.random.randa, s.random.randb, s.random.randc}) PutU32(out, v);
    for (uint32_t v : s.random.randrsl) PutU32(out, v);
    for (uint32_t v : s.random.randmem) PutU32(out, v);
    PutU32(out, uint32_t(s.mouseX));
    PutU32(out, uint32_t(s.mouseY));
    out.push_back(s.cursorVisible);
    out.push_back(s.mouseStale);
    for (int16_t v : {s.lastRelX, s.lastRelY, s.lastWheel}) PutU16(out, uint16_t(v));
    out.push_back(s.memory.lastChar);
    for (double v : {s.memory.waitX, s.memory.waitY, s.memory.waitLeft, s.memory.waitRight}) PutDouble(out, v);
    out.push_back(uint8_t(s.joystickNames.size()));
    for (const std::string& name : s.joystickNames) {
        const size_t n = name.size() < size_t(kMaxNameLength) ? name.size() : size_t(kMaxNameLength);
        out.push_back(uint8_t(n));
        out.insert(out.end(), name.begin(), name.begin() + long(n));
    }
    return out;
}

bool DecodeHeader(const uint8_t* data, size_t size, StartState& s, size_t& used, std::string& why) {
    Reader r{data, data + size};
    const uint8_t* magic = r.Take(sizeof kMagic);
    if (magic == nullptr || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        const bool cut = size < sizeof kMagic && (size == 0 || std::memcmp(data, kMagic, size) == 0);
        why = cut ? "is cut short" : "is not an input recording";
        return false;
    }
    const uint16_t version = r.U16();
    if (r.ok && version != kVersion) {
        why = "is of version " + std::to_string(version) + "; this program reads version " + std::to_string(kVersion);
        return false;
    }
    const uint16_t headerSize = r.U16();
    const uint8_t tagCount = r.U8();
    const uint8_t* sizes = r.Take(kTagCount);
    if (r.ok && (headerSize != kFixedHeaderSize || tagCount != kTagCount ||
                 std::memcmp(sizes, kPayloadSize + 1, kTagCount) != 0)) {
        why = "has record sizes this program does not read";
        return false;
    }
    s.clock = r.U32();
    for (double* v : {&s.startTime, &s.previousFrameTime, &s.currentFrameTime, &s.nextFrameTime, &s.frameInterval}) {
        *v = r.Double();
    }
    for (uint32_t* v : {&s.random.randcnt, &s.random.randa, &s.random.randb, &s.random.randc}) *v = r.U32();
    for (uint32_t& v : s.random.randrsl) v = r.U32();
    for (uint32_t& v : s.random.randmem) v = r.U32();
    s.mouseX = int32_t(r.U32());
    s.mouseY = int32_t(r.U32());
    s.cursorVisible = r.U8();
    s.mouseStale = r.U8();
    for (int16_t* v : {&s.lastRelX, &s.lastRelY, &s.lastWheel}) *v = int16_t(r.U16());
    s.memory.lastChar = r.U8();
    for (double* v : {&s.memory.waitX, &s.memory.waitY, &s.memory.waitLeft, &s.memory.waitRight}) *v = r.Double();
    const uint8_t joysticks = r.U8();
    s.joystickNames.clear();
    for (int j = 0; j < joysticks && j < kMaxJoysticks && r.ok; ++j) {
        const uint8_t n = r.U8();
        const uint8_t* name = r.Take(n);
        if (name != nullptr) s.joystickNames.emplace_back(reinterpret_cast<const char*>(name), n);
    }
    if (!r.ok) {
        why = "is cut short";
        return false;
    }
    if (joysticks > kMaxJoysticks || !CheckStart(s)) {
        why = "is damaged in its header";
        return false;
    }
    for (const std::string& name : s.joystickNames) {
        if (name.find('\0') != std::string::npos) {
            why = "is damaged in its header";
            return false;
        }
    }
    used = size_t(r.p - data);
    return true;
}

bool CheckSamples(const uint8_t* data, size_t size, int joystickCount, size_t& badAt) {
    const uint8_t* end = data + size;
    for (const uint8_t* p = data; p < end;) {
        badAt = size_t(p - data);
        const uint8_t tag = *p++;
        if (tag == 0 || tag >= kTagEnd) return false;
        if (tag == kTicks) {
            uint32_t delta, count;
            const size_t a = GetVarint(p, end, delta);
            const size_t b = a ? GetVarint(p + a, end, count) : 0;
            if (b == 0 || count == 0) return false;
            p += a + b;
            continue;
        }
        if (size_t(end - p) < kPayloadSize[tag]) return false;
        switch (tag) {
            case kKeyUp: case kKeyDown:
                if (p[0] >= kScancodeCount) return false;
                break;
            case kAnyKey:
                if (p[0] > 1) return false;
                break;
            case kMouseFresh: {
                const int8_t wheel = int8_t(p[17]);
                if (wheel < -1 || wheel > 1) return false;
                break;
            }
            case kJoystick: {
                const int16_t hat = int16_t(GetU16(p + 17));
                if (p[0] >= joystickCount || hat < -1) return false;
                break;
            }
            default: break;
        }
        p += kPayloadSize[tag];
    }
    return true;
}

bool RecordWriter::Open(FILE* file, const StartState& start) {
    file_ = file;
    frame_.clear();
    lastTick_ = start.clock;
    runCount_ = 0;
    failed_ = false;
    const std::vector<uint8_t> header = EncodeHeader(start);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

void RecordWriter::Ticks(uint32_t value) {
    if (runCount_ > 0 && value == runValue_ && runCount_ < UINT32_MAX) {
        ++runCount_;
        return;
    }
    EndRun();
    runValue_ = value;
    runCount_ = 1;
}

void RecordWriter::Sample(uint8_t tag, const uint8_t* payload) {
    EndRun();
    frame_.push_back(tag);
    frame_.insert(frame_.end(), payload, payload + kPayloadSize[tag]);
    if (frame_.size() >= kRecordFlushSize) Write(true);
}

bool RecordWriter::EndFrame() {
    EndRun();
    Write(false);
    if (std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

bool RecordWriter::Close() {
    EndRun();
    if (!frame_.empty()) Write(false);
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

void RecordWriter::EndRun() {
    if (runCount_ == 0) return;
    frame_.push_back(kTicks);
    PutVarint(frame_, ZigZag(int32_t(runValue_ - lastTick_)));
    PutVarint(frame_, runCount_);
    lastTick_ = runValue_;
    runCount_ = 0;
    if (frame_.size() >= kRecordFlushSize) Write(true);
}

void RecordWriter::Write(bool continued) {
    const uint32_t length = uint32_t(frame_.size()) | (continued ? kContinued : 0);
    const uint8_t head[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
    if (std::fwrite(head, 1, sizeof head, file_) != sizeof head ||
        std::fwrite(frame_.data(), 1, frame_.size(), file_) != frame_.size()) {
        failed_ = true;
    }
    frame_.clear();
}

bool RecordReader::Parse(const std::vector<uint8_t>& bytes, std::string& why) {
    *this = RecordReader();
    size_t at = 0;
    if (!DecodeHeader(bytes.data(), bytes.size(), start_, at, why)) return false;
    bool continued = false;
    while (at < bytes.size()) {
        if (bytes.size() - at < 4) return Refuse("is cut short", why);
        const uint32_t head = GetU32(bytes.data() + at);
        const uint32_t length = head & ~kContinued;
        if (length > kMaxRecordSize) return Refuse("is damaged at byte " + std::to_string(at), why);
        at += 4;
        if (length > bytes.size() - at) return Refuse("is cut short", why);
        size_t bad = 0;
        if (!CheckSamples(bytes.data() + at, length, int(start_.joystickNames.size()), bad)) {
            return Refuse("is damaged at byte " + std::to_string(at + bad), why);
        }
        samples_.insert(samples_.end(), bytes.data() + at, bytes.data() + at + length);
        at += length;
        continued = (head & kContinued) != 0;
        if (!continued) frameEnds_.push_back(uint32_t(samples_.size()));
    }
    if (continued) return Refuse("is cut short", why);
    frameEnd_ = frameEnds_.empty() ? 0 : frameEnds_[0];
    lastTick_ = start_.clock;
    return true;
}

bool RecordReader::Ticks(uint32_t& value) {
    if (runLeft_ == 0) {
        if (pos_ >= frameEnd_ || samples_[pos_] != kTicks) return false;
        const uint8_t* end = samples_.data() + frameEnd_;
        uint32_t delta = 0, count = 0;
        const size_t a = GetVarint(samples_.data() + pos_ + 1, end, delta);
        const size_t b = GetVarint(samples_.data() + pos_ + 1 + a, end, count);
        pos_ += 1 + a + b;
        lastTick_ += uint32_t(UnZigZag(delta));
        runLeft_ = count;
    }
    --runLeft_;
    value = lastTick_;
    return true;
}

const uint8_t* RecordReader::Take(uint8_t tag, uint8_t other, uint8_t& found) {
    if (runLeft_ != 0 || pos_ >= frameEnd_) return nullptr;
    found = samples_[pos_];
    if (found != tag && found != other) return nullptr;
    const uint8_t* payload = samples_.data() + pos_ + 1;
    pos_ += 1 + kPayloadSize[found];
    return payload;
}

bool RecordReader::EndFrame() {
    if (runLeft_ != 0 || pos_ != frameEnd_ || frame_ >= frameEnds_.size()) return false;
    if (++frame_ < frameEnds_.size()) frameEnd_ = frameEnds_[frame_];
    return true;
}

bool RecordReader::RanOut() const {
    return frame_ + 1 >= frameEnds_.size() && pos_ == frameEnd_ && runLeft_ == 0;
}

}  // namespace vxr
