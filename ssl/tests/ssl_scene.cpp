#include "ssl_scene.h"

#include <math.h>

namespace {

constexpr int FRAME = 128;
constexpr int SINC_HALF_WIDTH = 32;
constexpr double FULL_SCALE = 32767.0;
constexpr long LEAD_IN = 1024;  // source history before the first frame

double windowed_sinc(double x)
{
    if (fabs(x) >= SINC_HALF_WIDTH) {
        return 0.0;
    }
    double window = 0.5 + 0.5 * cos(M_PI * x / SINC_HALF_WIDTH);
    return x == 0.0 ? 1.0 : sin(M_PI * x) / (M_PI * x) * window;
}

}  // namespace

std::vector<MicPosition> linear_array(int mics, double spacing_m)
{
    std::vector<MicPosition> out;
    for (int k = 0; k < mics; ++k) {
        out.push_back({spacing_m * (k - (mics - 1) / 2.0), 0.0});
    }
    return out;
}

std::vector<MicPosition> circular_array(double diameter_m)
{
    double r = diameter_m / 2.0;
    return {{-r, 0.0}, {0.0, r}, {r, 0.0}, {0.0, -r}};
}

std::vector<double> far_field_delays(const std::vector<MicPosition> &mics, double azimuth_deg,
                                     double sound_speed, double sample_rate)
{
    double ux = cos(azimuth_deg * M_PI / 180.0);
    double uy = sin(azimuth_deg * M_PI / 180.0);
    std::vector<double> out;
    for (const MicPosition &m : mics) {
        out.push_back(-(ux * m.x + uy * m.y) / sound_speed * sample_rate);
    }
    return out;
}

Scene::Scene(std::vector<double> delays, double snr_db, double level, unsigned seed)
    : delays_(std::move(delays)),
      noise_level_(level * pow(10.0, -snr_db / 20.0)),
      level_(level),
      random_(seed),
      normal_(0.0, 1.0),
      source_(),
      next_sample_(0)
{
}

double Scene::source_at(long index)
{
    while (static_cast<long>(source_.size()) <= index + LEAD_IN) {
        source_.push_back(normal_(random_) * level_);
    }
    return source_[static_cast<size_t>(index + LEAD_IN)];
}

// Band-limited interpolation of the source at a fractional time.
double Scene::delayed(double t)
{
    long base = static_cast<long>(floor(t));
    double sum = 0.0;
    for (long i = base - SINC_HALF_WIDTH + 1; i <= base + SINC_HALF_WIDTH; ++i) {
        sum += source_at(i) * windowed_sinc(t - static_cast<double>(i));
    }
    return sum;
}

void Scene::next_frame(int16_t *out)
{
    const size_t mics = delays_.size();
    for (int n = 0; n < FRAME; ++n) {
        double t = static_cast<double>(next_sample_ + n);
        for (size_t c = 0; c < mics; ++c) {
            double v = (delayed(t - delays_[c]) + noise_level_ * normal_(random_)) * FULL_SCALE;
            v = fmax(-32768.0, fmin(32767.0, round(v)));
            out[static_cast<size_t>(n) * mics + c] = static_cast<int16_t>(v);
        }
    }
    next_sample_ += FRAME;
}
