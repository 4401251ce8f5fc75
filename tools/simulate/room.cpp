#include "room.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>

namespace tools {

namespace {
// The m-th image of coordinate s between walls at 0 and length: m reflections along the axis.
double image_coordinate(int m, double s, double length) {
    return m % 2 == 0 ? m * length + s : (m + 1) * length - s;
}
} // namespace

Vec3 array_centre_in(const Room &room) {
    return {0.4 * room.size.x, 0.45 * room.size.y, std::min(1.2, room.size.z / 2)};
}

void room_arrivals(const Room &room, Vec3 source, Vec3 centre, double sound_speed,
                   std::vector<Arrival> &out) {
    out.clear();
    const double reflection = std::sqrt(1.0 - room.absorption);
    const double direct = norm(source - centre);
    const int n = room.order;
    for (int i = -n; i <= n; ++i) {
        for (int j = -n; j <= n; ++j) {
            for (int k = -n; k <= n; ++k) {
                const int bounces = std::abs(i) + std::abs(j) + std::abs(k);
                if (bounces > n) continue;
                const Vec3 image{image_coordinate(i, source.x, room.size.x),
                                 image_coordinate(j, source.y, room.size.y),
                                 image_coordinate(k, source.z, room.size.z)};
                const Vec3 path = image - centre;
                const double distance = norm(path);
                out.push_back({std::pow(reflection, bounces) * direct / distance,
                               (distance - direct) / sound_speed, (1.0 / distance) * path});
            }
        }
    }
}

double latest_arrival_s(const Room &room, double sound_speed) {
    // An image m reflections away lies within (|m| + 1) lengths of the centre on each axis.
    return (room.order + 1) * norm(room.size) / sound_speed;
}

} // namespace tools
