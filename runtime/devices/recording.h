// The input recorder's side of the device reads. Every read the commands make of the keyboard,
// the mouse and the joysticks hands its live value to one of the Sample functions: while
// recording the value is written into the frame's record, while replaying the recorded value
// comes back in its place, and otherwise the live value passes through after one test.
#pragma once

#include <cstdint>

#include "devices/state.h"

bool SampleKeyRecorded(int scancode, bool live);
bool SampleAnyKeyRecorded(bool live);
int SampleCharRecorded(int live);
MouseReading SampleMouseRecorded(bool fresh, const MouseReading& live);
JoystickState SampleJoystickRecorded(int j, const JoystickState& live);

inline bool SampleKey(int scancode, bool live) {
    return gDevices.recorder.mode == InputMode::Live ? live : SampleKeyRecorded(scancode, live);
}
inline bool SampleAnyKey(bool live) { return gDevices.recorder.mode == InputMode::Live ? live : SampleAnyKeyRecorded(live); }
inline int SampleChar(int live) { return gDevices.recorder.mode == InputMode::Live ? live : SampleCharRecorded(live); }
// fresh: the first read after ShowScreen (motion, position, wheel); else the buttons alone.
inline MouseReading SampleMouse(bool fresh, const MouseReading& live) {
    return gDevices.recorder.mode == InputMode::Live ? live : SampleMouseRecorded(fresh, live);
}
inline JoystickState SampleJoystick(int j, const JoystickState& live) {
    return gDevices.recorder.mode == InputMode::Live ? live : SampleJoystickRecorded(j, live);
}

// Quit requests seen by the window's PollQuit (registered with it as hooks).
bool QuitReplayed();         // replaying: the recorded run met a quit request at this point
void NoteQuitRequest();      // recording: a quit request came from the window's queue

// The joysticks of the recorded run, while replaying.
int ReplayedJoystickCount();              // -1 unless replaying
const char* ReplayedJoystickName(int j);  // j within the replayed count

// Live input and the clock as the program started: no recording, no replay, no clock offset.
void ResetInputRecorderForTesting();
