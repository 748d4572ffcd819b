// Start-up and shutdown steps of input and sound, until those stores exist.
#include "core/lifecycle.h"

void CreateInputDevices() {}
void StartInputDevices() {}
void DestroyInputDevices() {}
void CreateAudioDevice() {}
void CreateSoundSlots() {}
void FreeSoundSlots() {}
void DestroyAudioDevice() {}
void StopMusicForExit() {}
void UpdateInputDevices() {}
bool ScancodeHeld(int) { return false; }
