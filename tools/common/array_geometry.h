// The array model the tools share: where the microphones sit, where an angle points, and how
// late each microphone hears a plane wave. Angles follow the library's convention.
#ifndef TOOLS_ARRAY_GEOMETRY_H
#define TOOLS_ARRAY_GEOMETRY_H

#include <string>
#include <vector>

#include "array_shape.h"
#include "stream_settings.h"

namespace tools {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(double s, Vec3 a);
double dot(Vec3 a, Vec3 b);
double norm(Vec3 a);

using ssl_stream::ArrayShape;
using ssl_stream::parse_shape;

struct ArrayGeometry {
    ArrayShape shape = ArrayShape::linear;
    double spacing_m = 0.05; // neighbour spacing; the diameter of a circular array
    int mics = 4;
};

// Centred on the origin, in the library's microphone order.
std::vector<Vec3> mic_positions(const ArrayGeometry &geometry);

// Unit vector from the array towards a source at the library's angle in degrees:
// 0 is +y (broadside of a line), +90 points at microphone 0's side (-x).
Vec3 direction_of(double angle_deg);

// Inverse of direction_of for a horizontal direction, in -180..180.
double angle_of(Vec3 direction);

using ssl_stream::speed_of_sound;

// Arrival time of a plane wave from `towards_source` at each microphone, in seconds,
// relative to its arrival at the origin.
std::vector<double> plane_wave_delays(const std::vector<Vec3> &mics, Vec3 towards_source,
                                      double sound_speed);

// The span of angles, in whole degrees, that an array of this shape reports.
struct AngleSpan {
    int lowest;
    int highest;
};
AngleSpan reported_angles(ArrayShape shape);

// Angles the array can tell apart, as the library reports them.
double normalise_angle(ArrayShape shape, double angle_deg);

} // namespace tools

#endif
