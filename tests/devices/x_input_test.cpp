// Keyboard and mouse commands fed by real X events: the test opens the runtime's window on its
// own Xvfb server and sends key, button and pointer events through the XTest extension.
#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devices/lifecycle.h"
#include "devices/recording.h"
#include "devices/x_user.h"
#include "support/within.h"
#include "voxa/core.h"
#include "voxa/devices.h"
#include "voxa/window.h"
#include "window/window.h"

namespace {

XUser* gUser = nullptr;  // sends the events on a connection of its own

// Polls until the condition holds: the X server is another process, and on a loaded machine
// its events can take a while.
template <typename F>
bool Eventually(F condition) { return voxatest::Within(condition, voxatest::kPatienceMs, 5); }

class XInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Window().OpenWindow(640, 480, 0, 60));
        gUser = new XUser();
        ASSERT_TRUE(gUser->Connect());
    }
    static void TearDownTestSuite() {
        delete gUser;
        SDL_Quit();
    }
    void SetUp() override {
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        CreateInputDevices();
        StartInputDevices();
        ShowScreen();
    }
    void TearDown() override { DestroyInputDevices(); }

    // Moves the pointer and waits for the first fresh sample that sees the motion.
    static void MoveAndSample(int x, int y, double& mx, double& my) {
        double startX, startY, l, r;
        GetMouseState(startX, startY, l, r);
        gUser->MovePointer(x, y);
        ASSERT_TRUE(Eventually([&] {
            ShowScreen();
            GetMouseState(mx, my, l, r);
            return mx != startX || my != startY;
        }));
    }
    // Lets SDL take in the pointer's position, then forgets the motion.
    static void SettlePointer(int x, int y) {
        gUser->MovePointer(x, y);
        ASSERT_TRUE(Eventually([&] {
            int sx, sy;
            SDL_PumpEvents();
            SDL_GetMouseState(&sx, &sy);
            return sx == x && sy == y;
        }));
        ShowScreen();
        MouseAxis(0);
    }
};

TEST_F(XInputTest, RealKeysAreHeldByTheirNamesAndTypedOnceWithShiftForUpperCase) {
    const std::pair<unsigned long, double> keys[] = {
        {XK_a, KEY_A}, {XK_s, KEY_S}, {XK_d, KEY_D}, {XK_r, KEY_R}, {XK_m, KEY_M}, {XK_Up, KEY_UP},
        {XK_Down, KEY_DOWN}, {XK_Left, KEY_LEFT}, {XK_Right, KEY_RIGHT}, {XK_Escape, KEY_ESCAPE},
        {XK_space, KEY_SPACE}, {XK_Return, KEY_RETURN}, {XK_Shift_R, KEY_RSHIFT}, {XK_KP_Decimal, KEY_KP_PERIOD},
        {XK_KP_Enter, KEY_KP_ENTER}, {XK_Delete, KEY_DELETE}, {XK_F4, KEY_F4},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.second);
        gUser->Key(k.first, true);
        EXPECT_TRUE(Eventually([&] { return KeyDown(k.second) == 1 && KeyDown(k.second + 256) == 1; }));
        EXPECT_EQ(KeyDown(84), 0);
        gUser->Key(k.first, false);
        EXPECT_TRUE(Eventually([&] { return KeyDown(k.second) == 0; }));
    }
    // The Escape press is still queued; the next ShowScreen would take it as a quit request.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {}
    InKey();
    for (unsigned long shift : {0, 0, XK_Shift_L, XK_Shift_R}) {
        SCOPED_TRACE(shift);
        if (shift) gUser->Key(shift, true);
        gUser->Key(XK_a, true);
        EXPECT_TRUE(Eventually([&] { return std::string(InKey().CStr()) == (shift ? "A" : "a"); }));
        for (int i = 0; i < 3; ++i) EXPECT_STREQ(InKey().CStr(), "") << "held key reported again";
        gUser->Key(XK_a, false);
        if (shift) gUser->Key(shift, false);
        EXPECT_TRUE(Eventually([] { return KeyDown(KEY_A) + KeyDown(KEY_LSHIFT) + KeyDown(KEY_RSHIFT) == 0; }));
        EXPECT_STREQ(InKey().CStr(), "");
    }
}

TEST_F(XInputTest, HiddenCursorIntegratesClampedMotionAndAVisibleOneReportsThePointer) {
    struct Move { bool settle; int setX, setY, toX, toY; double x, y; };
    const Move moves[] = {
        {true, 100, 100, 270, 200, 70, 100},   // 30 pixels left from the stored position
        {false, -1, -1, 290, 215, 90, 115},    // on from there
        {true, 600, 450, 400, 260, 639, 479},  // +100, +60 beyond the right and bottom edges
        {false, 20, 20, 350, 200, 0, 0},       // -50, -60
    };
    double x, y, l, r;
    for (const Move& m : moves) {
        SCOPED_TRACE(m.toX);
        if (m.settle) SettlePointer(300, 200);
        if (m.setX >= 0) SetMousePosition(m.setX, m.setY);
        MoveAndSample(m.toX, m.toY, x, y);
        EXPECT_EQ(x, m.x);
        EXPECT_EQ(y, m.y);
        if (&m != &moves[0]) continue;
        EXPECT_EQ(MouseAxis(0), -30) << "the frame's motion, again for a second query";
        EXPECT_EQ(MouseAxis(1), 0);
        GetMouseState(x, y, l, r);
        EXPECT_EQ(x, 70) << "a repeated query does not move the stored position";
    }
    SettlePointer(300, 200);
    ShowMouse(1);
    MoveAndSample(123, 45, x, y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 45);
    ShowMouse(0);
}

TEST_F(XInputTest, ButtonsAndWheel) {
    SettlePointer(300, 200);
    for (const auto& c : {std::pair{1u, 3}, {3u, 4}, {2u, 5}}) {  // X button, its axis
        gUser->Button(c.first, true);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(c.second) == 1; })) << c.first;
        double x, y, l, r;
        GetMouseState(x, y, l, r);
        EXPECT_EQ(l, c.first == 1) << c.first;
        EXPECT_EQ(r, c.first == 3) << c.first;
        gUser->Button(c.first, false);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(c.second) == 0; })) << c.first;
    }
    // A wheel notch is a press and release that arrive together, and ShowScreen empties the
    // event queue; the first sample after the notch still reports it, the next frame's does not.
    for (const auto& c : {std::pair{4u, 1}, {5u, -1}}) {
        ShowScreen();
        gUser->Button(c.first, true);
        gUser->Button(c.first, false);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(2) == c.second; })) << c.first;
        EXPECT_EQ(MouseAxis(2), c.second);
        ShowScreen();
        EXPECT_EQ(MouseAxis(2), 0);
    }
}

TEST_F(XInputTest, RecordedPointerButtonsAndWheelReplayFrameForFrame) {
    SettlePointer(300, 200);
    const std::string file = "/tmp/voxa_x_input_" + std::to_string(getpid()) + ".vxr";
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
    std::remove(file.c_str());
}

}  // namespace
