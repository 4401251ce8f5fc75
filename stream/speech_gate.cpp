#include "speech_gate.h"

#include <algorithm>
#include <cmath>

#include "stream_settings.h"

namespace ssl_stream {

namespace {
// Blocks long enough to even out a steady noise, a floor long enough to take in the pauses
// between a talker's words.
constexpr double kBlockS = 0.064;
constexpr double kFloorSpanS = 1.5;
// A frame must rise this far above the floor (3 dB), well beyond a steady noise's own wobble.
constexpr double kRise = 2.0;

int frames_in(double seconds, int sample_rate) {
    return std::max(1, static_cast<int>(std::lround(seconds * sample_rate / kFrameSamples)));
}
} // namespace

SpeechGate::SpeechGate(int channels, int sample_rate)
    : channels_(channels), block_frames_(frames_in(kBlockS, sample_rate)),
      blocks_kept_(static_cast<std::size_t>(std::max(1, frames_in(kFloorSpanS, sample_rate) / block_frames_))) {}

bool SpeechGate::above_floor(const std::int16_t *frame) {
    // Microphone 0 alone: every microphone hears the room's level alike.
    std::int64_t sum = 0;
    for (int i = 0; i < kFrameSamples * channels_; i += channels_) sum += frame[i] * frame[i];
    const auto energy = static_cast<double>(sum);
    block_energy_ += energy;
    if (++block_filled_ == block_frames_) {
        block_means_.push_back(block_energy_ / block_frames_);
        if (block_means_.size() > blocks_kept_) block_means_.pop_front();
        block_energy_ = 0;
        block_filled_ = 0;
    }
    if (block_means_.empty()) return false;
    const double floor = *std::min_element(block_means_.begin(), block_means_.end());
    return energy > kRise * floor;
}

} // namespace ssl_stream
