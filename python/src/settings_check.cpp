#include "settings_check.h"

#include <cmath>
#include <cstdio>

#include "stream_error.h"

namespace iaassl_py {

namespace {
std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return text;
}

int within(const char *name, int value, ssl_stream::OptionRange range) {
    if (value < range.lowest || value > range.highest)
        throw ssl_stream::StreamError(std::string(name) + ": value " + std::to_string(value) +
                                      " not in range " + number_text(range.lowest) + " to " +
                                      number_text(range.highest));
    return value;
}

double positive(const char *name, double value) {
    if (!std::isfinite(value) || value <= 0)
        throw ssl_stream::StreamError(std::string(name) + ": must be a positive number, not " +
                                      number_text(value));
    return value;
}
} // namespace

Options default_options() {
    const ssl_stream::StreamSettings s;
    return {ssl_stream::shape_word(s.shape), s.spacing_cm, s.temperature_c, s.gate_db, s.frames,
            ssl_stream::mode_word(s.mode)};
}

ssl_stream::StreamSettings checked_settings(int channels, int rate, const Options &options) {
    ssl_stream::StreamSettings settings;
    settings.channels = channels;
    settings.sample_rate = rate;
    settings.shape = ssl_stream::parse_shape(options.geometry);
    settings.spacing_cm = positive("spacing_cm", options.spacing_cm);
    settings.temperature_c = within("temperature", options.temperature, ssl_stream::kTemperatureC);
    settings.gate_db = within("gate_db", options.gate_db, ssl_stream::kGateDb);
    settings.frames = within("frames", options.frames, ssl_stream::kFramesPerDecision);
    settings.mode = ssl_stream::parse_mode(options.mode);
    return settings;
}

} // namespace iaassl_py
