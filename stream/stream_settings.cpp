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

int frames_per_row(const StreamSettings &settings) {
    return settings.mode == Mode::delays ? 1 : settings.frames;
}

} // namespace ssl_stream
