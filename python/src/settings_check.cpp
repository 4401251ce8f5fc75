#include "settings_check.h"

#include <cstdio>

#include "stream_error.h"

namespace iaassl_py {

namespace {
std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return text;
}

// Written so that NaN is out of every range.
template <typename Number> Number within(const char *name, Number value, ssl_stream::OptionRange range) {
    if (!(value >= range.lowest && value <= range.highest))
        throw ssl_stream::StreamError(std::string(name) + ": value " + number_text(value) +
                                      " not in range " + number_text(range.lowest) + " to " +
                                      number_text(range.highest));
    return value;
}

ssl_stream::StreamError needs_track(const char *name) {
    return ssl_stream::StreamError(std::string(name) + " requires track=True");
}

// Tracker settings other than the defaults without tracking were surely meant to track.
void tracker_options_need_track(const Options &options) {
    const ssl_stream::StreamSettings defaults;
    if (options.track) return;
    if (options.forget_s != defaults.forget_s) throw needs_track("forget_s");
    if (options.max_talkers != defaults.max_talkers) throw needs_track("max_talkers");
}
} // namespace

Options default_options() {
    const ssl_stream::StreamSettings s;
    return {ssl_stream::shape_word(s.shape), s.spacing_cm, s.temperature_c, s.gate_db, s.frames,
            ssl_stream::mode_word(s.mode), s.track, s.forget_s, s.max_talkers};
}

ssl_stream::StreamSettings checked_settings(int channels, int rate, const Options &options) {
    ssl_stream::StreamSettings settings;
    settings.channels = channels;
    settings.sample_rate = rate;
    settings.shape = ssl_stream::parse_shape(options.geometry);
    settings.spacing_cm = within("spacing_cm", options.spacing_cm, ssl_stream::kSpacingCm);
    settings.temperature_c = within("temperature", options.temperature, ssl_stream::kTemperatureC);
    settings.gate_db = within("gate_db", options.gate_db, ssl_stream::kGateDb);
    settings.frames = within("frames", options.frames, ssl_stream::kFramesPerDecision);
    settings.mode = ssl_stream::parse_mode(options.mode);
    settings.forget_s = within("forget_s", options.forget_s, ssl_stream::kForgetS);
    settings.max_talkers = within("max_talkers", options.max_talkers, ssl_stream::kMaxTalkers);
    tracker_options_need_track(options);
    settings.track = options.track;
    return settings;
}

} // namespace iaassl_py
