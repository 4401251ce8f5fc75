// Shoebox reverberation by mirror images of the source, each heard as a plane wave.
#ifndef TOOLS_ROOM_H
#define TOOLS_ROOM_H

#include <vector>

#include "array_geometry.h"

namespace tools {

// One way the sound reaches the array centre.
struct Arrival {
    double gain;
    double delay_s;  // after the direct sound
    Vec3 direction;  // unit vector from the array towards where it comes from
};

struct Room {
    Vec3 size;              // metres; walls at 0 and size on each axis
    double absorption = 0.5; // fraction of energy a wall keeps out of the reflection
    int order = 2;          // most reflections on one path
};

// Where the tools put the array in a room: off-centre, so that walls pair up unevenly.
Vec3 array_centre_in(const Room &room);

// The direct sound (gain 1, delay 0) and every image up to the room's order, from a source at
// `source` heard at `centre`.
void room_arrivals(const Room &room, Vec3 source, Vec3 centre, double sound_speed,
                   std::vector<Arrival> &out);

// A bound on the delay of any image up to the room's order, for a source and a centre inside it.
double latest_arrival_s(const Room &room, double sound_speed);

} // namespace tools

#endif
