// Input without a display, through the key-state and clock seams: the key rules, the character
// mapping and the input commands' answers; and input recording and replay: every kind of read
// replayed read for read, damaged recordings refused, joysticks from a hand-made recording.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/errors.h"
#include "base/timers.h"
#include "basics/mathrandom.h"
#include "devices/lifecycle.h"
#include "devices/recordformat.h"
#include "devices/recording.h"
#include "support/errorlog_lines.h"
#include "support/scratch_files.h"
#include "voxa/basics.h"
#include "voxa/devices.h"
#include "voxa/testing.h"
#include "voxa/window.h"

namespace {

uint32_t gNow = 5000;
uint32_t TestClock() { return gNow; }

using Bytes = std::string;

// Runs f and returns what it wrote to standard error.
template <typename F>
std::string Stderr(F f) {
    ::testing::internal::CaptureStderr();
    f();
    return ::testing::internal::GetCapturedStderr();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = voxatest::PrivateLogPath("recording");
        SetErrorLogPathForTesting(log_.c_str());
        std::memset(table_, 0, sizeof table_);
        SetKeyStateSourceForTesting(table_);
        SetTickSource(TestClock);
        CreateInputDevices();
        StartInputDevices();
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        ResetFrameTimers();
        InKey();  // forget the character of an earlier test
    }
    void TearDown() override {
        ResetInputRecorderForTesting();
        DestroyInputDevices();
        SetKeyStateSourceForTesting(nullptr);
        SetTickSource(nullptr);
        std::remove(log_.c_str());
    }

    void Hold(int scancode, bool held = true) { table_[ScancodeKeySymbol(scancode)] = held ? 1 : 0; }
    std::string Key() { return InKey().CStr(); }
    bool OnlyRunVxrInDir() const { return std::system(("test \"$(ls -A " + dir_.Path() + ")\" = run.vxr").c_str()) == 0; }

    // A small program, frame by frame: every kind of read, its results in the trace. `live`
    // holds keys and a quit request as a user would; a replay runs it with live = false.
    std::vector<double> Run(int frames, bool live) {
        std::vector<double> trace;
        for (int f = 0; f < frames; ++f) {
            gNow += 7 + f;
            if (live) {
                std::memset(table_, 0, sizeof table_);
                if (f % 2 == 1) Hold(30);        // a
                if (f == 2) Hold(42), Hold(48);  // Shift+b
            }
            for (int s : {30, 48, 57, 1}) trace.push_back(KeyDown(s));
            double x, y, l, r;
            GetMouseState(x, y, l, r);
            trace.insert(trace.end(), {double(InKey().CStr()[0]), double(AnyKeyHeld()), GetTimerAll(), GetTimer(),
                                       Rnd(1000), x, y, l, r, MouseAxis(0), MouseAxis(3), GetJoystickCount()});
            if (f == 3) {  // more samples than one record holds
                double held = 0;
                for (int k = 0; k < 40000; ++k) held += KeyDown(30);
                trace.push_back(held);
            }
            trace.push_back(QuitReplayed() || (live && f == 4 && (NoteQuitRequest(), true)));
            EndInputFrame();
        }
        return trace;
    }

    Bytes Recording(int frames, std::vector<double>* trace = nullptr) {
        EXPECT_EQ(StartInputRecording(file_.c_str()), 1);
        const std::vector<double> t = Run(frames, true);
        if (trace) *trace = t;
        StopInputRecording();
        return voxatest::ReadFileBytes(file_);
    }

    ScratchDir dir_;
    std::string file_ = dir_ / "run.vxr", log_;
    uint8_t table_[kKeySymbolCount];
};

TEST_F(InputTest, KeyDownReadsTheHeldScancodeModulo256AndNeverAnUnassignedOne) {
    // {scancode held, scancode asked, answer}
    const double cases[][3] = {{30, 30, 1}, {200, 200, 1}, {221, 221, 1}, {156, 156, 1}, {30, 48, 0},
                               {1, 257, 1}, {1, 1.9, 1},   {1, -255, 1},  {1, 255, 0},   {1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c[0] << " held, " << c[1] << " asked");
        Hold(int(c[0]));
        EXPECT_EQ(KeyDown(c[1]), c[2]);
        Hold(int(c[0]), false);
        EXPECT_EQ(KeyDown(c[1]), 0);
    }
    std::memset(table_, 1, sizeof table_);  // every symbol held: still nothing where no key is
    for (double s : {84.0, 255.0, 0.0, std::nan(""), 1e300}) EXPECT_EQ(KeyDown(s), 0) << s;
    EXPECT_FALSE(ScancodeHeld(-1));
    int assigned = 0;
    for (int s = 0; s < 300; ++s) assigned += ScancodeKeySymbol(s) != 255;
    EXPECT_EQ(assigned, 109);  // 1..83, 86..88, F13..F15 and 20 extended keys
    EXPECT_EQ(ScancodeKeySymbol(-3), 255);
}

TEST_F(InputTest, CharacterOfEachKindOfKey) {
    const int cases[][2] = {
        {14, 8}, {28, 10}, {156, 10}, {30, 'a'}, {11, '0'}, {12, '-'}, {57, ' '}, {41, '`'}, {211, 127}, {86, '\\'},
        {42, 0}, {221, 0}, {15, 0}, {1, 0}, {71, 0}, {200, 0}, {59, 0}, {84, 0}, {-1, 0}, {1000, 0},  // none
        {72, 8}, {83, 10}, {65, 32}, {102, 40}, {157, '1'}, {183, '='}, {70, '.'},  // symbols' low bytes
    };
    for (const auto& c : cases) EXPECT_EQ(CharOfScancode(c[0]), c[1]) << c[0];
}

TEST_F(InputTest, InKeyReportsAPressOnceTheLowestKeyFirstAndShiftGivesUpperCaseLetters) {
    Hold(44);  // z
    Hold(30);  // a, the lower scancode
    EXPECT_EQ(Key(), "a");
    EXPECT_EQ(Key(), "");  // still held: not again
    Hold(30, false);
    Hold(44, false);
    EXPECT_EQ(Key(), "");
    for (int shift : {0, 42, 54}) {
        if (shift) Hold(shift);
        Hold(30);
        EXPECT_EQ(Key(), shift ? "A" : "a") << shift;  // pressed anew
        Hold(30, false);
        Hold(2);
        EXPECT_EQ(Key(), "1") << "Shift changes letters only";
        Hold(2, false);
        if (shift) Hold(shift, false);
        EXPECT_EQ(Key(), "");
    }
}

TEST_F(InputTest, MouseAndJoystickReadsStayInRange) {
    double x, y, l, r;
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x + y, 200) << "the mouse starts at 100, 100";
    // Clamped to the screen at each edge; what is not a number in the int range reads 0.
    const double moves[][4] = {{5000.7, -20, 639, 0}, {-5, 1e6, 0, 479}, {1e300, std::nan(""), 0, 0}};
    for (const auto& m : moves) {
        SetMousePosition(m[0], m[1]);
        GetMouseState(x, y, l, r);
        EXPECT_EQ(x, m[2]);
        EXPECT_EQ(y, m[3]);
    }
    for (double n : {-1.0, 6.0, 1e12, std::nan("")}) EXPECT_EQ(MouseAxis(n), 0) << n;
    // No joystick on the test machine: every index reads 0 or "".
    EXPECT_EQ(GetJoystickCount(), 0);
    for (double j : {0.0, 10.0, -1.0, std::nan("")}) {
        EXPECT_EQ(GetJoyX(j) + GetJoyY(j) + GetJoyZ(j) + GetJoyRX(j) + GetJoyRY(j) + GetJoyRZ(j), 0);
        EXPECT_EQ(GetJoyPovX(j) + GetJoyPovY(j) + GetJoyButton(j, 0) + GetJoyButton(0, j * 32), 0);
        EXPECT_STREQ(GetJoyName(j).CStr(), "");
    }
    GetJoystickDigital(x, y, l, r);
    EXPECT_EQ(x + y + l + r, 0);
    DestroyInputDevices();  // and without devices every read gives 0
    x = y = l = r = 5;
    SetMousePosition(5, 5);
    ShowMouse(1);
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x + y + l + r + MouseAxis(0) + MouseAxis(3) + GetJoystickCount() + GetJoyX(0), 0);
}

TEST_F(InputTest, ARecordedRunReplaysReadForReadThenGoesOnLiveWhereItEndsOrPartsWays) {
    SetMousePosition(250, 50);
    const uint32_t recordedStart = gNow;
    std::vector<double> recorded;
    EXPECT_LT(Recording(6, &recorded).size(), 2180u + 90000u) << "clock runs and keys stay compact";
    const uint32_t recordedEnd = gNow;
    EXPECT_TRUE(OnlyRunVxrInDir()) << "nothing written beside the named file";

    // Everything the recorded run saw is different now: keys, clock, random state, mouse.
    std::memset(table_, 1, sizeof table_);
    gNow += 100000;
    ResetFrameTimers();
    SeedRandom(99);
    SetMousePosition(3, 3);
    EXPECT_EQ(PlayInputRecording(file_.c_str()), 1);
    EXPECT_EQ(Run(6, false), recorded);
    EXPECT_EQ(recorded[6], 7) << "GetTimerAll";

    // The first read after the replayed frames takes live keys, and the clock goes on from the
    // last replayed reading instead of jumping to the live one.
    EXPECT_TRUE(Has(Stderr([] { EXPECT_EQ(KeyDown(57), 1); }), "ends after frame 6; live input from here"));
    EXPECT_EQ(GetTicks(), recordedEnd);
    gNow += 5;
    EXPECT_EQ(GetTicks(), recordedEnd + 5);
    // A program that reads another key than the recorded one parts ways in its first frame.
    ASSERT_EQ(PlayInputRecording(file_.c_str()), 1);
    EXPECT_TRUE(Has(Stderr([] { KeyDown(200); }), "does not match this program at frame 1; live input from here"));
    EXPECT_EQ(KeyDown(200), 1) << "live";
    EXPECT_EQ(GetTicks(), recordedStart) << "time goes on from the recording's start";
    EXPECT_EQ(voxatest::ReadLogLines(log_).size(), 2u);
}

TEST_F(InputTest, DamagedAndForeignRecordingsAreRefusedAndLiveInputGoesOn) {
    const Bytes good = Recording(2);
    ASSERT_GT(good.size(), 2184u);
    auto at = [&](size_t offset, char value) { Bytes b = good; b[offset] = value; return b; };
    auto appended = [&](std::initializer_list<unsigned char> extra) { return good + Bytes(extra.begin(), extra.end()); };
    const std::string damaged = dir_ / "damaged.vxr", huge = dir_ / "huge.vxr", pipe = dir_ / "pipe.vxr";
    struct Case { const char* what; Bytes bytes; const char* reason; std::string path = ""; };
    const Case cases[] = {
        {"empty", "", "is cut short"},
        {"cut in the header", good.substr(0, 100), "is cut short"},
        {"cut in a frame", good.substr(0, good.size() - 1), "is cut short"},
        {"continued past the end", appended({0, 0, 0, 0x80}), "is cut short"},
        {"foreign", "BM6\x10\x0e\0\0\0\0\0" + Bytes(3000, 'x'), "is not an input recording"},
        {"wrong version", at(8, 2), "is of version 2; this program reads version 1"},
        {"wrong header size", at(10, char(good[10] ^ 1)), "has record sizes this program does not read"},
        {"wrong sample size", at(13 + vxr::kMouseFresh - 1, 17), "has record sizes this program does not read"},
        {"frame interval out of range", at(65, char(0xFF)), "is damaged in its header"},
        {"unknown sample", at(2184, 0x7F), "is damaged at byte 2184"},
        {"record longer than any", at(2183, 0x7F), "is damaged at byte 2180"},
        {"joystick read without joysticks", appended({20, 0, 0, 0, vxr::kJoystick, 0}) + Bytes(18, 0), "is damaged at byte"},
        {"endless varint", appended({6, 0, 0, 0, vxr::kTicks, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "is damaged at byte"},
        {"scancode 255", appended({2, 0, 0, 0, vxr::kKeyDown, 255}), "is damaged at byte"},
        {"a directory", "", "is not a file", dir_.Path()},
        {"a pipe (opening it would wait)", "", "is not a file", pipe},
        {"a missing file", "", "cannot be opened", dir_ / "missing.vxr"},
        {"a file too large to load", "", "is larger than 256 MiB", huge},
    };
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    WriteFile(huge, good);
    ASSERT_EQ(truncate(huge.c_str(), off_t(257) << 20), 0);  // sparse: nothing is written
    const uint32_t seeded = gBasics.random.randmem[7];
    size_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.path.empty() ? damaged : c.path;
        if (c.path.empty()) WriteFile(path, c.bytes);
        Hold(30);
        const std::string err = Stderr([&] { EXPECT_EQ(PlayInputRecording(path.c_str()), 0); });
        EXPECT_TRUE(Has(err, "PlayInputRecording: " + path + ": " + c.reason)) << err;
        EXPECT_EQ(voxatest::ReadLogLines(log_).size(), ++n);
        EXPECT_EQ(KeyDown(30), 1) << "live keys";
        EXPECT_EQ(GetTicks(), gNow) << "live clock";
        EXPECT_EQ(gBasics.random.randmem[7], seeded);
    }
}

TEST_F(InputTest, JoysticksComeFromTheRecording) {
    // A recording without frames ends with the joystick count; one joystick and a frame that
    // reads it are put in by hand.
    Bytes bytes = Recording(0);
    ASSERT_EQ(bytes.back(), 0);
    bytes.back() = 1;
    const unsigned char frame[] = {20, 0, 0, 0, vxr::kJoystick, 0,
                                   0xFF, 0x7F, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0,  // axes: 32767, -32768
                                   0x09, 0, 0, 0,                                   // buttons 0 and 3
                                   0x28, 0x23};                                     // hat 9000: right
    WriteFile(file_, bytes + Bytes("\x03Pad", 4) + Bytes(reinterpret_cast<const char*>(frame), sizeof frame));
    ASSERT_EQ(PlayInputRecording(file_.c_str()), 1);
    EXPECT_EQ(GetJoystickCount(), 1);
    EXPECT_STREQ(GetJoyName(0).CStr(), "Pad");
    EXPECT_STREQ(GetJoyName(1).CStr(), "");
    EXPECT_EQ(GetJoyButton(0, -0.5), 0) << "below button 0: not read";
    double x, y, b1, b2;
    GetJoystickDigital(x, y, b1, b2);
    EXPECT_EQ(std::vector<double>({x, y, b1, b2}), std::vector<double>({1, -1, 1, 0}));
    EndInputFrame();
    EXPECT_TRUE(Has(Stderr([] { EXPECT_EQ(GetJoyX(0), 0) << "the first read past the only frame ends the replay"; }),
                    "ends after frame 1"));
    EXPECT_EQ(GetJoystickCount(), 0) << "the machine's own joysticks again";
}

TEST_F(InputTest, ARecordingThatCannotBeWrittenStopsWithAMessageAndNothingElseWritten) {
    Recording(0);
    // Only a regular file is written: opening a device or a pipe could write elsewhere or wait.
    for (const std::string& target : {std::string("/dev/null"), dir_ / "no/such/dir/run.vxr"}) {
        EXPECT_TRUE(Has(Stderr([&] { EXPECT_EQ(StartInputRecording(target.c_str()), 0); }),
                        "StartInputRecording: " + target + ": cannot be created"));
    }
    EXPECT_TRUE(OnlyRunVxrInDir());
    // A disk that fills up: the header fits, the frame of 80 KB does not. The recording stops
    // with a message and the program goes on live.
    signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit small = unlimited;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string full = dir_ / "full.vxr";
    EXPECT_EQ(StartInputRecording(full.c_str()), 1);
    const std::string err = Stderr([&] { Run(5, true); });
    setrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_TRUE(Has(err, "StartInputRecording: " + full + ": cannot be written; the recording is incomplete")) << err;
    EXPECT_EQ(gDevices.recorder.mode, InputMode::Live);
}

} // namespace
