// What a stream is localised with: the input's shape and the options every face offers under
// the same names and defaults.
#ifndef SSL_STREAM_STREAM_SETTINGS_H
#define SSL_STREAM_STREAM_SETTINGS_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "array_shape.h"

namespace ssl_stream {

constexpr int kFrameSamples = 128;

enum class Mode { direction, delays };

// Mode by its option word; a StreamError names the accepted words.
Mode parse_mode(const std::string &word);
const char *mode_word(Mode mode);

struct StreamSettings {
    int channels = 4;
    int sample_rate = 16000;
    ArrayShape shape = ArrayShape::linear;
    double spacing_cm = 5.0;
    int temperature_c = 25;
    int gate_db = -80;
    int frames = 32; // per decision; a delays row is always one frame
    Mode mode = Mode::direction;
    // Talkers followed across windows, direction mode only.
    bool track = false;
    double forget_s = 30; // a talker not heard for this long is forgotten
    int max_talkers = 4;  // known at once
};

// Metres per second in air at `celsius`, as the library reckons it.
constexpr double speed_of_sound(double celsius) { return 331.0 + 0.6 * celsius; }

// The ranges the options take, for the faces that check a value before it reaches a stream.
struct OptionRange {
    double lowest;
    double highest;
};
// Centimetres between neighbouring microphones (a circle's diameter). Microphone packages keep
// any two some 0.5 cm apart, where a neighbouring pair's delay is already under one sample at
// every rate. At 25 cm the largest pair of a 4-microphone line (75 cm apart, at 48 kHz and
// -40 °C) lags by 117 samples: the library searches at most 127 in its 128-sample frames.
constexpr OptionRange kSpacingCm{0.5, 25};
constexpr OptionRange kTemperatureC{-40, 60};
constexpr OptionRange kGateDb{-80, 0};
constexpr OptionRange kFramesPerDecision{1, 1 << 20};
constexpr OptionRange kForgetS{0.1, 86400};
constexpr OptionRange kMaxTalkers{1, 16};

// The sample rates the library takes, and them as a message lists them: "8000, ..., 48000 Hz".
constexpr std::array<int, 4> kSampleRates{8000, 16000, 32000, 48000};
std::string sample_rates_text();

constexpr bool supported_channels(int channels) { return channels == 2 || channels == 4; }
// "has N channels; only 2 or 4 are supported", for the caller to put its input's name before.
std::string channels_problem(int channels);

// Why the settings cannot track talkers, worded for the user; none when they can.
std::optional<std::string> tracking_problem(const StreamSettings &settings);

// Frames of kFrameSamples that one row covers.
int frames_per_row(const StreamSettings &settings);

// Why a recording of `frames` samples per channel gives no row of `samples_per_row`, worded for
// the user; none when it may. A recording of unknown length is read to its end.
std::optional<std::string> short_recording_problem(std::optional<std::int64_t> frames,
                                                   std::int64_t samples_per_row);

} // namespace ssl_stream

#endif
