// A Localiser as Python sees it: one stream for directions and, made when first asked for, one
// for per-frame delays, each keeping its own leftover samples between calls. One mutex per
// Localiser, so that calls from several threads take turns; the caller holds no interpreter lock.
#ifndef IAASSL_PY_LOCALISER_H
#define IAASSL_PY_LOCALISER_H

#include <memory>
#include <mutex>
#include <vector>

#include "sample_array.h"
#include "window_stream.h"

namespace iaassl_py {

class Localiser {
public:
    // A StreamError where the library refuses the settings.
    explicit Localiser(const ssl_stream::StreamSettings &settings);
    Localiser(const Localiser &) = delete;
    Localiser &operator=(const Localiser &) = delete;

    const ssl_stream::StreamSettings &settings() const { return settings_; }
    int pairs() const { return settings_.channels - 1; }

    // The rows (direction mode) completed by these samples.
    std::vector<ssl_stream::StreamRow> feed(const SampleArray &samples);
    // The frames (delays mode) completed by these samples.
    std::vector<ssl_stream::StreamRow> delays(const SampleArray &samples);
    // Both streams start afresh: no leftover, times from 0, no talkers known.
    void reset();

private:
    std::vector<ssl_stream::StreamRow> run(ssl_stream::WindowStream &stream, const SampleArray &samples);

    const ssl_stream::StreamSettings settings_;
    std::mutex turn_;
    std::unique_ptr<ssl_stream::WindowStream> direction_;
    std::unique_ptr<ssl_stream::WindowStream> delays_;
};

} // namespace iaassl_py

#endif
