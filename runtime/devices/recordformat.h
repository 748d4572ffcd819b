// The input recording file: its constants, the state at the start of a recording, the byte
// encoding, and the writer and the reader. The format is described in docs/devices.md; the
// runtime's side (what is recorded when, what a replay restores) is inputrecording.cpp.
//
// A file is a header (magic, version, the sizes of the header and of every sample kind, then the
// start state) followed by records until the end of the file. A record is a little-endian u32
// (the length of its samples, bit 31 set when the frame goes on in the next record) and that
// many bytes of samples; a frame is one record, or a run of records ending with one whose bit 31
// is clear. A sample is a tag byte and its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "basics/mathrandom.h"
#include "devices/devices_local.h"

namespace vxr {

constexpr uint8_t kMagic[8] = {'V', 'O', 'X', 'A', 'R', 'E', 'C', 0x1A};
constexpr uint16_t kVersion = 1;

// Sample tags, and the payload size of each (kVariable: the tick run's two varints).
enum Tag : uint8_t {
    kTicks = 1,      // varint zigzag delta from the previous tick value, varint count (>= 1)
    kKeyUp,          // scancode: the key was not held
    kKeyDown,        // scancode: the key was held
    kAnyKey,         // 0/1: whether any key was held
    kChar,           // the character ReadKeyChar's scan found (0 none)
    kMouseFresh,     // mask, relX, relY, x, y (i32 each), wheel (i8)
    kMouseCached,    // mask
    kJoystick,       // index, six i16 axes, u32 button bits, i16 hat angle (-1 centred)
    kQuit,           // a quit request (window closed, Escape pressed) taken off the queue
    kTagEnd
};
constexpr uint8_t kVariable = 0xFF;
constexpr uint8_t kPayloadSize[kTagEnd] = {0, kVariable, 1, 1, 1, 1, 18, 1, 19, 0};
constexpr int kTagCount = kTagEnd - 1;

constexpr uint32_t kContinued = 0x80000000u;     // record length bit: the frame goes on
constexpr size_t kRecordFlushSize = 64 * 1024;   // the writer starts a new record beyond this
constexpr uint32_t kMaxRecordSize = 1u << 20;    // a longer record is damage
constexpr size_t kMaxFileSize = 256u << 20;      // a replay loads the whole file
constexpr int kMaxNameLength = 255;              // joystick names are cut to this

// What a replay restores: the clock, the pacing grid, the random generator and the input state
// the commands keep between reads, as they were when the recording started.
struct StartState {
    uint32_t clock = 0;              // the clock's reading at the start; tick deltas count from it
    double startTime = 0;            // the frame timers
    double previousFrameTime = 0;
    double currentFrameTime = 0;
    double nextFrameTime = 0;        // the pacing grid's next deadline and its interval (ms)
    double frameInterval = 0;
    IsaacState random;               // the whole generator, so a recording never reseeds it
    int32_t mouseX = 100;            // the input-devices object's mouse fields
    int32_t mouseY = 100;
    uint8_t cursorVisible = 0;
    uint8_t mouseStale = 1;
    int16_t lastRelX = 0;
    int16_t lastRelY = 0;
    int16_t lastWheel = 0;
    InputMemory memory;
    std::vector<std::string> joystickNames;  // one per opened joystick, at most 10
};

std::vector<uint8_t> EncodeHeader(const StartState& start);
// Decodes and checks the header at the start of data. On success `used` is its length; on
// failure `why` says what is wrong in words for the user.
bool DecodeHeader(const uint8_t* data, size_t size, StartState& start, size_t& used, std::string& why);
// Checks the samples of one record: tags, payload lengths and values. False with the offset
// of the first bad byte within the record.
bool CheckSamples(const uint8_t* data, size_t size, int joystickCount, size_t& badAt);

// Writes a recording: the header, then the frames' samples, one record per frame (more for a
// frame beyond kRecordFlushSize bytes), each written and flushed when its frame ends.
class RecordWriter {
public:
    bool Open(FILE* file, const StartState& start); // writes the header; false (file closed) when it cannot
    void Ticks(uint32_t value);                     // one clock reading
    void Sample(uint8_t tag, const uint8_t* payload); // kPayloadSize[tag] bytes of payload
    bool EndFrame();                                // false once anything failed to reach the file
    bool Close();                                   // writes the frame begun so far, if any, and closes

private:
    void EndRun();
    void Write(bool continued);

    FILE* file_ = nullptr;
    std::vector<uint8_t> frame_;  // the samples of the frame (or its part) not yet written
    uint32_t lastTick_ = 0;       // the previous tick run's value; deltas count from it
    uint32_t runValue_ = 0;       // the open run of equal clock readings
    uint32_t runCount_ = 0;
    bool failed_ = false;
};

// Reads a recording, checked whole before the first replayed read, and hands out its samples
// frame by frame.
class RecordReader {
public:
    bool Parse(const std::vector<uint8_t>& bytes, std::string& why); // false with the reason in words
    const StartState& Start() const { return start_; }

    bool Ticks(uint32_t& value);                   // the frame's next clock reading; false when none is here
    const uint8_t* Take(uint8_t tag, uint8_t other, uint8_t& found); // the next sample's payload when its tag is one of the two, else null
    // False when the frame was not read whole, or lay past the recording's last frame. After the
    // last frame every read misses, so a program that reads nothing more ends its replay quietly.
    bool EndFrame();
    bool RanOut() const;                           // every sample of every frame has been read
    size_t FrameNumber() const { return frame_ + 1; }
    size_t FrameCount() const { return frameEnds_.size(); }

private:
    StartState start_;
    std::vector<uint8_t> samples_;     // every record's samples, end to end
    std::vector<uint32_t> frameEnds_;  // where each frame's samples end in samples_
    size_t frame_ = 0;                 // the frame being replayed
    uint32_t frameEnd_ = 0;
    size_t pos_ = 0;                   // the next sample
    uint32_t lastTick_ = 0;            // the current tick run's value
    uint32_t runLeft_ = 0;             // readings left in it
};

// Little-endian and varint encoding.
void PutU16(std::vector<uint8_t>& out, uint16_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);
void PutVarint(std::vector<uint8_t>& out, uint32_t v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
// Reads a varint from [p, end): the number of bytes taken, 0 when it is cut or longer than 5.
size_t GetVarint(const uint8_t* p, const uint8_t* end, uint32_t& v);
inline uint32_t ZigZag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }
inline int32_t UnZigZag(uint32_t v) { return int32_t(v >> 1) ^ -int32_t(v & 1); }

}  // namespace vxr
