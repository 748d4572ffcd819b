// Input recording and exact replay: StartInputRecording, PlayInputRecording and
// StopInputRecording, the clock filter, the quit steps of the window's poll, the frame step of
// ShowScreen, and the Sample hooks of recording.h.
//
// A run of a program is fixed by what it reads from outside: keys, characters, the mouse, the
// joysticks, quit requests, the clock and the random generator's state. The recorder writes each
// of these reads, in the order the commands make them, into one record per frame (ShowScreen ends
// a frame), after a header holding the clock, the pacing grid, the whole random generator and
// the input state the commands keep between reads. A replay restores that state and hands the
// recorded values back read for read, so the program takes the same path through the same
// frames. Each replayed read must meet a recorded read of its kind (and of the same key or
// joystick); when it does not, or the recording has no more frames, the replay says so once and
// the program goes on with live input, its clock continuing from the last replayed reading.
//
// Clock readings are stored as runs of equal values (the frame's pacing wait reads the clock
// thousands of times), so a frame of the game costs a few dozen bytes. Each frame's record is
// written and flushed when the frame ends, so a recording is whole up to the last frame even when
// the program is killed.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/errors.h"
#include "base/state.h"
#include "devices/lifecycle.h"
#include "devices/recordformat.h"
#include "devices/recording.h"
#include "files/lookup.h"
#include "voxa/devices.h"
#include "window/window.h"

namespace {

using namespace vxr;

// A path that names nothing yet, or a plain file: a directory, a pipe or a device is refused
// before it is opened (opening a pipe waits for its other end; a device may never end).
bool RegularOrMissing(const char* path) {
    struct stat st;
    return stat(path, &st) != 0 || S_ISREG(st.st_mode);
}

bool Refuse(const std::string& what, std::string& why) {
    why = what;
    return false;
}

// The whole file, at most kMaxFileSize bytes.
bool ReadWhole(const char* path, std::vector<uint8_t>& bytes, std::string& why) {
    if (!RegularOrMissing(path)) return Refuse("is not a file", why);
    FILE* f = OpenFileNoCase(path, "rb");
    if (f == nullptr) return Refuse("cannot be opened", why);
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return Refuse("is not a file", why);
    }
    const std::string tooLarge = "is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB";
    if (uint64_t(st.st_size) > kMaxFileSize) {
        std::fclose(f);
        return Refuse(tooLarge, why);
    }
    bytes.reserve(size_t(st.st_size));
    std::vector<uint8_t> chunk(64 * 1024);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0) {
        if (bytes.size() + n > kMaxFileSize) {  // the file grew while it was read
            std::fclose(f);
            return Refuse(tooLarge, why);
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + long(n));
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? Refuse("cannot be read", why) : true;
}

// One message on standard error and one line in the error log.
void Report(const char* command, const std::string& file, const std::string& what) {
    const std::string line = std::string(command) + ": " + file + ": " + what;
    std::fprintf(stderr, "%s\n", line.c_str());
    WriteErrorLog(line.c_str());
}

// Live input from here; the clock goes on from the last replayed reading, so no timer sees
// time run backward. `source` is the tick source's reading now.
void EndReplay(uint32_t source) {
    gDevices.recorder.mode = InputMode::Live;
    gDevices.recorder.clockOffset = gDevices.recorder.lastReplayedTick - source;
    gDevices.recorder.reader = RecordReader();
}

// The replayed program read something the recording does not hold at this point.
void LeaveReplay(uint32_t source) {
    const std::string what = gDevices.recorder.reader.RanOut()
        ? "ends after frame " + std::to_string(gDevices.recorder.reader.FrameCount()) + "; live input from here"
        : "does not match this program at frame " + std::to_string(gDevices.recorder.reader.FrameNumber()) + "; live input from here";
    Report("PlayInputRecording", gDevices.recorder.file, what);
    EndReplay(source);
}

template <typename T>
T LeaveWith(T live) {
    LeaveReplay(GetSourceTicks());
    return live;
}

void StopRecording() {
    const bool written = gDevices.recorder.writer.Close();
    gDevices.recorder.mode = InputMode::Live;
    if (!written) Report("StartInputRecording", gDevices.recorder.file, "cannot be written; the recording is incomplete");
}

uint32_t FilterTicks(uint32_t source) {
    const uint32_t ticks = source + gDevices.recorder.clockOffset;
    if (gDevices.recorder.mode == InputMode::Recording) {
        gDevices.recorder.writer.Ticks(ticks);
    } else if (gDevices.recorder.mode == InputMode::Replaying) {
        uint32_t replayed;
        if (gDevices.recorder.reader.Ticks(replayed)) return gDevices.recorder.lastReplayedTick = replayed;
        LeaveReplay(source);
        return source + gDevices.recorder.clockOffset;
    }
    return ticks;
}

StartState CaptureStart() {
    StartState s;
    s.clock = GetTicks();
    s.startTime = gBase.timers.startTime;
    s.previousFrameTime = gBase.timers.previousFrameTime;
    s.currentFrameTime = gBase.timers.currentFrameTime;
    s.nextFrameTime = Window().nextFrameTime;
    s.frameInterval = Window().frameInterval;
    s.random = gBasics.random;
    if (const InputDevices* d = Devices()) {
        s.mouseX = d->mouseX;
        s.mouseY = d->mouseY;
        s.cursorVisible = d->cursorVisible;
        s.mouseStale = d->mouseStale;
        s.lastRelX = d->lastRelX;
        s.lastRelY = d->lastRelY;
        s.lastWheel = d->lastWheel;
    }
    s.memory = gDevices.memory;
    for (int j = 0; j < JoystickCount(); ++j) s.joystickNames.emplace_back(GetJoyName(j).CStr());
    return s;
}

void RestoreStart(const StartState& s) {
    gBase.timers.startTime = s.startTime;
    gBase.timers.previousFrameTime = s.previousFrameTime;
    gBase.timers.currentFrameTime = s.currentFrameTime;
    Window().nextFrameTime = s.nextFrameTime;
    Window().frameInterval = s.frameInterval;
    gBasics.random = s.random;
    if (InputDevices* d = Devices()) {
        ShowMouse(s.cursorVisible);
        d->mouseX = s.mouseX;
        d->mouseY = s.mouseY;
        d->mouseStale = s.mouseStale;
        d->lastRelX = s.lastRelX;
        d->lastRelY = s.lastRelY;
        d->lastWheel = s.lastWheel;
    }
    gDevices.memory = s.memory;
    gDevices.recorder.lastReplayedTick = s.clock;
}

void PutI32(uint8_t* p, int32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = uint8_t(uint32_t(v) >> (8 * k));
}

}  // namespace

double StartInputRecording(const DynString& file) {
    StopInputRecording();
    const StartState start = CaptureStart();
    // The file exactly as named (no match without regard to case): nothing else is written.
    FILE* f = RegularOrMissing(file.CStr()) ? std::fopen(file.CStr(), "wb") : nullptr;
    if (f == nullptr || !gDevices.recorder.writer.Open(f, start)) {
        Report("StartInputRecording", file.CStr(), f ? "cannot be written" : "cannot be created");
        return 0;
    }
    gDevices.recorder.file = file.CStr();
    gDevices.recorder.mode = InputMode::Recording;
    SetTickFilter(FilterTicks);
    return 1;
}

double PlayInputRecording(const DynString& file) {
    RecordReader reader;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWhole(file.CStr(), bytes, why) || !reader.Parse(bytes, why)) {
        Report("PlayInputRecording", file.CStr(), why);
        return 0;
    }
    StopInputRecording();
    gDevices.recorder.reader = std::move(reader);
    RestoreStart(gDevices.recorder.reader.Start());
    gDevices.recorder.file = file.CStr();
    gDevices.recorder.mode = InputMode::Replaying;
    SetTickFilter(FilterTicks);
    return 1;
}

void StopInputRecording() {
    if (gDevices.recorder.mode == InputMode::Recording) StopRecording();
    if (gDevices.recorder.mode == InputMode::Replaying) EndReplay(GetSourceTicks());
}

void ResetInputRecorderForTesting() {
    StopInputRecording();
    gDevices.recorder.clockOffset = 0;
    SetTickFilter(nullptr);
}

void EndInputFrame() {
    if (gDevices.recorder.mode == InputMode::Recording && !gDevices.recorder.writer.EndFrame()) {
        StopRecording();
    } else if (gDevices.recorder.mode == InputMode::Replaying && !gDevices.recorder.reader.EndFrame()) {
        LeaveReplay(GetSourceTicks());
    }
}

bool QuitReplayed() {
    uint8_t tag;
    return gDevices.recorder.mode == InputMode::Replaying && gDevices.recorder.reader.Take(kQuit, kQuit, tag) != nullptr;
}

void NoteQuitRequest() {
    if (gDevices.recorder.mode == InputMode::Recording) gDevices.recorder.writer.Sample(kQuit, nullptr);
}

namespace {
// The window's PollQuit (window/) asks these two.
const HookRegistration kQuitReplayedHook(gBase.hooks.quitReplayed, QuitReplayed);
const HookRegistration kNoteQuitHook(gBase.hooks.noteQuitRequest, NoteQuitRequest);
} // namespace

int ReplayedJoystickCount() {
    return gDevices.recorder.mode == InputMode::Replaying ? int(gDevices.recorder.reader.Start().joystickNames.size()) : -1;
}

const char* ReplayedJoystickName(int j) { return gDevices.recorder.reader.Start().joystickNames[size_t(j)].c_str(); }

bool SampleKeyRecorded(int scancode, bool live) {
    if (gDevices.recorder.mode == InputMode::Recording) {
        const uint8_t s = uint8_t(scancode);
        gDevices.recorder.writer.Sample(live ? kKeyDown : kKeyUp, &s);
        return live;
    }
    uint8_t tag;
    const uint8_t* p = gDevices.recorder.reader.Take(kKeyUp, kKeyDown, tag);
    if (p == nullptr || p[0] != scancode) return LeaveWith(live);
    return tag == kKeyDown;
}

bool SampleAnyKeyRecorded(bool live) {
    if (gDevices.recorder.mode == InputMode::Recording) {
        const uint8_t held = live ? 1 : 0;
        gDevices.recorder.writer.Sample(kAnyKey, &held);
        return live;
    }
    uint8_t tag;
    const uint8_t* p = gDevices.recorder.reader.Take(kAnyKey, kAnyKey, tag);
    return p ? p[0] != 0 : LeaveWith(live);
}

int SampleCharRecorded(int live) {
    if (gDevices.recorder.mode == InputMode::Recording) {
        const uint8_t c = uint8_t(live);
        gDevices.recorder.writer.Sample(kChar, &c);
        return live;
    }
    uint8_t tag;
    const uint8_t* p = gDevices.recorder.reader.Take(kChar, kChar, tag);
    return p ? p[0] : LeaveWith(live);
}

MouseReading SampleMouseRecorded(bool fresh, const MouseReading& live) {
    const uint8_t kind = fresh ? kMouseFresh : kMouseCached;
    if (gDevices.recorder.mode == InputMode::Recording) {
        uint8_t b[18] = {live.mask};
        PutI32(b + 1, live.relX);
        PutI32(b + 5, live.relY);
        PutI32(b + 9, live.x);
        PutI32(b + 13, live.y);
        b[17] = uint8_t(live.wheel);
        gDevices.recorder.writer.Sample(kind, b);
        return live;
    }
    uint8_t tag;
    const uint8_t* p = gDevices.recorder.reader.Take(kind, kind, tag);
    if (p == nullptr) return LeaveWith(live);
    MouseReading m;
    m.mask = p[0];
    if (fresh) {
        m.relX = int32_t(GetU32(p + 1));
        m.relY = int32_t(GetU32(p + 5));
        m.x = int32_t(GetU32(p + 9));
        m.y = int32_t(GetU32(p + 13));
        m.wheel = int8_t(p[17]);
    }
    return m;
}

JoystickState SampleJoystickRecorded(int j, const JoystickState& live) {
    if (gDevices.recorder.mode == InputMode::Recording) {
        std::vector<uint8_t> b{uint8_t(j)};
        for (int axis : live.axes) PutU16(b, uint16_t(axis));
        uint32_t buttons = 0;
        for (int k = 0; k < kJoyButtons; ++k) buttons |= uint32_t(live.buttons[k] != 0) << k;
        PutU32(b, buttons);
        PutU16(b, uint16_t(live.hatAngle));
        gDevices.recorder.writer.Sample(kJoystick, b.data());
        return live;
    }
    uint8_t tag;
    const uint8_t* p = gDevices.recorder.reader.Take(kJoystick, kJoystick, tag);
    if (p == nullptr || p[0] != j) return LeaveWith(live);
    JoystickState s;
    for (int a = 0; a < kJoyAxes; ++a) s.axes[a] = int16_t(GetU16(p + 1 + 2 * a));
    const uint32_t buttons = GetU32(p + 13);
    for (int k = 0; k < kJoyButtons; ++k) s.buttons[k] = (buttons >> k) & 1;
    s.hatAngle = int16_t(GetU16(p + 17));
    return s;
}
