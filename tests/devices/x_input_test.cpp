// Keyboard and mouse commands fed by real X events: the test opens the runtime's window on its
// own Xvfb server and sends key, button and pointer events through the XTest extension.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "base/errors.h"
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

class XInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Window().OpenWindow(640, 480, 0, 60));
        gUser = new XUser();
        ASSERT_TRUE(gUser->Connect());
    }
    static void TearDownTestSuite() {
        delete gUser;
        gUser = nullptr;
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

    static void MovePointer(int x, int y) { gUser->MovePointer(x, y); }
    static void Key(unsigned long keysym, bool down) { gUser->Key(keysym, down); }
    static void Button(unsigned button, bool down) { gUser->Button(button, down); }
    // Polls until the condition holds: the X server is another process, and on a loaded
    // machine its events can take a while.
    static bool Eventually(const std::function<bool()>& condition) { return voxatest::Within(condition, voxatest::kPatienceMs, 5); }
    // Moves the pointer and waits for the first fresh sample that sees the motion.
    static void MoveAndSample(int x, int y, double& mx, double& my) {
        double startX, startY, l, r;
        GetMouseState(startX, startY, l, r);
        MovePointer(x, y);
        ASSERT_TRUE(Eventually([&] {
            ShowScreen();
            GetMouseState(mx, my, l, r);
            return mx != startX || my != startY;
        }));
    }
    // Lets SDL take in the pointer's current position, then forgets the motion.
    static void SettlePointer(int x, int y) {
        MovePointer(x, y);
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

TEST_F(XInputTest, KeyDownByScancodeFollowsRealKeys) {
    struct Case { unsigned long sym; int scancode; };
    const Case cases[] = {
        {XK_a, 30}, {XK_q, 16}, {XK_m, 50}, {XK_Up, 200}, {XK_Down, 208}, {XK_Left, 203},
        {XK_Right, 205}, {XK_Escape, 1}, {XK_space, 57}, {XK_Return, 28}, {XK_Shift_R, 54},
        {XK_KP_Decimal, 83}, {XK_KP_Enter, 156}, {XK_Delete, 211}, {XK_F4, 62},
    };
    for (const Case& c : cases) {
        Key(c.sym, true);
        EXPECT_TRUE(Eventually([&] { return KeyDown(c.scancode) == 1; })) << c.scancode;
        if (c.scancode == 1) {
            EXPECT_EQ(KeyDown(257), 1);
        }
        EXPECT_EQ(KeyDown(84), 0);
        Key(c.sym, false);
        EXPECT_TRUE(Eventually([&] { return KeyDown(c.scancode) == 0; })) << c.scancode;
        if (c.scancode == 1) {
            EXPECT_EQ(KeyDown(257), 0);
        }
    }
    // The Escape press is still queued; the next ShowScreen would take it as a quit request.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {}
}

TEST_F(XInputTest, InKeyGivesEachPressOnceAndUpperCaseWithEitherShift) {
    Key(XK_a, true);
    EXPECT_TRUE(Eventually([] { return std::string(InKey().CStr()) == "a"; }));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::string(InKey().CStr()), "") << "held key reported again";
    Key(XK_a, false);
    EXPECT_TRUE(Eventually([] { return KeyDown(30) == 0; }));
    EXPECT_EQ(std::string(InKey().CStr()), "");
    Key(XK_a, true);
    EXPECT_TRUE(Eventually([] { return std::string(InKey().CStr()) == "a"; }));
    Key(XK_a, false);
    for (unsigned long shift : {XK_Shift_L, XK_Shift_R}) {
        EXPECT_TRUE(Eventually([] { return KeyDown(30) == 0 && InKey().Length() == 0; }));
        Key(shift, true);
        Key(XK_a, true);
        EXPECT_TRUE(Eventually([] { return std::string(InKey().CStr()) == "A"; })) << shift;
        Key(XK_a, false);
        Key(shift, false);
    }
}

TEST_F(XInputTest, HiddenCursorIntegratesRelativeMotionFromTheStoredPosition) {
    SettlePointer(300, 200);
    SetMousePosition(100, 100);
    double x, y, l, r;
    MoveAndSample(270, 200, x, y);  // 30 pixels left
    EXPECT_EQ(x, 70);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(MouseAxis(0), -30);   // the frame's motion, again for a second query
    EXPECT_EQ(MouseAxis(1), 0);
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x, 70);               // a repeated query does not move the stored position
    MoveAndSample(290, 215, x, y);
    EXPECT_EQ(x, 90);
    EXPECT_EQ(y, 115);
}

TEST_F(XInputTest, StoredPositionClampsAtTheScreenEdges) {
    SettlePointer(300, 200);
    SetMousePosition(600, 450);
    double x, y;
    MoveAndSample(400, 260, x, y);  // +100, +60 beyond the right and bottom edges
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
    SetMousePosition(20, 20);
    MoveAndSample(350, 200, x, y);  // -50, -60
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST_F(XInputTest, VisibleCursorReportsThePointer) {
    SettlePointer(300, 200);
    ShowMouse(1);
    double x, y;
    MoveAndSample(123, 45, x, y);
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 45);
    ShowMouse(0);
}

TEST_F(XInputTest, ButtonsAndWheel) {
    SettlePointer(300, 200);
    struct Case { unsigned button; double axis; };
    for (Case c : {Case{1, 3}, Case{3, 4}, Case{2, 5}}) {
        Button(c.button, true);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(c.axis) == 1; })) << c.button;
        if (c.button == 1 || c.button == 3) {
            double x, y, l, r;
            GetMouseState(x, y, l, r);
            EXPECT_EQ(l, c.button == 1 ? 1 : 0);
            EXPECT_EQ(r, c.button == 3 ? 1 : 0);
        }
        Button(c.button, false);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(c.axis) == 0; })) << c.button;
    }
    // A wheel notch is a press and release that arrive together, and ShowScreen empties the
    // event queue; the first sample after the notch still reports it, the next frame's does not.
    for (Case c : {Case{4, 1}, Case{5, -1}}) {
        ShowScreen();
        Button(c.button, true);
        Button(c.button, false);
        EXPECT_TRUE(Eventually([&] { ShowScreen(); return MouseAxis(2) == c.axis; })) << c.button;
        EXPECT_EQ(MouseAxis(2), c.axis);
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
    MovePointer(340, 230);
    int frames = 0, stage = 0;
    for (; frames < 1000 && stage < 4; ++frames) {
        frame(frames, recorded);
        const double* t = &recorded[recorded.size() - 8];
        if (stage == 0 && t[4] != 0 && frames > 40) {         // moved: press the left button
            Button(1, true);
            ++stage;
        } else if (stage == 1 && t[2] == 1) {                 // pressed: release, turn the wheel
            Button(1, false);
            Button(4, true);
            Button(4, false);
            ++stage;
        } else if (stage == 2 && t[6] == 1) {                 // the wheel: move on
            MovePointer(200, 120);
            ++stage;
        } else if (stage == 3 && t[0] == 200) {
            ++stage;
        } else if (stage == 0 && frames == 45) {
            MovePointer(350, 240);
        }
    }
    StopInputRecording();
    ASSERT_EQ(stage, 4);

    MovePointer(10, 10);  // the live pointer elsewhere; the replay does not see it
    ShowMouse(0);
    ASSERT_EQ(PlayInputRecording(file.c_str()), 1);
    std::vector<double> replayed;
    for (int f = 0; f < frames; ++f) frame(f, replayed);
    EXPECT_EQ(replayed, recorded);
    ResetInputRecorderForTesting();
    std::remove(file.c_str());
}

} // namespace
