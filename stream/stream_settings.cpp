#include "stream_settings.h"

#include "stream_error.h"

namespace ssl_stream {

Mode parse_mode(const std::string &word) {
    if (word == mode_word(Mode::direction)) return Mode::direction;
    if (word == mode_word(Mode::delays)) return Mode::delays;
    throw StreamError("unknown mode '" + word + "' (use direction or delays)");
}

const char *mode_word(Mode mode) { return mode == Mode::direction ? "direction" : "delays"; }

std::string channels_problem(int channels) {
    return "has " + std::to_string(channels) + " channels; only 2 or 4 are supported";
}

std::string sample_rates_text() {
    std::string text;
    for (int rate : kSampleRates) text += (text.empty() ? "" : ", ") + std::to_string(rate);
    return text + " Hz";
}

std::optional<std::string> tracking_problem(const StreamSettings &settings) {
    if (settings.track && settings.mode == Mode::delays) return std::string("tracking talkers needs the direction mode");
    return std::nullopt;
}

int frames_per_row(const StreamSettings &settings) {
    return settings.mode == Mode::delays ? 1 : settings.frames;
}

std::optional<std::string> short_recording_problem(std::optional<std::int64_t> frames,
                                                   std::int64_t samples_per_row) {
    if (!frames || *frames >= samples_per_row) return std::nullopt;
    return "the recording is shorter than one row (" + std::to_string(samples_per_row) + " samples per channel)";
}

} // namespace ssl_stream
