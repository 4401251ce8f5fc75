#include "localiser.h"

#include "library_log.h"

namespace iaassl_py {

namespace {
// Talkers are followed in the directions only: the delay stream's frames carry none.
ssl_stream::StreamSettings in_mode(ssl_stream::StreamSettings settings, ssl_stream::Mode mode) {
    settings.mode = mode;
    settings.track = settings.track && mode == ssl_stream::Mode::direction;
    return settings;
}
} // namespace

Localiser::Localiser(const ssl_stream::StreamSettings &settings)
    : settings_(settings), direction_(std::make_unique<ssl_stream::WindowStream>(in_mode(settings, ssl_stream::Mode::direction), log_library_note)) {}

std::vector<ssl_stream::StreamRow> Localiser::feed(const SampleArray &samples) {
    const std::lock_guard<std::mutex> lock(turn_);
    return run(*direction_, samples);
}

std::vector<ssl_stream::StreamRow> Localiser::delays(const SampleArray &samples) {
    const std::lock_guard<std::mutex> lock(turn_);
    if (!delays_) delays_ = std::make_unique<ssl_stream::WindowStream>(in_mode(settings_, ssl_stream::Mode::delays), log_library_note);
    return run(*delays_, samples);
}

void Localiser::reset() {
    const std::lock_guard<std::mutex> lock(turn_);
    direction_->reset();
    if (delays_) delays_->reset();
}

std::vector<ssl_stream::StreamRow> Localiser::run(ssl_stream::WindowStream &stream, const SampleArray &samples) {
    std::vector<ssl_stream::StreamRow> rows;
    feed_samples(stream, samples, [&rows](const ssl_stream::StreamRow &row) { rows.push_back(row); });
    return rows;
}

} // namespace iaassl_py
