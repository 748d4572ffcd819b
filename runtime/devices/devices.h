// Input and sound: keyboard, mouse, joysticks; sound effects and music.
//
// Input is polled: every read pumps SDL's events and samples the current state. Keys are
// named by PC set-1 scancodes (extended keys 0x80 + code): 1 Escape, 28 Return, 57 Space,
// 200/208/203/205 the arrows, ... Sounds are fired into 128 numbered slots and mixed on 16
// channels; music is one looping track. Every command is safe before RuntimeStart and after
// EndProgram: reads give 0 or the empty text, sound commands do nothing.
#pragma once

#include <cstdint>

#include "basics/dynstring.h"

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

// ---- Test seam: key state
// The key test reads a table indexed by SDL key symbol (kKeySymbolCount bytes, nonzero = held).
// It is SDL's own table unless a test puts its own in place, so game rules can be tested
// without a display; everything else (pumping, scancode mapping) runs as in production.
constexpr int kKeySymbolCount = 323;
void SetKeyStateSourceForTesting(const uint8_t* table); // null restores SDL's table
int ScancodeKeySymbol(int scancode); // SDL key symbol of a scancode, 255 for none (where a test sets its table byte)
