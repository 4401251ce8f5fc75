// Test scenes: one broadband source heard by every microphone with its own delay, plus noise.
#ifndef SSL_SCENE_H
#define SSL_SCENE_H

#include <stdint.h>

#include <random>
#include <vector>

struct MicPosition {
    double x;
    double y;
};

std::vector<MicPosition> linear_array(int mics, double spacing_m);
// Microphone 0 at 180 degrees, then 90, 0 and -90, as the library places them.
std::vector<MicPosition> circular_array(double diameter_m);

// Far-field arrival delay of each microphone in samples (positive: later than the origin)
// for a source in the direction (cos azimuth, sin azimuth).
std::vector<double> far_field_delays(const std::vector<MicPosition> &mics, double azimuth_deg,
                                     double sound_speed, double sample_rate);

class Scene {
public:
    // level: standard deviation of the source in full-scale units.
    Scene(std::vector<double> delays, double snr_db, double level, unsigned seed);
    // 128 interleaved samples per microphone.
    void next_frame(int16_t *out);

private:
    double source_at(long index);
    double delayed(double t);

    std::vector<double> delays_;
    double noise_level_;
    double level_;
    std::mt19937 random_;
    std::normal_distribution<double> normal_;
    std::vector<double> source_;
    long next_sample_;
};

#endif
