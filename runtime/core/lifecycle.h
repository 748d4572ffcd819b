// Start-up and shutdown steps that each subsystem provides to RuntimeStart and EndProgram.
// RuntimeStart and EndProgram are the only callers; they run them in a fixed order.
#pragma once

// Input devices and sound
void CreateInputDevices();   // initialises the joystick subsystem
void StartInputDevices();    // key table, mouse cursor hidden, joysticks opened
void DestroyInputDevices();  // cursor shown again, joysticks closed
void CreateAudioDevice();    // opens the audio device; a machine without one runs silent
void CreateSoundSlots();     // 128 empty sound slots
void FreeSoundSlots();       // last to first, then the table
void DestroyAudioDevice();   // closes the audio device
void StopMusicForExit();     // stops the music

// Network
void CreateNetGame();        // the network object, both connection ids -1
void ShutdownNetGame();      // stops the thread, says goodbye for every local player, frees it

// Window and 2D renderer
bool StartWindow(int width, int height, int depth, int fps); // opens the window and GL context
void SetWindowFullscreen(bool on);
void PresentStartFrame();    // clear, present one frame, whole-screen 2D state
void ShowLoadingScreen();    // fonts 0 (built-in, then "smalfont.bmp") and "Loading..."

// Per-frame steps of ShowScreen provided by other subsystems
void UpdateInputDevices();   // SDL_PumpEvents and mark the mouse sample stale
bool ScancodeHeld(int scancode); // the key-state test of KeyDown, by scancode
void EndShadowPass();        // closes an open stencil-shadow pass of the 3D engine
void EndInputFrame();        // the frame's last step: input recording closes the frame's record

// Quit requests seen by PollQuit, for input recording and replay
bool QuitReplayed();         // replaying: the recorded run met a quit request at this point
void NoteQuitRequest();      // recording: a quit request came from the window's queue
