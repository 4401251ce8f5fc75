#include "window_stream.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "stream_error.h"

namespace ssl_stream {

namespace {
std::string hex(std::int32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}

std::size_t buffer_words(const SslLibrary &library, const NoteReceiver &notes) {
    const LibraryCall call(notes); // the library tells the size it asks for
    return (library.get_buffer_size() + 3) / 4;
}

const StreamSettings &checked(const StreamSettings &settings) {
    if (!supported_channels(settings.channels))
        throw StreamError("the input " + channels_problem(settings.channels));
    if (auto problem = tracking_problem(settings)) throw StreamError(*problem);
    return settings;
}
} // namespace

WindowStream::WindowStream(const StreamSettings &settings, NoteReceiver notes)
    : settings_(checked(settings)), notes_(std::move(notes)), library_(settings.channels),
      memory_(buffer_words(library_, notes_)),
      frame_(static_cast<std::size_t>(kFrameSamples * settings.channels)),
      library_delays_(static_cast<std::size_t>(settings.channels - 1)) {
    const LibraryCall call(notes_);
    start_library();
    start_tracker();
}

WindowStream::~WindowStream() {
    const LibraryCall call(notes_);
    library_.free(handle_);
}

std::int64_t WindowStream::samples_per_row() const {
    return static_cast<std::int64_t>(frames_per_row(settings_)) * kFrameSamples;
}

void WindowStream::check(std::int32_t code, const char *call) const {
    if (code != SSL_RET_OK) throw StreamError(std::string("the library's ") + call + " failed with " + hex(code));
}

void WindowStream::start_library() {
    if (handle_ != nullptr) library_.free(handle_);
    const SslInit init{kFrameSamples, static_cast<std::uint32_t>(settings_.sample_rate),
                       static_cast<float>(settings_.spacing_cm),
                       settings_.mode == Mode::delays ? 1u : 0u, settings_.channels};
    handle_ = library_.init(reinterpret_cast<char *>(memory_.data()), &init);
    if (handle_ == nullptr) throw StreamError("the library refused to start");
    const SslConfig config{static_cast<std::uint32_t>(settings_.temperature_c), settings_.gate_db,
                           static_cast<std::uint32_t>(settings_.frames)};
    const std::int32_t configured = library_.config(handle_, &config);
    if (configured == SSL_RET_INVALID_SAMPLE_RATE)
        throw StreamError("unsupported sample rate " + std::to_string(settings_.sample_rate) +
                          " Hz (supported: " + sample_rates_text() + ")");
    check(configured, "Config");
    check(library_.set_shape(handle_, library_shape_code(settings_.shape)), "Set_Shape");
    const std::int32_t params = library_.cal_params(handle_);
    if (params == SSL_RET_GEOMETRY_NOT_LINEAR)
        throw StreamError("a 2-channel recording needs --geometry linear");
    check(params, "Cal_Params");
}

void WindowStream::feed(const std::int16_t *interleaved, std::size_t frames, const RowSink &sink) {
    const LibraryCall call(notes_);
    const std::size_t channels = static_cast<std::size_t>(settings_.channels);
    std::size_t left = frames * channels;
    while (left > 0) {
        const std::size_t taken = std::min(left, frame_.size() - frame_filled_);
        std::copy_n(interleaved, taken, frame_.begin() + static_cast<std::ptrdiff_t>(frame_filled_));
        interleaved += taken;
        left -= taken;
        frame_filled_ += taken;
        samples_fed_ += static_cast<std::int64_t>(taken / channels);
        if (frame_filled_ == frame_.size()) run_frame(sink);
    }
}

void WindowStream::run_frame(const RowSink &sink) {
    frame_filled_ = 0;
    if (frames_in_row_ == 0) {
        if (take_pending_settings()) start_library();
        row_.start_sample = samples_fed_ - kFrameSamples;
    }
    check(library_.run(handle_, frame_.data(), library_delays_.data()), "Run");
    if (tracker_) tracker_->add_frame(frame_.data(), library_delays_.data());
    if (++frames_in_row_ < frames_per_row(settings_)) return;
    frames_in_row_ = 0;
    finish_row(sink);
}

void WindowStream::finish_row(const RowSink &sink) {
    if (settings_.mode == Mode::delays)
        read_delays();
    else
        decide_direction();
    const CallerCode caller;
    sink(row_);
}

void WindowStream::read_delays() {
    row_.delays.clear();
    for (std::int32_t d : library_delays_)
        row_.delays.push_back(d == SSL_DELAY_REJECTED ? std::nullopt : std::optional<int>(d));
}

void WindowStream::decide_direction() {
    std::int32_t angle = SSL_NO_ANGLE;
    const std::int32_t code = library_.get_direction(handle_, &angle);
    row_.angle.reset();
    switch (code) {
    case SSL_RET_OK:
        row_.outcome = Outcome::angle;
        row_.angle = angle;
        break;
    case SSL_RET_BELOW_NOISE_GATE: row_.outcome = Outcome::below_gate; break;
    case SSL_RET_NO_DIRECTION: row_.outcome = Outcome::no_direction; break;
    case SSL_RET_DELAY_TOO_LARGE: row_.outcome = Outcome::delay_too_large; break;
    default: check(code, "Get_Direction");
    }
    check(library_.reset_mapping(handle_), "Reset_Mapping");
    if (tracker_)
        row_.talkers = tracker_->close_window(row_.angle);
    else
        row_.talkers.clear();
}

void WindowStream::reset() {
    break_continuity();
    tracker_.reset();
    next_talker_id_ = 1;
    start_tracker();
}

void WindowStream::break_continuity() {
    const LibraryCall call(notes_);
    frame_filled_ = 0;
    frames_in_row_ = 0;
    samples_fed_ = 0;
    take_pending_settings();
    // A fresh handle: the library also keeps the previous frame for its sliding window.
    start_library();
}

void WindowStream::change_settings(const StreamSettings &settings) {
    if (settings.channels != settings_.channels || settings.sample_rate != settings_.sample_rate)
        throw StreamError("a new channel count or rate needs a new stream");
    if (auto problem = tracking_problem(settings)) throw StreamError(*problem);
    pending_settings_ = settings;
}

bool WindowStream::take_pending_settings() {
    if (!pending_settings_) return false;
    settings_ = *pending_settings_;
    pending_settings_.reset();
    start_tracker();
    return true;
}

void WindowStream::start_tracker() {
    if (tracker_ && settings_.track && tracker_->adopt(settings_)) return;
    // Ids go on from those already given, so that none is given twice in a run.
    if (tracker_) next_talker_id_ = tracker_->next_id();
    tracker_.reset();
    if (settings_.track) tracker_.emplace(settings_, next_talker_id_);
}

} // namespace ssl_stream
