// The nine sound effects, each synthesized from tones, noise and resonators.
//
// Several of them are started on every call of a game routine while something lasts (the
// pointer turning, the rod carrying, the spikes up), many times a second on a 16-channel
// mixer: those are kept very short and quiet so that the overlapping copies stay a texture
// rather than a roar.
#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>

#include "audio.h"

namespace assetgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Renders fn(t, i) for the given duration.
Pcm Render(double seconds, const std::function<double(double t)>& fn) {
    Pcm pcm(static_cast<size_t>(seconds * kSampleRate));
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = fn(static_cast<double>(i) / kSampleRate);
    return pcm;
}

// A sine whose frequency follows f(t), integrated sample by sample.
class Sweep {
  public:
    double Next(double frequency) {
        phase_ += 2 * kPi * frequency / kSampleRate;
        return std::sin(phase_);
    }

  private:
    double phase_ = 0;
};

Pcm Click() {
    // Menu confirm: a crisp, bright tick.
    NoiseSource noise(101);
    Resonator body(2600, 0.006);
    Pcm pcm = Render(0.035, [&](double t) {
        double strike = noise.Next() * std::exp(-t / 0.0015);
        return body.Process(strike) * 40 + strike * 0.3 + std::sin(2 * kPi * 1800 * t) * std::exp(-t / 0.004) * 0.4;
    });
    Normalise(pcm, 0.6);
    FadeEdges(pcm, 0.2, 5);
    return pcm;
}

Pcm CorkPop() {
    // Menu cursor: a hollow pop falling in pitch.
    NoiseSource noise(102);
    LowPass soft(3000);
    Sweep tone;
    Pcm pcm = Render(0.14, [&](double t) {
        double f = 350 + 900 * std::exp(-t / 0.012);
        double body = tone.Next(f) * (1 - std::exp(-t / 0.001)) * std::exp(-t / 0.03);
        double burst = soft.Process(noise.Next()) * std::exp(-t / 0.004) * 0.8;
        return body + burst;
    });
    Normalise(pcm, 0.6);
    FadeEdges(pcm, 0.2, 10);
    return pcm;
}

Pcm Clang() {
    // The tube at the end of its recoil: struck metal, inharmonic partials ringing out.
    NoiseSource noise(103);
    const double base = 410;
    const double ratios[] = {1.0, 1.006, 2.76, 5.40, 8.93};
    const double amps[] = {1.0, 0.7, 0.6, 0.35, 0.2};
    const double decays[] = {0.45, 0.4, 0.25, 0.14, 0.08};
    LowPass strikeFilter(5000);
    Pcm pcm = Render(0.9, [&](double t) {
        double s = 0;
        for (int k = 0; k < 5; ++k) s += amps[k] * std::sin(2 * kPi * base * ratios[k] * t) * std::exp(-t / decays[k]);
        s += strikeFilter.Process(noise.Next()) * std::exp(-t / 0.006) * 1.5;
        return s;
    });
    Normalise(pcm, 0.7);
    FadeEdges(pcm, 0.2, 60);
    return pcm;
}

Pcm Hit() {
    // Striker or ball against a ball: a hard, short clack with a little thump.
    NoiseSource noise(104);
    Resonator high(3100, 0.012), mid(1700, 0.02);
    Pcm pcm = Render(0.16, [&](double t) {
        double strike = noise.Next() * std::exp(-t / 0.001);
        double thump = std::sin(2 * kPi * (140 - 200 * t) * t) * std::exp(-t / 0.03) * 0.5;
        return high.Process(strike) * 30 + mid.Process(strike) * 40 + thump;
    });
    Normalise(pcm, 0.75);
    FadeEdges(pcm, 0.2, 15);
    return pcm;
}

Pcm Beep() {
    // A ball off a side wall: a short electronic beep.
    Pcm pcm = Render(0.09, [](double t) {
        double s = std::sin(2 * kPi * 1046.5 * t) + 0.25 * std::sin(2 * kPi * 2093 * t);
        double env = std::min(1.0, t / 0.004) * std::min(1.0, (0.09 - t) / 0.02);
        return s * env;
    });
    Normalise(pcm, 0.4);
    return pcm;
}

Pcm Ratchet() {
    // The pointer turning: one tiny ratchet tick (repeated while the key is held).
    NoiseSource noise(105);
    Resonator tooth(4200, 0.003);
    Pcm pcm = Render(0.018, [&](double t) {
        double strike = noise.Next() * std::exp(-t / 0.0006);
        return tooth.Process(strike) * 30 + std::sin(2 * kPi * 1300 * t) * std::exp(-t / 0.002) * 0.3;
    });
    Normalise(pcm, 0.25);
    FadeEdges(pcm, 0.1, 3);
    return pcm;
}

Pcm Punch() {
    // The pointer snapping to the centre: a dull punch.
    NoiseSource noise(106);
    LowPass muffle(900);
    Sweep tone;
    Pcm pcm = Render(0.25, [&](double t) {
        double body = tone.Next(45 + 110 * std::exp(-t / 0.025)) * std::exp(-t / 0.07);
        double slap = muffle.Process(noise.Next()) * std::exp(-t / 0.012) * 2.0;
        return body + slap;
    });
    Normalise(pcm, 0.8);
    FadeEdges(pcm, 0.3, 20);
    return pcm;
}

Pcm Whirr() {
    // The rod moving: a short stretch of electric motor whirr (repeated while it carries).
    LowPass tone(1400);
    Pcm pcm = Render(0.12, [&](double t) {
        double saw = std::fmod(t * 118, 1.0) * 2 - 1;
        double hum = std::sin(2 * kPi * 236 * t) * 0.5;
        double wobble = 0.75 + 0.25 * std::sin(2 * kPi * 38 * t);
        return tone.Process(saw + hum) * wobble;
    });
    Normalise(pcm, 0.22);
    FadeEdges(pcm, 12, 12);
    return pcm;
}

Pcm Spikes() {
    // The spikes up: a metallic scrape (repeated while they stand).
    NoiseSource noise(107);
    Resonator a(3300, 0.02), b(4700, 0.015), c(6100, 0.01);
    Pcm pcm = Render(0.08, [&](double t) {
        double n = noise.Next();
        double grit = 0.6 + 0.4 * std::sin(2 * kPi * 60 * t);
        return (a.Process(n) + b.Process(n) * 0.8 + c.Process(n) * 0.6) * grit;
    });
    Normalise(pcm, 0.22);
    FadeEdges(pcm, 6, 15);
    return pcm;
}

const std::map<std::string, Pcm (*)()>& Makers() {
    static const std::map<std::string, Pcm (*)()> makers = {
        {"click.wav", Click}, {"cork_pop.wav", CorkPop}, {"clong_3.wav", Clang},
        {"hit1.wav", Hit},    {"beep.wav", Beep},        {"zeiger.wav", Ratchet},
        {"punch.wav", Punch}, {"reset.wav", Whirr},      {"spiess.wav", Spikes}};
    return makers;
}

}  // namespace

const std::vector<std::string>& SoundNames() {
    static const std::vector<std::string> names = {"click.wav", "cork_pop.wav", "clong_3.wav",
                                                   "hit1.wav",  "beep.wav",     "zeiger.wav",
                                                   "punch.wav", "reset.wav",    "spiess.wav"};
    return names;
}

Pcm MakeSound(const std::string& name) {
    auto it = Makers().find(name);
    if (it == Makers().end()) throw std::runtime_error("no sound named " + name);
    return it->second();
}

}  // namespace assetgen
