// Input and sound: keyboard, mouse, joysticks; sound effects and music.
//
// Input is polled: every read pumps SDL's events and samples the current state. Keys are
// named by PC set-1 scancodes (extended keys 0x80 + code), each with a name below: KEY_ESCAPE
// (1), KEY_RETURN (28), KEY_SPACE (57), KEY_UP/KEY_DOWN/KEY_LEFT/KEY_RIGHT (200/208/203/205),
// ... Sounds are fired into 128 numbered slots and mixed on 16 channels; music is one looping
// track. Every command is safe before RuntimeStart and after EndProgram: reads give 0 or the
// empty text, sound commands do nothing.
#pragma once

#include <cstdint>

#include "voxa/dynstring.h"

// ---- Key names: every scancode the keyboard commands know, e.g. KeyDown(KEY_SPACE). Plain
// numbers keep working (KeyDown(57) is the same).
constexpr double KEY_ESCAPE = 1;
constexpr double KEY_1 = 2, KEY_2 = 3, KEY_3 = 4, KEY_4 = 5, KEY_5 = 6;
constexpr double KEY_6 = 7, KEY_7 = 8, KEY_8 = 9, KEY_9 = 10, KEY_0 = 11;
constexpr double KEY_MINUS = 12;
constexpr double KEY_EQUALS = 13;
constexpr double KEY_BACKSPACE = 14;
constexpr double KEY_TAB = 15;
constexpr double KEY_Q = 16, KEY_W = 17, KEY_E = 18, KEY_R = 19, KEY_T = 20;
constexpr double KEY_Y = 21, KEY_U = 22, KEY_I = 23, KEY_O = 24, KEY_P = 25;
constexpr double KEY_LEFTBRACKET = 26;
constexpr double KEY_RIGHTBRACKET = 27;
constexpr double KEY_RETURN = 28;
constexpr double KEY_LCTRL = 29;
constexpr double KEY_A = 30, KEY_S = 31, KEY_D = 32, KEY_F = 33, KEY_G = 34;
constexpr double KEY_H = 35, KEY_J = 36, KEY_K = 37, KEY_L = 38;
constexpr double KEY_SEMICOLON = 39;
constexpr double KEY_QUOTE = 40;
constexpr double KEY_BACKQUOTE = 41;
constexpr double KEY_LSHIFT = 42;
constexpr double KEY_BACKSLASH = 43;
constexpr double KEY_Z = 44, KEY_X = 45, KEY_C = 46, KEY_V = 47, KEY_B = 48;
constexpr double KEY_N = 49, KEY_M = 50;
constexpr double KEY_COMMA = 51;
constexpr double KEY_PERIOD = 52;
constexpr double KEY_SLASH = 53;
constexpr double KEY_RSHIFT = 54;
constexpr double KEY_KP_MULTIPLY = 55;
constexpr double KEY_LALT = 56;
constexpr double KEY_SPACE = 57;
constexpr double KEY_CAPSLOCK = 58;
constexpr double KEY_F1 = 59, KEY_F2 = 60, KEY_F3 = 61, KEY_F4 = 62, KEY_F5 = 63;
constexpr double KEY_F6 = 64, KEY_F7 = 65, KEY_F8 = 66, KEY_F9 = 67, KEY_F10 = 68;
constexpr double KEY_NUMLOCK = 69;
constexpr double KEY_SCROLLLOCK = 70;
constexpr double KEY_KP7 = 71, KEY_KP8 = 72, KEY_KP9 = 73;
constexpr double KEY_KP_MINUS = 74;
constexpr double KEY_KP4 = 75, KEY_KP5 = 76, KEY_KP6 = 77;
constexpr double KEY_KP_PLUS = 78;
constexpr double KEY_KP1 = 79, KEY_KP2 = 80, KEY_KP3 = 81, KEY_KP0 = 82;
constexpr double KEY_KP_PERIOD = 83;
constexpr double KEY_BACKSLASH2 = 86;      // the second backslash key, beside left Shift on some keyboards
constexpr double KEY_F11 = 87, KEY_F12 = 88;
constexpr double KEY_F13 = 100, KEY_F14 = 101, KEY_F15 = 102;
constexpr double KEY_KP_EQUALS = 141;
constexpr double KEY_KP_ENTER = 156;
constexpr double KEY_RCTRL = 157;
constexpr double KEY_KP_DIVIDE = 181;
constexpr double KEY_SYSREQ = 183;
constexpr double KEY_RALT = 184;
constexpr double KEY_PAUSE = 197;
constexpr double KEY_HOME = 199;
constexpr double KEY_UP = 200;
constexpr double KEY_PAGEUP = 201;
constexpr double KEY_LEFT = 203;
constexpr double KEY_RIGHT = 205;
constexpr double KEY_END = 207;
constexpr double KEY_DOWN = 208;
constexpr double KEY_PAGEDOWN = 209;
constexpr double KEY_INSERT = 210;
constexpr double KEY_DELETE = 211;
constexpr double KEY_LMETA = 219;
constexpr double KEY_RMETA = 220;
constexpr double KEY_MENU = 221;

// ---- Keyboard
double KeyDown(double scancode);     // 1 while the key is held, else 0; scancode taken mod 256 (257 is Escape); no key or 255 gives 0
double CharOfScancode(double scancode); // character code of the scancode's key (8 Backspace, 10 Return), 0 for none or out of 0..254
DynString InKey();                   // one-character text of a newly pressed character key (upper case with Shift), else ""
void KeyWait();                      // waits for a character key; Escape or closing the window ends the program
void InputText(DynString& text, double x, double y); // line editor at (x, y) in pixels, edits text in place until Return
void InputNumber(double& value, double x, double y); // InputText on an empty text, then value = its number (0 for none)
DynString FileRequest();             // "File:" edited at (0, 100); the edited text, prefix included unless deleted

// ---- Mouse (positions in pixels from the top-left corner)
void GetMouseState(double& x, double& y, double& left, double& right); // stored position clamped to the screen; buttons 0/1
double MouseAxis(double n);          // 0 rel. x, 1 rel. y, 2 wheel (+1 up, -1 down), 3 left, 4 right, 5 middle; else 0
void ShowMouse(double on);           // system cursor visible when on is nonzero (hidden: position integrates relative motion)
void SetMousePosition(double x, double y); // sets the stored position; the system pointer does not move
void MouseWait();                    // waits until no button is down, then for a button press

// ---- Joysticks (j 0..9, buttons 0..31; anything else, or a joystick not present, gives 0)
double GetJoystickCount();           // opened joysticks, 0..10
double GetJoyX(double j);            // axis 0, -1..1
double GetJoyY(double j);            // axis 1, -1..1
double GetJoyZ(double j);            // axis 2, -1..1
double GetJoyRX(double j);           // axis 3, -1..1
double GetJoyRY(double j);           // axis 4, -1..1
double GetJoyRZ(double j);           // axis 5, -1..1
double GetJoyPovX(double j);         // first hat: -1 left, 1 right, else 0 (diagonals give 0)
double GetJoyPovY(double j);         // first hat: -1 up, 1 down, else 0 (diagonals give 0)
double GetJoyButton(double j, double b); // 1 while button b is down
DynString GetJoyName(double j);      // the device name, "" for a joystick not opened
void GetJoystickDigital(double& x, double& y, double& b1, double& b2); // joystick 0: directions -1/0/1 (beyond +-30000), buttons 0 and 1

// ---- Waiting
void WaitForInputChange();           // returns on any input, else after 8 polls 30 ms apart; Escape or close ends the program

// ---- Input recording and replay
// A recording holds every input read the commands make (keys, characters, mouse, joysticks, quit
// requests), every clock reading and the random generator's state, frame by frame; replaying it
// runs the program through the same frames to the same state. Network traffic is not recorded.
double StartInputRecording(const DynString& file); // 1 recording into file from here on; 0 when it cannot be created (message on stderr and in the log)
double PlayInputRecording(const DynString& file);  // 1 when input, clock and random state come from file from here on; 0 for a damaged or foreign file (message), live input goes on
void StopInputRecording();           // closes a recording, or ends a replay: live input, the clock going on from the replayed time

// ---- Sound effects (slots 0..127, larger ids taken as 127, negative ids refused)
double LoadSound(const DynString& file, double id, double buffers); // 1 if the file was found (an undecodable one empties the slot), else 0 and the slot is kept; buffers unused
double PlaySound(double id, double pan, double volume); // always 1; volume 0..1, pan ignored (centred); empty slot or 16 busy channels: nothing plays
void StopAllSounds();                // stops every channel

// ---- Music (one looping track)
void PlayMusic(const DynString& file); // name used as given (working directory, case-exact); failure: log "PLAYMUSIC:" and SDL's error, no music
void StopMusic();                    // stops and frees the track
double PlayMovie(const DynString& file); // not available here: logs a line, returns 0
double LoopMovie(const DynString& file); // not available here: logs a line, returns 0
