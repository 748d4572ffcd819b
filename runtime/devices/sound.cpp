// Sound effects and music through SDL_mixer: the audio device, 128 sound slots, the volume
// arithmetic of PlaySound and the one looping music track.
//
// SDL_mixer mixes on SDL's audio thread and locks its own channel table; every command here
// runs on the main thread and returns at once.
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "base/openfile.h"
#include "devices/devices_local.h"
#include "devices/lifecycle.h"
#include "devices/state.h"
#include "files/lookup.h"
#include "voxa/devices.h"

namespace {

constexpr int kMixChannels = 16;

// Slot of a program's id: ids above 127 are 127; negative ids (and not-a-number, which
// std::min passes on) are refused with -1, so they never index the table.
int SlotOf(double id) {
    int32_t slot = -1;
    IdFrom(std::min(id, double(kSoundSlots - 1)), kSoundSlots, slot);
    return slot;
}

uint32_t ReadLE32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

// SDL's WAV reader allocates every chunk up to the sample data by its declared length and
// builds a conversion chain from the format fields. A RIFF file is therefore handed to it only
// when every such chunk lies inside the file and the format is one it converts safely (PCM or
// ADPCM, 1 or 2 channels, 8 to 192 kHz). Other files go to SDL_mixer as they are: it reads its
// other formats from their own headers or refuses them. The check reads the very file that is
// then loaded (one open for both), so nothing put at the path in between gets past it.
bool RiffLooksSound(FILE* f) {
    bool ok = true;
    unsigned char head[12];
    if (std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0) {
        std::fseek(f, 0, SEEK_END);
        long size = std::ftell(f);
        long pos = 12;
        bool sawFormat = false;
        ok = false;
        unsigned char chunk[24];
        while (pos + 8 <= size && std::fseek(f, pos, SEEK_SET) == 0 && std::fread(chunk, 1, 8, f) == 8) {
            uint32_t length = ReadLE32(chunk + 4);
            if (length > static_cast<uint64_t>(size - pos - 8)) break;
            if (std::memcmp(chunk, "fmt ", 4) == 0) {
                if (length < 16 || std::fread(chunk + 8, 1, 16, f) != 16) break;
                unsigned tag = chunk[8] | (chunk[9] << 8);
                unsigned channels = chunk[10] | (chunk[11] << 8);
                uint32_t rate = ReadLE32(chunk + 12);
                sawFormat = (tag == 1 || tag == 2 || tag == 0x11) && channels >= 1 && channels <= 2 &&
                            rate >= 8000 && rate <= 192000;
                if (!sawFormat) break;
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                ok = sawFormat;
                break;
            }
            pos += 8 + static_cast<long>(length);
        }
    }
    return ok && std::fseek(f, 0, SEEK_SET) == 0;
}

} // namespace

// ---- Audio device and slots

void CreateAudioDevice() {
    gDevices.sound.opened = 0;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096) != 0) return; // no device: the program runs silent
    Mix_AllocateChannels(kMixChannels);
    gDevices.sound.opened = 1;
}

void DestroyAudioDevice() {
    if (gDevices.sound.opened) Mix_CloseAudio();
    gDevices.sound.opened = 0;
}

void CreateSoundSlots() { gDevices.sound.slots.fill(nullptr); }

void FreeSoundSlots() {
    for (int i = kSoundSlots - 1; i >= 0; --i) {
        if (gDevices.sound.slots[i] != nullptr) Mix_FreeChunk(gDevices.sound.slots[i]);
        gDevices.sound.slots[i] = nullptr;
    }
}

// ---- Sound effects

double LoadSound(const DynString& file, double id, double) {
    DynString path;
    if (!ResolveFile(file.CStr(), path)) return 0;
    int slot = SlotOf(id);
    if (slot < 0) return 0;
    if (gDevices.sound.slots[slot] != nullptr) Mix_FreeChunk(gDevices.sound.slots[slot]);
    gDevices.sound.slots[slot] = nullptr;
    // Regular files only, opened without waiting: a FIFO at the path would block the load.
    FILE* f = OpenNoWait(path.CStr(), "rb");
    if (f != nullptr && RiffLooksSound(f)) {
        if (SDL_RWops* rw = SDL_RWFromFP(f, 1)) { // the stream now closes the file
            f = nullptr;
            gDevices.sound.slots[slot] = Mix_LoadWAV_RW(rw, 1);
        }
    }
    if (f != nullptr) std::fclose(f);
    return 1;
}

double PlaySound(double id, double, double volume) {
    // The pan is accepted for compatibility; samples always play centred.
    double scaled = std::fmin(100.0 * volume, 100.0);
    int v = TruncOr(scaled, 0);
    if (v < 0) v = 0;
    int slot = SlotOf(id);
    if (!gDevices.sound.opened || slot < 0 || gDevices.sound.slots[slot] == nullptr) return 1;
    Mix_Chunk* chunk = gDevices.sound.slots[slot];
    Mix_VolumeChunk(chunk, v * MIX_MAX_VOLUME / 100);
    Mix_PlayChannelTimed(-1, chunk, 0, -1); // refused when all 16 channels are busy
    return 1;
}

// SDL_mixer keeps its channel count after the device closes but frees the channels, so its
// channel calls are made only while the device is open.
void StopAllSounds() {
    if (gDevices.sound.opened) Mix_HaltChannel(-1);
}

// ---- Music

void StopMusic() {
    if (gDevices.sound.currentMusic != nullptr) Mix_FreeMusic(gDevices.sound.currentMusic);
    gDevices.sound.currentMusic = nullptr;
}

void StopMusicForExit() { StopMusic(); }

namespace {

// The decoder SDL_mixer would pick for the name's extension; MUS_NONE lets it look at the
// file's first bytes instead.
Mix_MusicType MusicTypeOf(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) return MUS_NONE;
    const char* ext = dot + 1;
    const std::pair<const char*, Mix_MusicType> types[] = {
        {"WAV", MUS_WAV}, {"MID", MUS_MID}, {"MIDI", MUS_MID}, {"KAR", MUS_MID}, {"OGG", MUS_OGG},
        {"FLAC", MUS_FLAC}, {"MPG", MUS_MP3}, {"MPEG", MUS_MP3}, {"MP3", MUS_MP3}, {"MAD", MUS_MP3},
    };
    for (const auto& [known, type] : types)
        if (strcasecmp(ext, known) == 0) return type;
    return MUS_NONE;
}

} // namespace

void PlayMusic(const DynString& file) {
    StopMusic();
    // Only a regular file, opened by an open that never waits (a FIFO would wait for a writer),
    // and that very open file is what SDL_mixer decodes: a name it opened again could meanwhile
    // name something else.
    if (FILE* f = OpenNoWait(file.CStr(), "rb")) {
        if (SDL_RWops* rw = SDL_RWFromFP(f, 1)) // the stream now closes the file
            gDevices.sound.currentMusic = Mix_LoadMUSType_RW(rw, MusicTypeOf(file.CStr()), 1);
        else
            std::fclose(f);
    } else {
        SDL_SetError("Couldn't open '%s'", file.CStr());
    }
    if (gDevices.sound.currentMusic == nullptr) {
        WriteErrorLog("PLAYMUSIC:");
        WriteErrorLog(SDL_GetError());
        return;
    }
    Mix_PlayMusic(gDevices.sound.currentMusic, -1);
    Mix_VolumeMusic(MIX_MAX_VOLUME);
}

// ---- Movies

double PlayMovie(const DynString&) {
    WriteErrorLog("PLAYMOVIE + LOOPMOVIE only on Win32");
    return 0;
}

double LoopMovie(const DynString& file) { return PlayMovie(file); }
