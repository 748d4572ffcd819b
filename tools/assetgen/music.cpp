// The music loop and its MP3 encoding.
//
// A small sequencer: 16 bars at 120 beats per minute in A minor (Am F C G | Am F C E, twice),
// with kick, snare and hi-hat, a plucked bass, a soft pad, a sixteenth-note arpeggio and, in the
// second half, a lead melody. Every voice is rendered into a buffer one bar longer than the
// loop; the overhang (ringing tails) is folded back onto the start so the end flows into the
// beginning when the game loops the track.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "audio.h"

namespace assetgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5;  // seconds at 120 beats per minute
constexpr int kBars = 16;

double NoteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

struct Chord {
    int bass;       // MIDI note of the bass root
    int tones[3];   // the chord's three tones (around middle C)
};

// Am F C G Am F C E
const Chord kChords[8] = {{45, {57, 60, 64}}, {41, {57, 60, 65}}, {48, {55, 60, 64}}, {43, {55, 59, 62}},
                          {45, {57, 60, 64}}, {41, {57, 60, 65}}, {48, {55, 60, 64}}, {40, {56, 59, 64}}};

// Lead melody of the second half: (bar-relative start in sixteenths, length in sixteenths,
// MIDI note), one list per bar of the 8-bar phrase.
struct Note {
    int start, length, midi;
};
const std::vector<Note> kLead[8] = {
    {{0, 4, 76}, {4, 2, 74}, {6, 2, 72}, {8, 6, 69}},
    {{0, 4, 72}, {4, 4, 74}, {8, 8, 77}},
    {{0, 2, 76}, {2, 2, 74}, {4, 4, 72}, {8, 4, 67}, {12, 4, 72}},
    {{0, 6, 74}, {6, 2, 71}, {8, 8, 67}},
    {{0, 4, 76}, {4, 2, 79}, {6, 2, 76}, {8, 6, 81}},
    {{0, 4, 77}, {4, 4, 76}, {8, 8, 72}},
    {{0, 2, 72}, {2, 2, 74}, {4, 4, 76}, {8, 4, 79}, {12, 4, 76}},
    {{0, 6, 71}, {6, 2, 74}, {8, 8, 76}}};

class Mixer {
  public:
    explicit Mixer(size_t frames) : left_(frames, 0.0), right_(frames, 0.0) {}
    // Adds a voice starting at `start` seconds: fn(t) for t in 0..length, panned -1..1.
    template <typename Fn>
    void Add(double start, double length, double pan, Fn fn) {
        size_t first = static_cast<size_t>(start * kSampleRate);
        size_t count = static_cast<size_t>(length * kSampleRate);
        double gl = std::sqrt(0.5 * (1 - pan)), gr = std::sqrt(0.5 * (1 + pan));
        for (size_t i = 0; i < count && first + i < left_.size(); ++i) {
            double s = fn(static_cast<double>(i) / kSampleRate);
            left_[first + i] += s * gl;
            right_[first + i] += s * gr;
        }
    }
    Pcm& Left() { return left_; }
    Pcm& Right() { return right_; }

  private:
    Pcm left_, right_;
};

void Drums(Mixer& mix, double barStart, int bar) {
    for (int beat = 0; beat < 4; ++beat) {
        double t0 = barStart + beat * kBeat;
        double phase = 0;
        mix.Add(t0, 0.35, 0, [phase](double t) mutable {
            phase += 2 * kPi * (45 + 80 * std::exp(-t / 0.03)) / kSampleRate;
            return std::sin(phase) * std::exp(-t / 0.12) * 0.9;
        });
        if (beat % 2 == 1) {
            NoiseSource noise(900 + bar * 4 + beat);
            LowPass body(4500);
            mix.Add(t0, 0.25, 0.1, [noise, body](double t) mutable {
                double n = body.Process(noise.Next());
                return (n * 0.6 + std::sin(2 * kPi * 190 * t) * 0.35) * std::exp(-t / 0.07);
            });
        }
    }
    // Hi-hat on the off-beats, on every sixteenth in the second half.
    const int step = bar >= 8 ? 1 : 2;
    for (int s = 0; s < 16; s += step) {
        if (step == 2 && s % 4 == 0) continue;
        NoiseSource noise(2000 + bar * 16 + s);
        double prev = 0;
        double level = (s % 4 == 2) ? 0.22 : 0.12;
        mix.Add(barStart + s * kBeat / 4, 0.06, 0.45, [noise, prev, level](double t) mutable {
            double n = noise.Next();
            double high = n - prev;  // crude high-pass: the difference of successive samples
            prev = n;
            return high * std::exp(-t / 0.015) * level;
        });
    }
}

void Bass(Mixer& mix, double barStart, const Chord& chord) {
    const int pattern[8] = {0, 0, 12, 0, 0, 12, 0, 7};
    for (int e = 0; e < 8; ++e) {
        double f = NoteFrequency(chord.bass + pattern[e]);
        LowPass tone(600);
        mix.Add(barStart + e * kBeat / 2, 0.24, -0.05, [f, tone](double t) mutable {
            double saw = std::fmod(t * f, 1.0) * 2 - 1;
            return tone.Process(saw) * std::exp(-t / 0.16) * std::min(1.0, t / 0.003) * 0.55;
        });
    }
}

void Pad(Mixer& mix, double barStart, const Chord& chord) {
    const double length = 4 * kBeat;
    for (int i = 0; i < 3; ++i) {
        for (int side = -1; side <= 1; side += 2) {
            double f = NoteFrequency(chord.tones[i]) * (1 + side * 0.003);
            LowPass tone(900);
            mix.Add(barStart, length + 0.4, side * 0.6, [f, tone, length](double t) mutable {
                double saw = std::fmod(t * f, 1.0) * 2 - 1;
                double env = std::min(1.0, t / 0.25) * (t > length ? std::exp(-(t - length) / 0.12) : 1.0);
                return tone.Process(saw) * env * 0.07;
            });
        }
    }
}

void Arpeggio(Mixer& mix, double barStart, const Chord& chord, int bar) {
    const int order[4] = {0, 1, 2, 1};
    for (int s = 0; s < 16; ++s) {
        int midi = chord.tones[order[s % 4]] + 12 + ((s / 8) % 2 == 1 && bar % 2 == 1 ? 12 : 0);
        double f = NoteFrequency(midi);
        LowPass soften(2500);
        mix.Add(barStart + s * kBeat / 4, 0.2, -0.5, [f, soften](double t) mutable {
            double square = std::fmod(t * f, 1.0) < 0.5 ? 1.0 : -1.0;
            return soften.Process(square) * std::exp(-t / 0.05) * std::min(1.0, t / 0.002) * 0.08;
        });
    }
}

void Lead(Mixer& mix, double barStart, int phraseBar) {
    for (const Note& n : kLead[phraseBar]) {
        double f = NoteFrequency(n.midi);
        double length = n.length * kBeat / 4;
        double phase = 0;
        mix.Add(barStart + n.start * kBeat / 4, length + 0.25, 0.25, [f, length, phase](double t) mutable {
            double vibrato = 1 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t / 0.3);
            phase += f * vibrato / kSampleRate;
            double tri = 4 * std::fabs(std::fmod(phase, 1.0) - 0.5) - 1;
            double env = std::min(1.0, t / 0.01) * (t > length ? std::exp(-(t - length) / 0.06) : 1.0);
            return tri * env * 0.22;
        });
    }
}

}  // namespace

std::vector<int16_t> MakeMusic() {
    const size_t loopFrames = static_cast<size_t>(kMusicSeconds * kSampleRate);
    const size_t tailFrames = static_cast<size_t>(4 * kBeat * kSampleRate);
    Mixer mix(loopFrames + tailFrames);
    for (int bar = 0; bar < kBars; ++bar) {
        const double barStart = bar * 4 * kBeat;
        const Chord& chord = kChords[bar % 8];
        Drums(mix, barStart, bar);
        Bass(mix, barStart, chord);
        Pad(mix, barStart, chord);
        Arpeggio(mix, barStart, chord, bar);
        if (bar >= 8) Lead(mix, barStart, bar % 8);
    }
    // Fold the ringing overhang back onto the start: the loop is seamless.
    for (Pcm* channel : {&mix.Left(), &mix.Right()}) {
        for (size_t i = 0; i < tailFrames; ++i) (*channel)[i] += (*channel)[loopFrames + i];
        channel->resize(loopFrames);
    }
    double peak = 0;
    for (size_t i = 0; i < loopFrames; ++i)
        peak = std::max({peak, std::fabs(mix.Left()[i]), std::fabs(mix.Right()[i])});
    const double gain = peak > 0 ? 0.85 / peak : 1.0;
    std::vector<int16_t> out(loopFrames * 2);
    for (size_t i = 0; i < loopFrames; ++i) {
        out[2 * i] = static_cast<int16_t>(std::lround(mix.Left()[i] * gain * 32767));
        out[2 * i + 1] = static_cast<int16_t>(std::lround(mix.Right()[i] * gain * 32767));
    }
    return out;
}

std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& stereo) {
    lame_global_flags* lame = lame_init();
    if (!lame) throw std::runtime_error("LAME did not start");
    lame_set_in_samplerate(lame, kSampleRate);
    lame_set_out_samplerate(lame, kSampleRate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 0);  // a plain stream: no header that needs a second pass
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME rejected its settings");
    }
    const int frames = static_cast<int>(stereo.size() / 2);
    std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 7200);
    int written = lame_encode_buffer_interleaved(lame, const_cast<short*>(stereo.data()), frames, out.data(),
                                                 static_cast<int>(out.size()));
    if (written < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME could not encode the music");
    }
    int flushed = lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
    lame_close(lame);
    if (flushed < 0) throw std::runtime_error("LAME could not finish the music");
    out.resize(static_cast<size_t>(written + flushed));
    return out;
}

}  // namespace assetgen
