// The steps of the input devices and sound that RuntimeStart, EndProgram and ShowScreen run, in
// the fixed order those keep (core/).
#pragma once

// Start-up and shutdown
void CreateInputDevices();   // initialises the joystick subsystem
void StartInputDevices();    // key table, mouse cursor hidden, joysticks opened
void DestroyInputDevices();  // cursor shown again, joysticks closed
void CreateAudioDevice();    // opens the audio device; a machine without one runs silent
void CreateSoundSlots();     // 128 empty sound slots
void FreeSoundSlots();       // last to first, then the table
void DestroyAudioDevice();   // closes the audio device
void StopMusicForExit();     // stops the music

// Each frame
void UpdateInputDevices();   // SDL_PumpEvents and mark the mouse sample stale
bool ScancodeHeld(int scancode); // the key-state test of KeyDown, by scancode
void EndInputFrame();        // the frame's last step: input recording closes the frame's record
