#include "localiser.h"

#include "library_notes.h"

namespace iaassl_py {

std::unique_ptr<ssl_stream::WindowStream> quiet_stream(const ssl_stream::StreamSettings &settings) {
    const LibraryCall call;
    return std::make_unique<ssl_stream::WindowStream>(settings);
}

namespace {
// Talkers are followed in the directions only: the delay stream's frames carry none.
ssl_stream::StreamSettings in_mode(ssl_stream::StreamSettings settings, ssl_stream::Mode mode) {
    settings.mode = mode;
    settings.track = settings.track && mode == ssl_stream::Mode::direction;
    return settings;
}
} // namespace

Localiser::Localiser(const ssl_stream::StreamSettings &settings)
    : settings_(settings), direction_(quiet_stream(in_mode(settings, ssl_stream::Mode::direction))) {}

Localiser::~Localiser() {
    const LibraryCall call;
    direction_.reset();
    delays_.reset();
}

std::vector<ssl_stream::StreamRow> Localiser::feed(const SampleArray &samples) {
    const std::lock_guard<std::mutex> lock(turn_);
    return run(*direction_, samples);
}

std::vector<ssl_stream::StreamRow> Localiser::delays(const SampleArray &samples) {
    const std::lock_guard<std::mutex> lock(turn_);
    if (!delays_) delays_ = quiet_stream(in_mode(settings_, ssl_stream::Mode::delays));
    return run(*delays_, samples);
}

void Localiser::reset() {
    const std::lock_guard<std::mutex> lock(turn_);
    const LibraryCall call;
    direction_->reset();
    if (delays_) delays_->reset();
}

std::vector<ssl_stream::StreamRow> Localiser::run(ssl_stream::WindowStream &stream, const SampleArray &samples) {
    const LibraryCall call;
    std::vector<ssl_stream::StreamRow> rows;
    feed_samples(stream, samples, [&rows](const ssl_stream::StreamRow &row) { rows.push_back(row); });
    return rows;
}

} // namespace iaassl_py
