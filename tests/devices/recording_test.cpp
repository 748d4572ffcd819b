// Input recording and replay without a display, through the key and clock seams: every kind of
// read replayed read for read, damaged recordings refused, joysticks from a hand-made recording.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

class RecordingTest : public ::testing::Test {
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
    }
    void TearDown() override {
        ResetInputRecorderForTesting();
        DestroyInputDevices();
        SetKeyStateSourceForTesting(nullptr);
        SetTickSource(nullptr);
        std::remove(log_.c_str());
    }

    void Hold(int scancode) { table_[ScancodeKeySymbol(scancode)] = 1; }
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

TEST_F(RecordingTest, ARecordedRunReplaysReadForReadThenGoesOnLiveWhereItEndsOrPartsWays) {
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

TEST_F(RecordingTest, DamagedAndForeignRecordingsAreRefusedAndLiveInputGoesOn) {
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

TEST_F(RecordingTest, JoysticksComeFromTheRecording) {
    // A recording without frames ends with the joystick count; one joystick and a frame that
    // reads it are put in by hand.
    Bytes bytes = Recording(0);
    ASSERT_EQ(bytes.back(), 0);
    bytes.back() = 1;
    const unsigned char frame[] = {20, 0, 0, 0, vxr::kJoystick, 0,
                                   0xFF, 0x7F, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0,  // axes: 32767, -32768
                                   0x08, 0, 0, 0,                                   // button 3
                                   0x28, 0x23};                                     // hat 9000: right
    WriteFile(file_, bytes + Bytes("\x03Pad", 4) + Bytes(reinterpret_cast<const char*>(frame), sizeof frame));
    ASSERT_EQ(PlayInputRecording(file_.c_str()), 1);
    EXPECT_EQ(GetJoystickCount(), 1);
    EXPECT_STREQ(GetJoyName(0).CStr(), "Pad");
    EXPECT_STREQ(GetJoyName(1).CStr(), "");
    double x, y, b1, b2;
    GetJoystickDigital(x, y, b1, b2);
    EXPECT_EQ(std::vector<double>({x, y, b1, b2}), std::vector<double>({1, -1, 0, 0}));
    EndInputFrame();
    EXPECT_TRUE(Has(Stderr([] { EXPECT_EQ(GetJoyX(0), 0) << "the first read past the only frame ends the replay"; }),
                    "ends after frame 1"));
    EXPECT_EQ(GetJoystickCount(), 0) << "the machine's own joysticks again";
}

TEST_F(RecordingTest, ARecordingThatCannotBeWrittenStopsWithAMessageAndNothingElseWritten) {
    Recording(0);
    for (const std::string& target : {dir_.Path(), dir_ / "no/such/dir/run.vxr"}) {
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
