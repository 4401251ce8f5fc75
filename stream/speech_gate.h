// Tells frames that rise above the room's steady sound from those that do not. A fan or a hum
// points the delays one way frame after frame, as a talker does, but it never rises above
// itself: the floor is the quietest stretch heard lately.
#ifndef SSL_STREAM_SPEECH_GATE_H
#define SSL_STREAM_SPEECH_GATE_H

#include <cstdint>
#include <deque>

namespace ssl_stream {

enum class Loudness {
    at_floor, // no louder than the quietest stretch of a long while: the room itself
    between,
    above,    // above the floor of the last few seconds: someone speaks
};

class SpeechGate {
public:
    SpeechGate(int channels, int sample_rate);

    // One interleaved frame.
    Loudness loudness(const std::int16_t *frame);

private:
    int channels_;
    int block_frames_;
    std::size_t recent_blocks_;
    std::size_t room_blocks_;
    std::int64_t block_energy_ = 0;
    int block_filled_ = 0;
    std::deque<double> block_means_; // the latest blocks' mean frame energies, newest last
    double recent_floor_ = 0;
    double room_floor_ = 0;
};

} // namespace ssl_stream

#endif
