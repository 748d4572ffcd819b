// The runtime's window, keyboard, mouse and waiting commands fed by real X events: the runtime
// starts on the test's own Xvfb server and a user on a connection of its own sends XTest events.
#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "devices/lifecycle.h"
#include "devices/recording.h"
#include "devices/x_user.h"
#include "support/disk_audio.h"
#include "voxa/runtime.h"

namespace {

XUser* gUser = nullptr;
std::string gDir;  // the suite's error log, audio output and files

class XTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/voxa-devx-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        gDir = pattern;
        voxatest::UseDiskAudio(gDir + "/out.raw");
        SetErrorLogPathForTesting((gDir + "/log.txt").c_str());
        gSettings.fullscreen = 0;
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        gSettings.framesPerSecond = 60;
        RuntimeStart(0, nullptr, "", nullptr, "devices");
        SaveScreenshot(DynString((gDir + "/loading.bmp").c_str()));  // the first screen, shown by the start
        std::atexit([] { std::system(("rm -rf " + gDir).c_str()); });  // also when EndProgram ends a child
        gUser = new XUser();
        ASSERT_TRUE(gUser->Connect());
    }
    static void TearDownTestSuite() { delete gUser; }
    void SetUp() override {
        DestroyInputDevices();
        CreateInputDevices();
        StartInputDevices();
        ShowScreen();
        alarm(300);  // a wait that missed its event fails the run instead of hanging it
    }
    void TearDown() override { alarm(0); }

    // Moves the pointer and waits for the first fresh sample that sees the motion.
    static void MoveAndSample(int x, int y, double& mx, double& my) {
        double startX, startY, l, r;
        GetMouseState(startX, startY, l, r);
        gUser->MovePointer(x, y);
        ASSERT_TRUE(voxatest::Within([&] {
            ShowScreen();
            GetMouseState(mx, my, l, r);
            return mx != startX || my != startY;
        }));
    }
    // Lets SDL take in the pointer's position, then forgets the motion.
    static void SettlePointer(int x, int y) {
        gUser->MovePointer(x, y);
        ASSERT_TRUE(voxatest::Within([&] {
            int sx, sy;
            SDL_PumpEvents();
            SDL_GetMouseState(&sx, &sy);
            return sx == x && sy == y;
        }));
        ShowScreen();
        MouseAxis(0);
    }
};

TEST_F(XTest, TheStartShowsLoadingCentredAndNothingElse) {
    // "Loading..." in the built-in font is 70 x 8 pixels at (285, 236); the BMP's rows go up.
    const std::string bmp = voxatest::ReadFileBytes(gDir + "/loading.bmp");
    ASSERT_EQ(bmp.size(), 54u + 640 * 480 * 3);
    int left = 640, right = -1, top = 480, bottom = -1;
    for (int i = 0; i < 640 * 480; ++i) {
        if (bmp[54 + size_t(i) * 3] == 0 && bmp[55 + size_t(i) * 3] == 0 && bmp[56 + size_t(i) * 3] == 0) continue;
        const int x = i % 640, y = 479 - i / 640;
        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_GE(left, 285);
    EXPECT_LE(right, 354);
    EXPECT_GE(top, 236);
    EXPECT_LE(bottom, 243);
    EXPECT_GT(right - left, 60);
}

// Return, Right Shift and the keypad's period and Enter are taken in by the waiting commands below.
TEST_F(XTest, RealKeysAreHeldByTheirNames) {
    const std::pair<unsigned long, double> keys[] = {
        {XK_a, KEY_A}, {XK_s, KEY_S}, {XK_d, KEY_D}, {XK_r, KEY_R}, {XK_m, KEY_M}, {XK_Up, KEY_UP}, {XK_Down, KEY_DOWN},
        {XK_Left, KEY_LEFT}, {XK_Right, KEY_RIGHT}, {XK_space, KEY_SPACE}, {XK_Escape, KEY_ESCAPE},
        {XK_Shift_L, KEY_LSHIFT}, {XK_Delete, KEY_DELETE}, {XK_F4, KEY_F4},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.second);
        gUser->Key(k.first, true);
        EXPECT_TRUE(voxatest::Within([&] { return KeyDown(k.second) == 1; }));
        gUser->Key(k.first, false);
        EXPECT_TRUE(voxatest::Within([&] { return KeyDown(k.second) == 0; }));
    }
    // The Escape press is still queued; the next ShowScreen would take it as a quit request.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {}
}

// A shown cursor reports the system pointer instead: the recording below reads it.
TEST_F(XTest, HiddenCursorIntegratesMotionFromTheStoredPosition) {
    double x, y, l, r;
    SettlePointer(300, 200);
    SetMousePosition(100, 100);
    MoveAndSample(270, 200, x, y);  // 30 pixels left
    EXPECT_EQ(x, 70);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(MouseAxis(0), -30) << "the frame's motion, again for a second query";
    EXPECT_EQ(MouseAxis(1), 0);
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x, 70) << "a repeated query does not move the stored position";
    MoveAndSample(290, 215, x, y);  // on from there
    EXPECT_EQ(x, 90);
    EXPECT_EQ(y, 115);
}

TEST_F(XTest, ButtonsAndWheel) {
    SettlePointer(300, 200);
    for (const auto& c : {std::pair{1u, 3}, {3u, 4}, {2u, 5}}) {  // X button, its axis
        gUser->Button(c.first, true);
        EXPECT_TRUE(voxatest::Within([&] { ShowScreen(); return MouseAxis(c.second) == 1; })) << c.first;
        double x, y, l, r;
        GetMouseState(x, y, l, r);
        EXPECT_EQ(l, c.first == 1) << c.first;
        EXPECT_EQ(r, c.first == 3) << c.first;
        gUser->Button(c.first, false);
        EXPECT_TRUE(voxatest::Within([&] { ShowScreen(); return MouseAxis(c.second) == 0; })) << c.first;
    }
    // A wheel notch is a press and release that arrive together, and ShowScreen empties the
    // event queue; the first sample after the notch still reports it, the next frame's does not.
    for (const auto& c : {std::pair{4u, 1}, {5u, -1}}) {
        ShowScreen();
        gUser->Button(c.first, true);
        gUser->Button(c.first, false);
        EXPECT_TRUE(voxatest::Within([&] { ShowScreen(); return MouseAxis(2) == c.second; })) << c.first;
        EXPECT_EQ(MouseAxis(2), c.second);
        ShowScreen();
        EXPECT_EQ(MouseAxis(2), 0);
    }
}

TEST_F(XTest, RecordedPointerButtonsAndWheelReplayFrameForFrame) {
    SettlePointer(300, 200);
    const std::string file = gDir + "/mouse.vxr";
    // One frame of a program that follows the mouse; from frame 40 on it shows the cursor, so
    // both the integrated and the system position are read.
    auto frame = [](int f, std::vector<double>& trace) {
        ShowScreen();
        if (f == 40) ShowMouse(1);
        double x, y, l, r;
        GetMouseState(x, y, l, r);
        trace.insert(trace.end(), {x, y, l, r, MouseAxis(0), MouseAxis(1), MouseAxis(2), MouseAxis(5)});
    };
    ASSERT_EQ(StartInputRecording(file.c_str()), 1);
    std::vector<double> recorded;
    gUser->MovePointer(340, 230);
    int frames = 0, stage = 0;
    for (; frames < 1000 && stage < 4; ++frames) {
        frame(frames, recorded);
        const double* t = &recorded[recorded.size() - 8];
        if (stage == 0 && t[4] != 0 && frames > 40) {  // moved: press the left button
            gUser->Button(1, true);
            ++stage;
        } else if (stage == 1 && t[2] == 1) {  // pressed: release, turn the wheel
            gUser->Button(1, false);
            gUser->Button(4, true);
            gUser->Button(4, false);
            ++stage;
        } else if (stage == 2 && t[6] == 1) {  // the wheel: move on
            gUser->MovePointer(200, 120);
            ++stage;
        } else if (stage == 3 && t[0] == 200) {
            ++stage;
        } else if (stage == 0 && frames == 45) {
            gUser->MovePointer(350, 240);
        }
    }
    StopInputRecording();
    ASSERT_EQ(stage, 4);

    gUser->MovePointer(10, 10);  // the live pointer elsewhere; the replay does not see it
    ShowMouse(0);
    ASSERT_EQ(PlayInputRecording(file.c_str()), 1);
    std::vector<double> replayed;
    for (int f = 0; f < frames; ++f) frame(f, replayed);
    EXPECT_EQ(replayed, recorded);
    ResetInputRecorderForTesting();
}

// ---- The waiting commands: the program runs one in the main thread, the user plays beside it.

std::atomic<bool> gReturned{false};  // the command under test has returned
std::atomic<bool> gUserRight{true};  // the user saw what it expected on the way
std::atomic<bool> gAhead{false};     // the user has done what the command must not return before

void Check(bool ok) {
    if (!ok) gUserRight = false;
}

// Key strokes once the editor runs its frames.
void Type(const std::vector<unsigned long>& keys) {
    Check(XUser::WaitFrames(2));
    for (unsigned long k : keys) Check(gUser->Type(k));
}

// The key that ends the command: held until the command has returned (it runs no more frames).
void PressToEnd(unsigned long keysym) {
    Check(XUser::WaitFrames(2) && gUser->KeyTakenIn(keysym, true));
    voxatest::Within([] { return gReturned.load(); });
    gUser->Key(keysym, false);
}

bool ButtonsTakenIn(int mask) {
    return voxatest::Within([mask] { return (SDL_GetMouseState(nullptr, nullptr) & 7) == mask; });
}

// Shown pixels of the cells after "x=13A" on the line the editor at (100, 200) edits.
void CountLine(int& white, int& blue) { gUser->Count(140, 200, 120, 24, white, blue); }
constexpr int kLineArea = 120 * 24;

struct Wait {
    const char* name;
    std::vector<unsigned long> keys;  // typed, then the end key pressed, when there is no user
    unsigned long end;
    void (*user)();     // the user's side, in a thread of its own
    bool (*program)();  // the command, in the main thread: whether its result is right
};

const Wait kWaits[] = {
    {"InputNumber ends on the keypad period", {XK_minus, XK_7, XK_period, XK_5}, XK_KP_Decimal, nullptr,
     [] {
         double value = 0;
         InputNumber(value, 10, 10);
         return value == -7.5;
     }},
    {"FileRequest keeps its prefix", {XK_m, XK_a, XK_p}, XK_KP_Enter, nullptr,
     [] { return std::string(FileRequest().CStr()) == "File:map"; }},
    // The line is edited over a blue screen that the editor saved; every frame starts black,
    // so blue around the text shows the saved screen drawn again. Backspace leaves no trace and
    // the cursor blinks (21 frames on, 21 off) while no key comes.
    {"InputText edits a line until Return, restores the screen and blinks its cursor", {}, 0,
     [] {
         Type({XK_1, XK_2, XK_BackSpace, XK_3});
         Check(gUser->KeyTakenIn(XK_Shift_R, true));
         Type({XK_a});
         Check(gUser->KeyTakenIn(XK_Shift_R, false));
         Type({XK_o, XK_k, XK_BackSpace, XK_BackSpace});
         bool on = false, off = false;
         voxatest::Within([&] {
             int white, blue;
             CountLine(white, blue);
             Check(white + blue >= kLineArea * 9 / 10);
             (white == 0 ? off : on) = true;
             return on && off;
         }, voxatest::kPatienceMs, 5);
         Check(on && off);
         PressToEnd(XK_Return);
     },
     [] {
         glClearColor(0, 0, 1, 1);
         glClear(GL_COLOR_BUFFER_BIT);
         glClearColor(0, 0, 0, 1);
         DynString text("x=");
         InputText(text, 100, 200);
         return std::string(text.CStr()) == "x=13A";
     }},
    // A key without a character, taken in while the program waits, does not end the wait.
    {"KeyWait returns on a character key", {}, 0,
     [] {
         Check(gUser->KeyTakenIn(XK_Shift_L, true));
         gAhead = true;
         gUser->Key(XK_k, true);
         voxatest::Within([] { return gReturned.load(); });
         gUser->Key(XK_k, false);
         gUser->Key(XK_Shift_L, false);
     },
     [] {
         KeyWait();
         return gAhead.load();
     }},
    // The left button is down when MouseWait starts: it waits for the release, then for a new
    // press. A press that comes before the wait took in the release would count as the old
    // button still down, so the press is made again should the wait still run after a while.
    {"MouseWait waits for a fresh press", {}, 0,
     [] {
         Check(voxatest::Within([] { return gAhead.load(); }));
         gUser->Button(1, false);
         Check(ButtonsTakenIn(0));
         gAhead = false;
         for (int press = 0; press < 10 && !gReturned; ++press) {
             gUser->Button(3, true);
             voxatest::Within([] { return gReturned.load(); }, 5000);
             gUser->Button(3, false);
             if (!gReturned) ButtonsTakenIn(0);
         }
     },
     [] {
         gUser->Button(1, true);
         if (!voxatest::Within([] { UpdateInputDevices(); return MouseAxis(3) == 1; })) return false;
         gAhead = true;
         MouseWait();
         return !gAhead;
     }},
};

TEST_F(XTest, WaitingCommandsReturnOnTheUsersInput) {
    for (const Wait& w : kWaits) {
        SCOPED_TRACE(w.name);
        gReturned = gAhead = false;
        gUserRight = true;
        std::thread user([&w] {
            if (w.user) return w.user();
            Type(w.keys);
            PressToEnd(w.end);
        });
        EXPECT_TRUE(w.program());
        gReturned = true;
        user.join();
        EXPECT_TRUE(gUserRight);
    }
}

// The program ends through EndProgram, with status 0, from inside a wait: Escape pressed or the
// window closed while it waits for input or shows frames. Each runs in a child that starts the
// runtime afresh (threadsafe death tests re-run the suite's set-up), last: the child takes the focus.
TEST_F(XTest, EscapeOrClosingTheWindowEndsTheProgramWhileItWaits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            gUser->Key(XK_Escape, true);  // pressed and released: the press stays queued
            gUser->Key(XK_Escape, false);
            KeyWait();
            _exit(5);
        },
        ::testing::ExitedWithCode(0), "");
    for (void (*wait)() : {WaitForInputChange, ShowScreen}) {
        EXPECT_EXIT(
            {
                gUser->CloseWindow();
                for (;;) wait();  // only the close request ends this
            },
            ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
