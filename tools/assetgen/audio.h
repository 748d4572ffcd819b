// Sound synthesis building blocks, the nine sound effects, the music loop, and the encoders:
// 16-bit PCM WAV and MP3 through LAME.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

constexpr int kSampleRate = 44100;

using Pcm = std::vector<double>;  // mono samples, -1..1

// A deterministic white-noise source (xorshift), -1..1.
class NoiseSource {
  public:
    explicit NoiseSource(uint32_t seed) : state_(seed ? seed : 1) {}
    double Next();

  private:
    uint32_t state_;
};

// Two-pole resonant band-pass filter (a ringing resonator) at a centre frequency.
class Resonator {
  public:
    Resonator(double frequency, double decaySeconds);
    double Process(double in);

  private:
    double a1_, a2_, gain_, y1_ = 0, y2_ = 0;
};

// One-pole low-pass filter.
class LowPass {
  public:
    explicit LowPass(double cutoff);
    double Process(double in);

  private:
    double k_, y_ = 0;
};

void Normalise(Pcm& pcm, double peak);  // scales so the largest magnitude is `peak`
// Short fades at both ends (milliseconds), so no sample starts or ends with a click.
void FadeEdges(Pcm& pcm, double inMs, double outMs);

std::vector<uint8_t> EncodeWav(const Pcm& mono);  // RIFF WAVE, PCM 16-bit, mono, 44100 Hz

// The sound effects, by file name: "click.wav", "cork_pop.wav", "clong_3.wav", "hit1.wav",
// "beep.wav", "zeiger.wav", "punch.wav", "reset.wav", "spiess.wav".
Pcm MakeSound(const std::string& name);
const std::vector<std::string>& SoundNames();

// The music: a loop of 16 bars at 120 beats per minute (32 s), stereo, interleaved left/right,
// whose end runs seamlessly into its start.
std::vector<int16_t> MakeMusic();
constexpr double kMusicSeconds = 32.0;
// Encodes interleaved stereo 44100 Hz samples to MP3 (128 kbit/s, joint stereo) with LAME.
std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& stereo);

}  // namespace assetgen
