// Sound synthesis building blocks and the WAV encoder.
#include "audio.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {
constexpr double kPi = 3.14159265358979323846;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
}  // namespace

double NoiseSource::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (state_ / 4294967295.0) * 2.0 - 1.0;
}

Resonator::Resonator(double frequency, double decaySeconds) {
    double r = std::exp(-1.0 / (decaySeconds * kSampleRate));
    double w = 2 * kPi * frequency / kSampleRate;
    a1_ = 2 * r * std::cos(w);
    a2_ = -r * r;
    gain_ = 1 - r;
}

double Resonator::Process(double in) {
    double y = gain_ * in + a1_ * y1_ + a2_ * y2_;
    y2_ = y1_;
    y1_ = y;
    return y;
}

LowPass::LowPass(double cutoff) : k_(1 - std::exp(-2 * kPi * cutoff / kSampleRate)) {}

double LowPass::Process(double in) {
    y_ += k_ * (in - y_);
    return y_;
}

void Normalise(Pcm& pcm, double peak) {
    double most = 0;
    for (double s : pcm) most = std::max(most, std::fabs(s));
    if (most <= 0) return;
    for (double& s : pcm) s *= peak / most;
}

void FadeEdges(Pcm& pcm, double inMs, double outMs) {
    size_t in = static_cast<size_t>(inMs * kSampleRate / 1000), out = static_cast<size_t>(outMs * kSampleRate / 1000);
    for (size_t i = 0; i < in && i < pcm.size(); ++i) pcm[i] *= static_cast<double>(i) / in;
    for (size_t i = 0; i < out && i < pcm.size(); ++i) pcm[pcm.size() - 1 - i] *= static_cast<double>(i) / out;
}

std::vector<uint8_t> EncodeWav(const Pcm& mono) {
    const uint32_t dataBytes = static_cast<uint32_t>(mono.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutU32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, 1);  // mono
    PutU32(out, kSampleRate);
    PutU32(out, kSampleRate * 2);
    PutU16(out, 2);   // block align
    PutU16(out, 16);  // bits per sample
    PutTag(out, "data");
    PutU32(out, dataBytes);
    for (double s : mono) {
        long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        PutU16(out, static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
    return out;
}

}  // namespace assetgen
