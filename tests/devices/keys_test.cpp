// Keyboard rules through the key-state seam, the character mapping, and the input commands'
// answers without a display or joysticks.
#include <SDL/SDL_keysym.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "base/errors.h"
#include "devices/lifecycle.h"
#include "voxa/devices.h"
#include "voxa/testing.h"
#include "voxa/window.h"

namespace {

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(table_, 0, sizeof table_);
        SetKeyStateSourceForTesting(table_);
        CreateInputDevices();
        StartInputDevices();
        gSettings.screenWidth = 640;
        gSettings.screenHeight = 480;
        InKey(); // forget the character of an earlier test
    }
    void TearDown() override {
        DestroyInputDevices();
        SetKeyStateSourceForTesting(nullptr);
    }
    void Hold(int scancode, bool held = true) { table_[ScancodeKeySymbol(scancode)] = held ? 1 : 0; }

    uint8_t table_[kKeySymbolCount];
};

TEST_F(KeysTest, KeyDownReadsTheTableByScancode) {
    const int keys[] = {30, 16, 44, 200, 203, 205, 208, 1, 57, 28, 42, 54, 56, 62, 83, 156, 211, 221};
    for (int s : keys) {
        EXPECT_EQ(KeyDown(s), 0) << s;
        Hold(s);
        EXPECT_EQ(KeyDown(s), 1) << s;
        EXPECT_EQ(ScancodeHeld(s), true) << s;
        Hold(s, false);
        EXPECT_EQ(KeyDown(s), 0) << s;
    }
}

TEST_F(KeysTest, ScancodesWrapAt256AndUnassignedCodesAreNeverHeld) {
    Hold(1);
    EXPECT_EQ(KeyDown(257), 1);
    EXPECT_EQ(KeyDown(1.9), 1);
    EXPECT_EQ(KeyDown(-255), 1); // -255 mod 256
    Hold(1, false);
    EXPECT_EQ(KeyDown(257), 0);
    // Scancode 84 has no key: even a table with every symbol held gives 0 there, and so do
    // 255 and values that are not numbers.
    std::memset(table_, 1, sizeof table_);
    EXPECT_EQ(KeyDown(84), 0);
    EXPECT_EQ(KeyDown(255), 0);
    EXPECT_EQ(KeyDown(0), 0);
    EXPECT_EQ(KeyDown(std::nan("")), 0);
    EXPECT_EQ(KeyDown(1e300), 0);
    EXPECT_FALSE(ScancodeHeld(-1));
    EXPECT_FALSE(ScancodeHeld(255));
}

TEST_F(KeysTest, ScancodeTableMapsToSdlSymbols) {
    EXPECT_EQ(ScancodeKeySymbol(1), 27);     // Escape
    EXPECT_EQ(ScancodeKeySymbol(11), '0');
    EXPECT_EQ(ScancodeKeySymbol(30), 'a');
    EXPECT_EQ(ScancodeKeySymbol(50), 'm');
    EXPECT_EQ(ScancodeKeySymbol(86), '\\');
    EXPECT_EQ(ScancodeKeySymbol(200), 273);  // Up
    EXPECT_EQ(ScancodeKeySymbol(219), 310);  // left Meta
    EXPECT_EQ(ScancodeKeySymbol(183), 317);  // SysReq
    EXPECT_EQ(ScancodeKeySymbol(84), 255);
    EXPECT_EQ(ScancodeKeySymbol(300), 255);
    EXPECT_EQ(ScancodeKeySymbol(-3), 255);
    int assigned = 0;
    for (int s = 0; s < 255; ++s) assigned += ScancodeKeySymbol(s) != 255;
    EXPECT_EQ(assigned, 109); // 1..83, 86..88, F13..F15 and 20 extended keys
}

// Each key name against the SDL key of its scancode, and together the names cover exactly the
// scancodes the table assigns, each once: a mistyped number is caught either way.
TEST(KeyNames, EachNameIsTheScancodeOfItsKey) {
    struct Name { double scancode; int symbol; };
    const Name names[] = {
        {KEY_ESCAPE, SDLK_ESCAPE}, {KEY_1, SDLK_1}, {KEY_2, SDLK_2}, {KEY_3, SDLK_3},
        {KEY_4, SDLK_4}, {KEY_5, SDLK_5}, {KEY_6, SDLK_6}, {KEY_7, SDLK_7}, {KEY_8, SDLK_8},
        {KEY_9, SDLK_9}, {KEY_0, SDLK_0}, {KEY_MINUS, SDLK_MINUS}, {KEY_EQUALS, SDLK_EQUALS},
        {KEY_BACKSPACE, SDLK_BACKSPACE}, {KEY_TAB, SDLK_TAB}, {KEY_Q, SDLK_q}, {KEY_W, SDLK_w},
        {KEY_E, SDLK_e}, {KEY_R, SDLK_r}, {KEY_T, SDLK_t}, {KEY_Y, SDLK_y}, {KEY_U, SDLK_u},
        {KEY_I, SDLK_i}, {KEY_O, SDLK_o}, {KEY_P, SDLK_p}, {KEY_LEFTBRACKET, SDLK_LEFTBRACKET},
        {KEY_RIGHTBRACKET, SDLK_RIGHTBRACKET}, {KEY_RETURN, SDLK_RETURN}, {KEY_LCTRL, SDLK_LCTRL},
        {KEY_A, SDLK_a}, {KEY_S, SDLK_s}, {KEY_D, SDLK_d}, {KEY_F, SDLK_f}, {KEY_G, SDLK_g},
        {KEY_H, SDLK_h}, {KEY_J, SDLK_j}, {KEY_K, SDLK_k}, {KEY_L, SDLK_l},
        {KEY_SEMICOLON, SDLK_SEMICOLON}, {KEY_QUOTE, SDLK_QUOTE}, {KEY_BACKQUOTE, SDLK_BACKQUOTE},
        {KEY_LSHIFT, SDLK_LSHIFT}, {KEY_BACKSLASH, SDLK_BACKSLASH}, {KEY_Z, SDLK_z},
        {KEY_X, SDLK_x}, {KEY_C, SDLK_c}, {KEY_V, SDLK_v}, {KEY_B, SDLK_b}, {KEY_N, SDLK_n},
        {KEY_M, SDLK_m}, {KEY_COMMA, SDLK_COMMA}, {KEY_PERIOD, SDLK_PERIOD},
        {KEY_SLASH, SDLK_SLASH}, {KEY_RSHIFT, SDLK_RSHIFT}, {KEY_KP_MULTIPLY, SDLK_KP_MULTIPLY},
        {KEY_LALT, SDLK_LALT}, {KEY_SPACE, SDLK_SPACE}, {KEY_CAPSLOCK, SDLK_CAPSLOCK},
        {KEY_F1, SDLK_F1}, {KEY_F2, SDLK_F2}, {KEY_F3, SDLK_F3}, {KEY_F4, SDLK_F4},
        {KEY_F5, SDLK_F5}, {KEY_F6, SDLK_F6}, {KEY_F7, SDLK_F7}, {KEY_F8, SDLK_F8},
        {KEY_F9, SDLK_F9}, {KEY_F10, SDLK_F10}, {KEY_NUMLOCK, SDLK_NUMLOCK},
        {KEY_SCROLLLOCK, SDLK_SCROLLOCK}, {KEY_KP7, SDLK_KP7}, {KEY_KP8, SDLK_KP8},
        {KEY_KP9, SDLK_KP9}, {KEY_KP_MINUS, SDLK_KP_MINUS}, {KEY_KP4, SDLK_KP4},
        {KEY_KP5, SDLK_KP5}, {KEY_KP6, SDLK_KP6}, {KEY_KP_PLUS, SDLK_KP_PLUS}, {KEY_KP1, SDLK_KP1},
        {KEY_KP2, SDLK_KP2}, {KEY_KP3, SDLK_KP3}, {KEY_KP0, SDLK_KP0},
        {KEY_KP_PERIOD, SDLK_KP_PERIOD}, {KEY_BACKSLASH2, SDLK_BACKSLASH}, {KEY_F11, SDLK_F11},
        {KEY_F12, SDLK_F12}, {KEY_F13, SDLK_F13}, {KEY_F14, SDLK_F14}, {KEY_F15, SDLK_F15},
        {KEY_KP_EQUALS, SDLK_KP_EQUALS}, {KEY_KP_ENTER, SDLK_KP_ENTER}, {KEY_RCTRL, SDLK_RCTRL},
        {KEY_KP_DIVIDE, SDLK_KP_DIVIDE}, {KEY_SYSREQ, SDLK_SYSREQ}, {KEY_RALT, SDLK_RALT},
        {KEY_PAUSE, SDLK_PAUSE}, {KEY_HOME, SDLK_HOME}, {KEY_UP, SDLK_UP},
        {KEY_PAGEUP, SDLK_PAGEUP}, {KEY_LEFT, SDLK_LEFT}, {KEY_RIGHT, SDLK_RIGHT},
        {KEY_END, SDLK_END}, {KEY_DOWN, SDLK_DOWN}, {KEY_PAGEDOWN, SDLK_PAGEDOWN},
        {KEY_INSERT, SDLK_INSERT}, {KEY_DELETE, SDLK_DELETE}, {KEY_LMETA, SDLK_LMETA},
        {KEY_RMETA, SDLK_RMETA}, {KEY_MENU, SDLK_MENU}
    };
    std::set<int> named;
    for (const Name& n : names) {
        EXPECT_EQ(ScancodeKeySymbol(int(n.scancode)), n.symbol) << n.scancode;
        EXPECT_TRUE(named.insert(int(n.scancode)).second) << "two names for " << n.scancode;
    }
    for (int s = 0; s < 255; ++s) {
        EXPECT_EQ(named.count(s), ScancodeKeySymbol(s) != 255 ? 1u : 0u) << s;
    }
}

TEST_F(KeysTest, CharacterOfEachKindOfKey) {
    struct Case { int scancode; int ch; };
    const Case cases[] = {
        {14, 8}, {28, 10}, {156, 10}, {30, 'a'}, {2, '1'}, {11, '0'}, {12, '-'}, {57, ' '},
        {53, '/'}, {41, '`'}, {211, 127},
        {29, 0}, {42, 0}, {54, 0}, {56, 0}, {58, 0}, {69, 0}, {221, 0},    // modifiers and locks
        {15, 0}, {1, 0}, {197, 0},                                         // Tab, Escape, Pause
        {72, 8}, {83, 10}, {65, 32}, {102, 40}, {157, '1'}, {184, '3'},    // symbol low bytes
        {220, '5'}, {219, '6'}, {183, '='}, {70, '.'},
        {71, 0}, {82, 0}, {79, 0}, {55, 0}, {181, 0}, {141, 0},            // other keypad keys
        {200, 0}, {203, 0}, {199, 0}, {209, 0}, {59, 0}, {64, 0},          // arrows, editing, F1..F6
        {84, 0}, {255, 0}, {-1, 0}, {1000, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CharOfScancode(c.scancode), c.ch) << c.scancode;
}

TEST_F(KeysTest, InKeyReportsAPressOnceAndShiftGivesUpperCase) {
    Hold(30);
    EXPECT_EQ(std::string(InKey().CStr()), "a");
    EXPECT_EQ(std::string(InKey().CStr()), "");  // still held: not again
    EXPECT_EQ(std::string(InKey().CStr()), "");
    Hold(30, false);
    EXPECT_EQ(std::string(InKey().CStr()), "");
    Hold(30);
    EXPECT_EQ(std::string(InKey().CStr()), "a");  // pressed anew
    for (int shift : {42, 54}) {
        Hold(shift);
        EXPECT_EQ(std::string(InKey().CStr()), "A") << shift;
        Hold(shift, false);
        InKey();
    }
    Hold(30, false);
    Hold(42);
    Hold(2);
    EXPECT_EQ(std::string(InKey().CStr()), "1");  // Shift changes letters only
}

TEST_F(KeysTest, LowestHeldScancodeGivesTheCharacter) {
    Hold(44); // z
    Hold(30); // a, the lower scancode
    EXPECT_EQ(std::string(InKey().CStr()), "a");
    Hold(42); // Shift alone adds no character of its own
    EXPECT_EQ(std::string(InKey().CStr()), "A");
}

TEST(InputWithoutDevicesTest, ReadsGiveZeroBeforeStartAndAfterShutdown) {
    double x = 5, y = 5, l = 5, r = 5;
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x + y + l + r, 0);
    EXPECT_EQ(MouseAxis(0), 0);
    EXPECT_EQ(GetJoystickCount(), 0);
    EXPECT_EQ(GetJoyX(0), 0);
    SetMousePosition(5, 5);
    ShowMouse(1);
    EXPECT_EQ(MouseAxis(3), 0);
}

TEST_F(KeysTest, MouseStartsAtOneHundredAndClampsToTheScreen) {
    double x, y, l, r;
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    SetMousePosition(5000.7, -20);
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 0);
    SetMousePosition(1e300, std::nan(""));  // not representable: taken as 0
    GetMouseState(x, y, l, r);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    for (double n : {-1.0, 6.0, 1e12, std::nan("")}) EXPECT_EQ(MouseAxis(n), 0) << n;
}

TEST_F(KeysTest, JoystickReadsOutsideTheRangeGiveZero) {
    // The test machine has no joystick; every index, present or not, reads 0 or "".
    EXPECT_EQ(GetJoystickCount(), 0);
    for (double j : {0.0, 9.0, 10.0, -1.0, 1e10, std::nan("")}) {
        EXPECT_EQ(GetJoyX(j) + GetJoyY(j) + GetJoyZ(j) + GetJoyRX(j) + GetJoyRY(j) + GetJoyRZ(j), 0);
        EXPECT_EQ(GetJoyPovX(j), 0);
        EXPECT_EQ(GetJoyPovY(j), 0);
        EXPECT_EQ(GetJoyButton(j, 0), 0);
        EXPECT_EQ(std::string(GetJoyName(j).CStr()), "");
    }
    EXPECT_EQ(GetJoyButton(0, 32), 0);
    EXPECT_EQ(GetJoyButton(0, -1), 0);
    double x = 9, y = 9, b1 = 9, b2 = 9;
    GetJoystickDigital(x, y, b1, b2);
    EXPECT_EQ(x + y + b1 + b2, 0);
}

} // namespace
