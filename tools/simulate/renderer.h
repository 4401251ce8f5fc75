// Turns a mono source into what each microphone hears, given how the sound arrives over time.
#ifndef TOOLS_RENDERER_H
#define TOOLS_RENDERER_H

#include <functional>
#include <vector>

#include "array_geometry.h"
#include "room.h"

namespace tools {

// Fills `out` with the arrivals at time t seconds.
using ArrivalsAt = std::function<void(double t, std::vector<Arrival> &out)>;

// Interleaved, one channel per microphone, as long as the source.
std::vector<float> render(const std::vector<float> &source, int sample_rate,
                          const std::vector<Vec3> &mics, double sound_speed,
                          const ArrivalsAt &arrivals_at);

} // namespace tools

#endif
