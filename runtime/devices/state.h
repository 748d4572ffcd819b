// The state of the devices folder (input, mouse, keyboard, joysticks, sound, recording), in one
// object.
//
// Reset: the input-devices object and the sound slots live from RuntimeStart to EndProgram
// (CreateInputDevices .. DestroyInputDevices, CreateAudioDevice and CreateSoundSlots ..
// FreeSoundSlots and DestroyAudioDevice); the wheel watch from start-up to shutdown. The
// commands' memory of their last reads, the test key table and the recorder are never reset as
// a whole: the recorder goes back to live input when its recording stops or its replay ends,
// and tests put it back with ResetInputRecorderForTesting.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "devices/devices_local.h"
#include "devices/recordformat.h"

constexpr int kSoundSlots = 128;

enum class InputMode : uint8_t { Live, Recording, Replaying };

struct SoundState {
    uint8_t opened = 0;                           // 1 while the audio device is open
    std::array<Mix_Chunk*, kSoundSlots> slots{};  // loaded samples; null = empty slot
    Mix_Music* currentMusic = nullptr;            // the playing track, or null
};

struct InputRecorderState {
    InputMode mode = InputMode::Live;  // live input, or recording into or replaying from file
    vxr::RecordWriter writer;          // the recording being written
    vxr::RecordReader reader;          // the recording being replayed, checked whole
    std::string file;                  // the file being recorded or replayed, for messages
    uint32_t clockOffset = 0;          // added to the tick source once a replay has ended
    uint32_t lastReplayedTick = 0;     // the last clock reading the replay handed out
};

struct DevicesState {
    InputDevices* input = nullptr;           // owned; lives from CreateInputDevices to DestroyInputDevices
    InputMemory memory;                      // what the commands remember from one read to the next
    std::atomic<int> pendingWheel{0};        // +1/-1: the latest wheel press since the last fresh sample (set by SDL's event filter)
    SDL_EventFilter chainedFilter = nullptr; // a filter that was in place before the wheel watch
    const uint8_t* testKeyState = nullptr;   // a test's key table, or null for SDL's
    SoundState sound;                        // the audio device, sound slots and music
    InputRecorderState recorder;             // the input recording or replay
};

extern DevicesState gDevices;
