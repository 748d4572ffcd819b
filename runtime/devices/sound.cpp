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
#include <vector>

#include "base/errors.h"
#include "base/openfile.h"
#include "devices/devices_local.h"
#include "devices/lifecycle.h"
#include "devices/recordformat.h"
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

using vxr::GetU16; // little-endian, as the input recordings are
using vxr::GetU32;

uint32_t ReadBE32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// SDL's converter takes a sample to the device's 44.1 kHz in halving or doubling steps kept in
// a fixed table; a rate far from the device's overruns that table and crashes the load (a
// channel count of 0 does the same). 8 to 192 kHz stays well inside it.
bool RateConverts(uint32_t rate) { return rate >= 8000 && rate <= 192000; }

// SDL's WAV reader allocates every chunk up to the sample data by its declared length and
// builds a conversion chain from the format fields. A RIFF file is therefore handed to it only
// when every such chunk lies inside the file and the format is one it converts safely (PCM or
// ADPCM, 1 or 2 channels, a rate that converts).
bool RiffLooksSound(FILE* f, long size) {
    long pos = 12;
    bool sawFormat = false;
    unsigned char chunk[24];
    while (pos + 8 <= size && std::fseek(f, pos, SEEK_SET) == 0 && std::fread(chunk, 1, 8, f) == 8) {
        uint32_t length = GetU32(chunk + 4);
        if (length > static_cast<uint64_t>(size - pos - 8)) break;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || std::fread(chunk + 8, 1, 16, f) != 16) break;
            unsigned tag = GetU16(chunk + 8);
            unsigned channels = GetU16(chunk + 10);
            sawFormat = (tag == 1 || tag == 2 || tag == 0x11) && channels >= 1 && channels <= 2 &&
                        RateConverts(GetU32(chunk + 12));
            if (!sawFormat) break;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            return sawFormat;
        }
        pos += 8 + static_cast<long>(length);
    }
    return false;
}

// A header that a decoder of SDL_mixer reads its rate and channel count from: its tag, the bytes
// from the tag's start that the check reads, and the check.
struct RateHeader {
    const char* tag;
    size_t length;
    bool (*converts)(const unsigned char* at);
};

// AIFF "COMM": channels (16 bits, of which SDL keeps the low byte) and the rate as an 80-bit
// float. Only a normalised positive float is taken, so its value is the one any reader computes.
bool AiffCommonConverts(const unsigned char* at) {
    const unsigned exponent = (at[16] << 8) | at[17];
    if (at[9] == 0 || exponent < 16383 || exponent > 16383 + 31 || (at[18] & 0x80) == 0) return false;
    return RateConverts(ReadBE32(at + 18) >> (31 - (exponent - 16383)));
}
bool SvxHeaderConverts(const unsigned char* at) { return RateConverts((at[20] << 8) | at[21]); }
bool VorbisHeaderConverts(const unsigned char* at) { return at[11] != 0 && RateConverts(GetU32(at + 12)); }

constexpr RateHeader kAiffHeaders[] = {{"COMM", 26, AiffCommonConverts}, {"VHDR", 22, SvxHeaderConverts}};
constexpr RateHeader kVorbisHeaders[] = {{"\x01vorbis", 16, VorbisHeaderConverts}};

// Every occurrence of every tag anywhere in the file passes its check, and none is cut off by
// the file's end; looking everywhere, not where a decoder would walk to, leaves no way around
// the check. The file is read in blocks that overlap by the longest header.
template <size_t N>
bool EveryRateHeaderConverts(FILE* f, const RateHeader (&headers)[N]) {
    constexpr size_t kBlock = 1 << 16, kKeep = 32;  // kKeep: at least every header's length
    std::vector<unsigned char> buf(kBlock + kKeep);
    size_t have = 0;
    bool end = std::fseek(f, 0, SEEK_SET) != 0;
    while (!end) {
        const size_t got = std::fread(buf.data() + have, 1, kBlock, f);
        have += got;
        end = got < kBlock;
        const size_t checked = end ? have : have - kKeep;
        for (const RateHeader& h : headers) {
            const size_t tagLength = std::strlen(h.tag);
            for (size_t p = 0; p < checked; ++p) {
                const void* next = std::memchr(&buf[p], h.tag[0], checked - p);
                if (next == nullptr) break;
                p = static_cast<const unsigned char*>(next) - buf.data();
                if (p + tagLength > have || std::memcmp(&buf[p], h.tag, tagLength) != 0) continue;
                if (p + h.length > have || !h.converts(&buf[p])) return false;
            }
        }
        std::memmove(buf.data(), buf.data() + checked, have - checked);
        have -= checked;
    }
    return true;
}

// A Creative voice file, walked block by block from the offset in its header as SDL_mixer walks
// it. Sound data (1), its continuation (2) and the end mark (0) pass: the rate code of a data
// block gives 3906 Hz to 1 MHz, all of which convert. The extended (8) and the newer data
// blocks (9) carry rates and channel counts of their own and are checked. Other blocks are
// refused, because the decoder does not step over every one of them by its declared length.
bool VoiceFileConverts(FILE* f, long size) {
    unsigned char b[16];
    if (std::fseek(f, 20, SEEK_SET) != 0 || std::fread(b, 1, 2, f) != 2) return false;
    long pos = GetU16(b);
    while (pos < size && std::fseek(f, pos, SEEK_SET) == 0 && std::fread(b, 1, 1, f) == 1 && b[0] != 0) {
        const size_t n = std::fread(b + 1, 1, 15, f);
        if (n < 3) return true;  // where the decoder ends too
        const uint32_t length = b[1] | (b[2] << 8) | (b[3] << 16);
        const int extendedRate = 256000000 / (65536 - GetU16(b + 4)) / (b[7] ? 2 : 1);
        if (b[0] == 1 ? length < 2
            : b[0] == 8 ? length != 4 || n < 7 || !RateConverts(extendedRate)
            : b[0] == 9 ? length < 12 || n < 9 || b[9] == 0 || !RateConverts(GetU32(b + 4))
            : b[0] != 2) {
            return false;
        }
        pos += 4 + long(length);
    }
    return true;
}

// Whether SDL_mixer may be given the file: its sample loader picks a decoder by the first four
// bytes, and each decoder's rate and channel count reach SDL's converter unchecked. FLAC is
// refused: its reader takes the channel count and sample size of the stream's header for those
// of every frame, so frames that differ from the header crash it, and frames cannot be checked
// short of decoding them. Files of no such kind pass: SDL_mixer refuses them. The check reads
// the very file that is then loaded (one open for both), so nothing put at the path in between
// gets past it.
bool SampleConverts(FILE* f) {
    unsigned char head[4];
    const bool sized = std::fread(head, 1, 4, f) == 4 && std::fseek(f, 0, SEEK_END) == 0;
    const long size = sized ? std::ftell(f) : 0;
    const auto is = [&head, sized](const char* magic) { return sized && std::memcmp(head, magic, 4) == 0; };
    const bool ok = is("RIFF")   ? RiffLooksSound(f, size)
                    : is("FORM") ? EveryRateHeaderConverts(f, kAiffHeaders)
                    : is("OggS") ? EveryRateHeaderConverts(f, kVorbisHeaders)
                    : is("Crea") ? VoiceFileConverts(f, size)
                                 : !is("fLaC");
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
    // The lookup found the name without regard to case and hands it back as given, so it is
    // opened the same way. Regular files only, opened without waiting: a FIFO would block.
    FILE* f = OpenFileNoCase(path.CStr(), "rb");
    if (f != nullptr && SampleConverts(f)) {
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

// A WAV track as SDL_mixer's WAV player reads it: after any "fact" and "LIST" chunks comes
// "fmt " (any other chunk there, a missing "fmt " included, makes it free the chunk twice),
// a PCM format of a rate that converts, and further on a "data" chunk (without one it looks
// for it for ever). Every chunk before "data" lies inside the file; "data" may run past its end.
bool WaveTrackPlays(FILE* f) {
    unsigned char chunk[24];
    const long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : 0;
    bool sawFormat = false;
    long pos = 12;
    while (pos + 8 <= size && std::fseek(f, pos, SEEK_SET) == 0 && std::fread(chunk, 1, 8, f) == 8) {
        const uint32_t length = GetU32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) return sawFormat;
        if (length > static_cast<uint64_t>(size - pos - 8)) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !sawFormat) {
            if (length < 16 || std::fread(chunk + 8, 1, 16, f) != 16) return false;
            sawFormat = chunk[8] == 1 && chunk[9] == 0 && chunk[10] != 0 && RateConverts(GetU32(chunk + 12));
            if (!sawFormat) return false;
        } else if (!sawFormat && std::memcmp(chunk, "fact", 4) != 0 && std::memcmp(chunk, "LIST", 4) != 0) {
            return false;
        }
        pos += 8 + static_cast<long>(length);
    }
    return false;
}

// The frames of an MP3 track as SDL_mixer's MP3 player meets them, one after the other from the
// first header its decoder finds: the decoder searches the bytes for a header whose frame is
// followed by the sync bits of another, and from there takes each frame where the last one
// ended, searching again where no header is. The player sets its converter up from the first
// frame and converts every frame's samples in a fixed buffer of kMp3FrameBuffer bytes, so a
// frame whose samples, grown by the converter, pass that buffer overruns it: the frames at 8
// and 11.025 kHz (grown eightfold on their way to 44.1 kHz stereo) and a frame of more channels
// or samples than the first one's. The track passes when the most bytes of any frame, grown by
// the most the converter multiplies any frame's format by, fit. A free-format frame (no bitrate
// given) in the stream has no length to step by and refuses the track; one met while searching
// is no header (the marker of a picture in a tag looks like one).
class Mp3Frames {
public:
    explicit Mp3Frames(FILE* f) : f_(f) { size_ = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : 0; }

    bool Fit(int deviceRate, Uint16 deviceFormat, int deviceChannels) {
        long pos = 0;
        bool synced = false;
        long mostBytes = 0;
        int mostGrowth = 0, lastRate = 0, lastChannels = 0;
        for (Header h; pos + 4 <= size_;) {
            if (!synced && !Find(pos)) break;
            if (!Read(pos, h)) {
                if (h.freeFormat && synced) return false;
                synced = false;
                ++pos; // lost: search again from the next byte
                continue;
            }
            if (!synced) {
                if (!SyncAt(pos + h.length)) {
                    ++pos;
                    continue;
                }
                synced = true;
            }
            if (h.rate != lastRate || h.channels != lastChannels) {
                SDL_AudioCVT cvt;
                if (SDL_BuildAudioCVT(&cvt, AUDIO_S16, Uint8(h.channels), h.rate, deviceFormat, Uint8(deviceChannels), deviceRate) < 0) return false;
                mostGrowth = std::max(mostGrowth, cvt.len_mult);
                lastRate = h.rate;
                lastChannels = h.channels;
            }
            mostBytes = std::max(mostBytes, long(h.samples) * h.channels * 2);
            pos += h.length;
        }
        return mostBytes * mostGrowth <= kMp3FrameBuffer;
    }

private:
    static constexpr long kMp3FrameBuffer = 8192;
    struct Header {
        int rate = 0, channels = 0, samples = 0;
        long length = 0;
        bool freeFormat = false;
    };

    int ByteAt(long pos) {
        if (pos < blockStart_ || pos >= blockStart_ + long(block_.size())) {
            block_.resize(1 << 16);
            blockStart_ = pos;
            const size_t got = std::fseek(f_, pos, SEEK_SET) == 0 ? std::fread(block_.data(), 1, block_.size(), f_) : 0;
            block_.resize(got);
            if (got == 0) return -1;
        }
        return block_[size_t(pos - blockStart_)];
    }
    bool SyncAt(long pos) { return ByteAt(pos) == 0xFF && (ByteAt(pos + 1) & 0xE0) == 0xE0; }
    bool Find(long& pos) {
        for (; pos + 4 <= size_; ++pos)
            if (SyncAt(pos)) return true;
        return false;
    }
    // The header at pos, as the decoder reads it; false when it is none (or of free format).
    bool Read(long pos, Header& h) {
        h = Header();
        if (!SyncAt(pos)) return false;
        const int b1 = ByteAt(pos + 1), b2 = ByteAt(pos + 2), b3 = ByteAt(pos + 3);
        if (b3 < 0) return false;
        const bool mpeg25 = (b1 & 0x10) == 0, lowRates = (b1 & 0x08) == 0;
        const int layer = 4 - ((b1 >> 1) & 3), bitrateIndex = b2 >> 4, rateIndex = (b2 >> 2) & 3;
        if ((mpeg25 && !lowRates) || layer == 4 || bitrateIndex == 15 || rateIndex == 3) return false;
        if (bitrateIndex == 0) {
            h.freeFormat = true;
            return false;
        }
        static const int kBitrates[2][3][15] = {
            {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
             {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
             {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
            {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
             {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
             {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
        static const int kRates[3] = {44100, 48000, 32000};
        const long bitrate = kBitrates[lowRates][layer - 1][bitrateIndex] * 1000L;
        h.rate = kRates[rateIndex] >> (lowRates ? (mpeg25 ? 2 : 1) : 0);
        h.channels = (b3 >> 6) == 3 ? 1 : 2;
        h.samples = layer == 1 ? 384 : (layer == 3 && lowRates) ? 576 : 1152;
        const long padding = (b2 >> 1) & 1;
        h.length = layer == 1 ? (12 * bitrate / h.rate + padding) * 4 : (layer == 3 && lowRates ? 72 : 144) * bitrate / h.rate + padding;
        return h.length > 0;
    }

    FILE* f_;
    long size_ = 0;
    std::vector<unsigned char> block_;
    long blockStart_ = 0;
};

// Whether SDL_mixer may be given the file as music of the type (MUS_NONE: it picks one by the
// first bytes). The WAV, AIFF and Ogg Vorbis players convert with SDL's converter as the sample
// loader does, so their rates and channel counts are checked the same way, and a WAV track's
// chunks as its player walks them. FLAC is refused (see SampleConverts); its player also spins
// for good in the mixing thread, with the audio locked, on every FLAC but 16-bit stereo. Leaves
// the file at its start.
bool MusicConverts(FILE* f, Mix_MusicType type) {
    unsigned char h[4] = {};
    const size_t got = std::fread(h, 1, sizeof h, f);
    const auto is = [&h, got](const char* magic) { return got == 4 && std::memcmp(h, magic, 4) == 0; };
    bool ok = true;
    const bool mp3 = type == MUS_MP3 || (type == MUS_NONE && (std::memcmp(h, "ID3", 3) == 0 || (h[0] == 0xFF && (h[1] & 0xE0) == 0xE0)));
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (type == MUS_FLAC || (type == MUS_NONE && is("fLaC"))) {
        ok = false;
    } else if (mp3) {
        // The name's type picks the MP3 player whatever the bytes are, so this comes first.
        // Without an audio device SDL_mixer refuses every track itself.
        ok = Mix_QuerySpec(&rate, &format, &channels) == 0 || Mp3Frames(f).Fit(rate, format, channels);
    } else if (type == MUS_OGG || is("OggS")) {
        ok = EveryRateHeaderConverts(f, kVorbisHeaders);
    } else if (is("RIFF")) {
        ok = WaveTrackPlays(f);
    } else if (is("FORM")) {
        ok = EveryRateHeaderConverts(f, kAiffHeaders);
    }
    return ok && std::fseek(f, 0, SEEK_SET) == 0;
}

} // namespace

void PlayMusic(const DynString& file) {
    StopMusic();
    // Only a regular file, opened by an open that never waits (a FIFO would wait for a writer),
    // and that very open file is what SDL_mixer decodes: a name it opened again could meanwhile
    // name something else.
    const Mix_MusicType type = MusicTypeOf(file.CStr());
    if (FILE* f = OpenNoWait(file.CStr(), "rb")) {
        if (!MusicConverts(f, type)) {
            std::fclose(f);
            SDL_SetError("'%s' has a format or sample rate that cannot be played", file.CStr());
        } else if (SDL_RWops* rw = SDL_RWFromFP(f, 1)) { // the stream now closes the file
            gDevices.sound.currentMusic = Mix_LoadMUSType_RW(rw, type, 1);
        } else {
            std::fclose(f);
        }
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
