// Keyboard: the scancode table, the key test, the character reader and InKey.
//
// Programs name keys by PC set-1 scancodes; SDL 1.2 keeps its key state by key symbol. The
// table below maps one onto the other. Every key test goes through KeyHeld, which reads the key
// table from one place: SDL's own, or the table a test has put in place.
#include <SDL/SDL.h>

#include <array>

#include "devices/devices_local.h"
#include "devices/recording.h"
#include "voxa/devices.h"
#include "voxa/testing.h"

namespace {

constexpr uint16_t kNoKey = 255;  // table entry of a scancode without a key

constexpr std::array<uint16_t, kScancodeCount> BuildKeyTable() {
    std::array<uint16_t, kScancodeCount> t{};
    for (auto& entry : t) entry = kNoKey;
    t[1] = SDLK_ESCAPE;
    const char digits[] = "1234567890-=";
    for (int i = 0; i < 12; ++i) t[2 + i] = static_cast<uint16_t>(digits[i]);
    t[14] = SDLK_BACKSPACE;
    t[15] = SDLK_TAB;
    const char row1[] = "qwertyuiop[]";
    for (int i = 0; i < 12; ++i) t[16 + i] = static_cast<uint16_t>(row1[i]);
    t[28] = SDLK_RETURN;
    t[29] = SDLK_LCTRL;
    const char row2[] = "asdfghjkl;'`";
    for (int i = 0; i < 12; ++i) t[30 + i] = static_cast<uint16_t>(row2[i]);
    t[42] = SDLK_LSHIFT;
    t[43] = SDLK_BACKSLASH;
    const char row3[] = "zxcvbnm,./";
    for (int i = 0; i < 10; ++i) t[44 + i] = static_cast<uint16_t>(row3[i]);
    t[54] = SDLK_RSHIFT;
    t[55] = SDLK_KP_MULTIPLY;
    t[56] = SDLK_LALT;
    t[57] = SDLK_SPACE;
    t[58] = SDLK_CAPSLOCK;
    for (int i = 0; i < 10; ++i) t[59 + i] = static_cast<uint16_t>(SDLK_F1 + i);
    t[69] = SDLK_NUMLOCK;
    t[70] = SDLK_SCROLLOCK;
    t[71] = SDLK_KP7;
    t[72] = SDLK_KP8;
    t[73] = SDLK_KP9;
    t[74] = SDLK_KP_MINUS;
    t[75] = SDLK_KP4;
    t[76] = SDLK_KP5;
    t[77] = SDLK_KP6;
    t[78] = SDLK_KP_PLUS;
    t[79] = SDLK_KP1;
    t[80] = SDLK_KP2;
    t[81] = SDLK_KP3;
    t[82] = SDLK_KP0;
    t[83] = SDLK_KP_PERIOD;
    t[86] = SDLK_BACKSLASH;
    t[87] = SDLK_F11;
    t[88] = SDLK_F12;
    t[100] = SDLK_F13;
    t[101] = SDLK_F14;
    t[102] = SDLK_F15;
    t[141] = SDLK_KP_EQUALS;
    t[156] = SDLK_KP_ENTER;
    t[157] = SDLK_RCTRL;
    t[181] = SDLK_KP_DIVIDE;
    t[183] = SDLK_SYSREQ;
    t[184] = SDLK_RALT;
    t[197] = SDLK_PAUSE;
    t[199] = SDLK_HOME;
    t[200] = SDLK_UP;
    t[201] = SDLK_PAGEUP;
    t[203] = SDLK_LEFT;
    t[205] = SDLK_RIGHT;
    t[207] = SDLK_END;
    t[208] = SDLK_DOWN;
    t[209] = SDLK_PAGEDOWN;
    t[210] = SDLK_INSERT;
    t[211] = SDLK_DELETE;
    t[219] = SDLK_LMETA;
    t[220] = SDLK_RMETA;
    t[221] = SDLK_MENU;
    return t;
}

constexpr std::array<uint16_t, kScancodeCount> kKeyTable = BuildKeyTable();
static_assert(kKeySymbolCount == SDLK_LAST, "the test key table must cover every SDL key symbol");

const uint8_t* KeyState() { return gDevices.testKeyState ? gDevices.testKeyState : SDL_GetKeyState(nullptr); }

bool SymbolHeld(const uint8_t* state, int scancode) {
    uint16_t symbol = kKeyTable[scancode];
    return symbol != kNoKey && state[symbol] != 0;
}

int CharOf(int scancode) {
    switch (scancode) {
        case 14: return 8;                      // Backspace
        case 28: case 156: return 10;           // Return, keypad Enter
        case 29: case 42: case 54: case 56:     // Ctrl, Shifts, Alt
        case 58: case 69: case 221: return 0;   // Caps Lock, Num Lock, Menu
        default: break;
    }
    uint16_t symbol = kKeyTable[scancode];
    if (symbol == kNoKey) return 0;
    // The low byte of the symbol as a signed byte: control codes other than 8 and 10 and the
    // upper half give no character.
    int c = static_cast<signed char>(symbol & 0xFF);
    if (c < 0 || (c < 32 && c != 8 && c != 10)) return 0;
    return c;
}

} // namespace

void SetKeyStateSourceForTesting(const uint8_t* table) { gDevices.testKeyState = table; }

int ScancodeKeySymbol(int scancode) {
    return IdInRange(scancode, kScancodeCount) ? kKeyTable[scancode] : kNoKey;
}

bool KeyHeld(int scancode) {
    if (!IdInRange(scancode, kScancodeCount)) return false;
    return SampleKey(scancode, SymbolHeld(KeyState(), scancode));
}

bool AnyKeyHeld() {
    const uint8_t* state = KeyState();
    bool held = false;
    for (int s = 0; s < kScancodeCount && !held; ++s) held = SymbolHeld(state, s);
    return SampleAnyKey(held);
}

bool ScancodeHeld(int scancode) { return KeyHeld(scancode); }

double KeyDown(double scancode) {
    SDL_PumpEvents();
    // Taken modulo 256 (257 is Escape again); a value that is not a number reads scancode 255,
    // which has no key.
    return KeyHeld(static_cast<uint8_t>(TruncOr(scancode, 255))) ? 1 : 0;
}

double CharOfScancode(double scancode) {
    int32_t s = 0;
    return IdFrom(scancode, kScancodeCount, s) ? CharOf(s) : 0;
}

int ReadKeyChar() {
    SDL_PumpEvents();
    const uint8_t* state = KeyState();
    int c = 0;
    for (int s = 0; s < kScancodeCount && c == 0; ++s) {
        if (SymbolHeld(state, s)) c = CharOf(s);
    }
    if (c >= 'a' && c <= 'z' && (SymbolHeld(state, 42) || SymbolHeld(state, 54))) c -= 32;
    c = SampleChar(c);
    if (c == gDevices.memory.lastChar) return 0;
    gDevices.memory.lastChar = static_cast<uint8_t>(c);
    return c;
}

DynString InKey() {
    char text[2] = {static_cast<char>(ReadKeyChar()), '\0'};
    return DynString(text);
}
