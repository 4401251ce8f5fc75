// Turns a mono source into what each microphone hears, given how the sound arrives over time.
#ifndef TOOLS_RENDERER_H
#define TOOLS_RENDERER_H

#include <cstdint>
#include <functional>
#include <vector>

#include "array_geometry.h"
#include "fractional_delay.h"
#include "room.h"
#include "source_signal.h"

namespace tools {

// Fills `out` with the arrivals at time t seconds.
using ArrivalsAt = std::function<void(double t, std::vector<Arrival> &out)>;

// Renders block by block, holding only as much of the source as the latest arrival still needs:
// memory depends on the room, not on the length of the recording.
class Renderer {
public:
    static constexpr std::int64_t kBlockFrames = 4096;

    // No arrival may come more than `latest_arrival_s` after the direct sound.
    Renderer(MonoSource &source, std::vector<Vec3> mics, double sound_speed,
             ArrivalsAt arrivals_at, double latest_arrival_s);

    // The next block, interleaved, one channel per microphone; false once the source is done.
    bool next(std::vector<float> &block);

private:
    void hold_source(std::int64_t from, std::int64_t to);

    MonoSource &source_;
    std::vector<Vec3> mics_;
    double sound_speed_;
    ArrivalsAt arrivals_at_;
    FractionalDelay interpolate_;
    std::int64_t reach_back_ = 0;
    std::int64_t reach_ahead_ = 0;
    std::int64_t next_frame_ = 0;
    std::int64_t held_first_ = 0;
    std::vector<float> held_;
    std::vector<Arrival> arrivals_;
};

} // namespace tools

#endif
