// The commands that block until the user acts (the line editor, KeyWait, MouseWait and
// WaitForInputChange), driven by real X events. Each case runs in a child process that starts
// the runtime with its window; a second thread there plays the user, sending XTest events and
// looking at the window's pixels, while the main thread waits in the command under test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "devices/lifecycle.h"
#include "devices/x_user.h"
#include "support/within.h"
#include "voxa/runtime.h"
#include "voxa/testing.h"

#include <GL/gl.h>

namespace {

// Exit codes of the child: the command returned as expected, or which check failed.
constexpr int kReturned = 10;
constexpr int kWrongResult = 11;
constexpr int kReturnedEarly = 12;
constexpr int kPixelsWrong = 13;

// Private directory of the child, for its error log and audio output; removed when the child
// ends, whichever way.
std::string gDir;

void RemoveChildDir() { std::system(("rm -rf " + gDir).c_str()); }

[[noreturn]] void ExitChild(int code) {
    RemoveChildDir();
    _exit(code);
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts the runtime in the child with a 640 x 480 window and connects the user to it.
void StartRuntime(XUser& user) {
    char pattern[] = "/tmp/voxa-devwait-XXXXXX";
    if (mkdtemp(pattern) == nullptr) _exit(4);
    gDir = pattern;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (gDir + "/out.raw").c_str(), 1);
    SetErrorLogPathForTesting((gDir + "/log.txt").c_str());
    gSettings.screenWidth = 640;
    gSettings.screenHeight = 480;
    gSettings.fullscreen = 0;
    gSettings.framesPerSecond = 60;
    RuntimeStart(0, nullptr, "", nullptr, "devices");
    std::atexit(RemoveChildDir);  // runs when EndProgram ends the process
    // A key stroke the command missed leaves it waiting for ever: the child is ended by
    // SIGALRM instead, and the case fails rather than running into the test's timeout.
    alarm(240);
    if (!user.Connect()) ExitChild(2);
}

// Set by the main thread once the command under test has returned.
std::atomic<bool> gReturned{false};

void WaitForReturn() { voxatest::Within([] { return gReturned.load(); }); }

// The player's keys, typed once the editor runs its frames; a stroke that never got through
// ends the child at once.
void TypeKeys(XUser& user, std::initializer_list<unsigned long> keys) {
    if (!XUser::WaitFrames(2)) ExitChild(kWrongResult);
    for (unsigned long k : keys) {
        if (!user.Type(k)) ExitChild(kWrongResult);
    }
}

// The key that ends the command: held until the command has returned (it runs no more frames).
void PressToEnd(XUser& user, unsigned long keysym) {
    if (!XUser::WaitFrames(2) || !user.KeyTakenIn(keysym, true)) ExitChild(kWrongResult);
    WaitForReturn();
    user.Key(keysym, false);
}

// The children start afresh (the runtime's SDL timer thread would be missing in a plain fork).
class XWaitTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

[[noreturn]] void EditALine() {
    XUser user;
    StartRuntime(user);
    std::thread player([&user] {
        TypeKeys(user, {XK_1, XK_2, XK_BackSpace, XK_3});
        user.KeyTakenIn(XK_Shift_R, true);
        TypeKeys(user, {XK_a});
        user.KeyTakenIn(XK_Shift_R, false);
        PressToEnd(user, XK_Return);
    });
    DynString text("x=");
    InputText(text, 10, 10);
    gReturned = true;
    player.join();
    ExitChild(std::string(text.CStr()) == "x=13A" ? kReturned : kWrongResult);
}

TEST_F(XWaitTest, InputTextEditsALineUntilReturn) {
    EXPECT_EXIT(EditALine(), ::testing::ExitedWithCode(kReturned), "");
}

[[noreturn]] void EnterANumber() {
    XUser user;
    StartRuntime(user);
    std::thread player([&user] {
        TypeKeys(user, {XK_minus, XK_7, XK_period, XK_5});
        PressToEnd(user, XK_KP_Decimal);
    });
    double value = 0;
    InputNumber(value, 10, 10);
    gReturned = true;
    player.join();
    ExitChild(value == -7.5 ? kReturned : kWrongResult);
}

TEST_F(XWaitTest, InputNumberEndsOnKeypadPeriod) {
    EXPECT_EXIT(EnterANumber(), ::testing::ExitedWithCode(kReturned), "");
}

[[noreturn]] void RequestAFile() {
    XUser user;
    StartRuntime(user);
    std::thread player([&user] {
        TypeKeys(user, {XK_m, XK_a, XK_p});
        PressToEnd(user, XK_KP_Enter);
    });
    DynString name = FileRequest();
    gReturned = true;
    player.join();
    ExitChild(std::string(name.CStr()) == "File:map" ? kReturned : kWrongResult);
}

TEST_F(XWaitTest, FileRequestKeepsItsPrefix) {
    EXPECT_EXIT(RequestAFile(), ::testing::ExitedWithCode(kReturned), "");
}

// The line is edited over a blue screen that the editor saved; every frame starts black, so
// blue around the text shows the saved screen drawn again. Backspace must leave no trace and
// the cursor must blink while no key comes. The window is read once the editor has shown the
// frames in question.
[[noreturn]] void WatchTheEditor() {
    XUser user;
    StartRuntime(user);
    std::atomic<bool> pixelsRight{true};
    std::thread player([&user, &pixelsRight] {
        const int x = 100, y = 200, w = 120, h = 24;  // the first cells of the line
        int white, blue;
        if (!XUser::WaitFrames(2)) pixelsRight = false;
        user.Count(x, y, w, h, white, blue);
        if (blue < w * h * 8 / 10) pixelsRight = false;  // the saved screen, not a black frame
        TypeKeys(user, {XK_o, XK_k});
        user.Count(x, y, w, h, white, blue);
        if (white == 0) pixelsRight = false;  // "ok" is on screen, the cursor on or off
        TypeKeys(user, {XK_BackSpace, XK_BackSpace});
        // The empty line: only the cursor, on for 21 frames and off for 21, watched until both
        // were seen.
        bool on = false, off = false;
        voxatest::Within(
            [&] {
                user.Count(x, y, w, h, white, blue);
                if (white + blue < w * h * 9 / 10) pixelsRight = false;
                (white == 0 ? off : on) = true;
                return on && off;
            },
            voxatest::kPatienceMs, 5);
        if (!on || !off) pixelsRight = false;
        PressToEnd(user, XK_Return);
    });
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    DynString text;
    InputText(text, 100, 200);
    gReturned = true;
    player.join();
    if (text.Length() != 0) ExitChild(kWrongResult);
    ExitChild(pixelsRight ? kReturned : kPixelsWrong);
}

TEST_F(XWaitTest, InputTextRestoresTheScreenAndBlinksItsCursor) {
    EXPECT_EXIT(WatchTheEditor(), ::testing::ExitedWithCode(kReturned), "");
}

[[noreturn]] void WaitForAKey() {
    XUser user;
    StartRuntime(user);
    std::atomic<bool> typed{false};
    std::thread player([&user, &typed] {
        // A key without a character, taken in while the program waits, does not end the wait;
        // the character key is held until the wait is over.
        user.KeyTakenIn(XK_Shift_L, true);
        typed = true;
        user.Key(XK_k, true);
        WaitForReturn();
        user.Key(XK_k, false);
        user.Key(XK_Shift_L, false);
    });
    KeyWait();
    bool early = !typed;
    gReturned = true;
    player.join();
    ExitChild(early ? kReturnedEarly : kReturned);
}

TEST_F(XWaitTest, KeyWaitReturnsOnACharacterKey) {
    EXPECT_EXIT(WaitForAKey(), ::testing::ExitedWithCode(kReturned), "");
}

[[noreturn]] void PressEscapeWhileWaiting() {
    XUser user;
    StartRuntime(user);
    std::thread player([&user] {
        Sleep(150);
        // Pressed and released at once: the program ends on the queued press, and a key left
        // down would stay down on the X server for the next case.
        user.Key(XK_Escape, true);
        user.Key(XK_Escape, false);
    });
    player.detach();
    KeyWait();
    ExitChild(kReturned);  // not reached: Escape ends the program with status 0
}

TEST_F(XWaitTest, EscapeDuringKeyWaitEndsTheProgram) {
    EXPECT_EXIT(PressEscapeWhileWaiting(), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void CloseTheWindowWhileWaiting() {
    XUser user;
    StartRuntime(user);
    std::thread player([&user] {
        Sleep(150);
        user.CloseWindow();
    });
    player.detach();
    for (;;) WaitForInputChange();  // only the close request ends this
}

TEST_F(XWaitTest, ClosingTheWindowDuringWaitForInputChangeEndsTheProgram) {
    EXPECT_EXIT(CloseTheWindowWhileWaiting(), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void ClickAfterRelease() {
    XUser user;
    StartRuntime(user);
    std::atomic<bool> clicked{false};
    user.Button(1, true);  // held when MouseWait starts: it waits for the release first
    voxatest::Within([] {
        UpdateInputDevices();
        return MouseAxis(3) == 1;
    });
    std::thread player([&user, &clicked] {
        Sleep(150);
        user.Button(1, false);
        // The wait notices the release on its next poll, 30 ms at most; a press before that
        // would be taken for the old button still down, and the wait would go on until that
        // press ends. So the press is held until the wait is over, and should the wait still
        // run after a while, released and made again.
        Sleep(150);
        clicked = true;
        for (int press = 0; press < 10 && !gReturned; ++press) {
            user.Button(3, true);
            voxatest::Within([] { return gReturned.load(); }, 5000);
            user.Button(3, false);
            Sleep(150);
        }
    });
    MouseWait();
    bool early = !clicked;
    gReturned = true;
    player.join();
    ExitChild(early ? kReturnedEarly : kReturned);
}

TEST_F(XWaitTest, MouseWaitWaitsForAFreshPress) {
    EXPECT_EXIT(ClickAfterRelease(), ::testing::ExitedWithCode(kReturned), "");
}

} // namespace
