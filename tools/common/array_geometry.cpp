#include "array_geometry.h"

#include <cmath>

#include "tool_error.h"

namespace tools {

namespace {
constexpr double kPi = 3.14159265358979323846;
double radians(double deg) { return deg * kPi / 180.0; }
} // namespace

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(Vec3 a) { return std::sqrt(dot(a, a)); }

std::vector<Vec3> mic_positions(const ArrayGeometry &geometry) {
    const double d = geometry.spacing_m;
    if (geometry.shape == ArrayShape::circular) {
        if (geometry.mics != 4) throw ToolError("a circular array needs 4 microphones");
        const double r = d / 2;
        return {{-r, 0, 0}, {0, r, 0}, {r, 0, 0}, {0, -r, 0}};
    }
    std::vector<Vec3> mics;
    for (int k = 0; k < geometry.mics; ++k)
        mics.push_back({d * (k - (geometry.mics - 1) / 2.0), 0, 0});
    return mics;
}

Vec3 direction_of(double angle_deg) {
    const double a = radians(angle_deg);
    return {-std::sin(a), std::cos(a), 0};
}

double angle_of(Vec3 direction) { return std::atan2(-direction.x, direction.y) * 180.0 / kPi; }

std::vector<double> plane_wave_delays(const std::vector<Vec3> &mics, Vec3 towards_source,
                                      double sound_speed) {
    std::vector<double> delays;
    for (const Vec3 &m : mics) delays.push_back(-dot(m, towards_source) / sound_speed);
    return delays;
}

AngleSpan reported_angles(ArrayShape shape) {
    // A line cannot tell front from back; a circle sees all round, starting where a line does.
    return shape == ArrayShape::linear ? AngleSpan{-90, 90} : AngleSpan{-90, 269};
}

double normalise_angle(ArrayShape shape, double angle_deg) {
    if (shape == ArrayShape::linear) {
        // A line cannot tell front from back: mirror the rear half onto the front.
        double a = std::remainder(angle_deg, 360.0);
        if (a > 90) a = 180 - a;
        if (a < -90) a = -180 - a;
        return a;
    }
    double a = std::fmod(angle_deg + 90.0, 360.0);
    if (a < 0) a += 360.0;
    return a - 90.0;
}

} // namespace tools
