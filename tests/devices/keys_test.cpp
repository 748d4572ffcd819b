// Keyboard rules through the key-state seam, the character mapping, and the input commands'
// answers without a display or joysticks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
        InKey();  // forget the character of an earlier test
    }
    void TearDown() override {
        DestroyInputDevices();
        SetKeyStateSourceForTesting(nullptr);
    }
    void Hold(int scancode, bool held = true) { table_[ScancodeKeySymbol(scancode)] = held ? 1 : 0; }
    std::string Key() { return InKey().CStr(); }

    uint8_t table_[kKeySymbolCount];
};

TEST_F(KeysTest, KeyDownReadsTheHeldScancodeModulo256AndNeverAnUnassignedOne) {
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

TEST_F(KeysTest, CharacterOfEachKindOfKey) {
    const int cases[][2] = {
        {14, 8}, {28, 10}, {156, 10}, {30, 'a'}, {11, '0'}, {12, '-'}, {57, ' '}, {41, '`'}, {211, 127}, {86, '\\'},
        {42, 0}, {221, 0}, {15, 0}, {1, 0}, {71, 0}, {200, 0}, {59, 0}, {84, 0}, {-1, 0}, {1000, 0},  // none
        {72, 8}, {83, 10}, {65, 32}, {102, 40}, {157, '1'}, {183, '='}, {70, '.'},  // symbols' low bytes
    };
    for (const auto& c : cases) EXPECT_EQ(CharOfScancode(c[0]), c[1]) << c[0];
}

TEST_F(KeysTest, InKeyReportsAPressOnceTheLowestKeyFirstAndShiftGivesUpperCaseLetters) {
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

TEST_F(KeysTest, MouseAndJoystickReadsStayInRange) {
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

} // namespace
