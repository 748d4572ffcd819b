// Keyboard rules through the key-state seam, the character mapping, and the input commands'
// answers without a display or joysticks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/lifecycle.h"
#include "devices/devices.h"

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
