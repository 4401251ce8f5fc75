#include "speech_gate.h"

#include <algorithm>
#include <cmath>

#include "stream_settings.h"

namespace ssl_stream {

namespace {
// Blocks long enough to even out a steady noise; a recent floor long enough to take in a pause
// of a talker who goes on and on, and the room's floor long enough to outlast any one turn.
constexpr double kBlockS = 0.064;
constexpr double kRecentFloorS = 4;
constexpr double kRoomFloorS = 20;
// A frame must rise this far above the floor (3 dB), well beyond a steady noise's own wobble.
constexpr double kRise = 2.0;

std::size_t blocks_in(double seconds, int block_frames, int sample_rate) {
    return static_cast<std::size_t>(std::max(1L, std::lround(seconds * sample_rate / kFrameSamples / block_frames)));
}
} // namespace

SpeechGate::SpeechGate(int channels, int sample_rate)
    : channels_(channels),
      block_frames_(std::max(1, static_cast<int>(std::lround(kBlockS * sample_rate / kFrameSamples)))),
      recent_blocks_(blocks_in(kRecentFloorS, block_frames_, sample_rate)),
      room_blocks_(blocks_in(kRoomFloorS, block_frames_, sample_rate)) {}

Loudness SpeechGate::loudness(const std::int16_t *frame) {
    // Microphone 0 alone: every microphone hears the room's level alike.
    std::int64_t sum = 0;
    for (int i = 0; i < kFrameSamples * channels_; i += channels_) sum += frame[i] * frame[i];
    block_energy_ += sum;
    if (++block_filled_ == block_frames_) {
        block_means_.push_back(static_cast<double>(block_energy_) / block_frames_);
        if (block_means_.size() > room_blocks_) block_means_.pop_front();
        const auto recent = std::min(recent_blocks_, block_means_.size());
        recent_floor_ = *std::min_element(block_means_.end() - static_cast<std::ptrdiff_t>(recent), block_means_.end());
        room_floor_ = *std::min_element(block_means_.begin(), block_means_.end());
        block_energy_ = 0;
        block_filled_ = 0;
    }
    if (block_means_.empty()) return Loudness::between;
    const auto energy = static_cast<double>(sum);
    if (energy > kRise * recent_floor_) return Loudness::above;
    return energy <= kRise * room_floor_ ? Loudness::at_floor : Loudness::between;
}

} // namespace ssl_stream
