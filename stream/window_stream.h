// The way from samples to rows that every face shares: interleaved 16-bit samples in chunks of
// any size become frames of kFrameSamples, frames become decision windows, and each window (each
// frame in delays mode) becomes one row, handed over the moment its last sample is in.
#ifndef SSL_STREAM_WINDOW_STREAM_H
#define SSL_STREAM_WINDOW_STREAM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "library_notes.h"
#include "outcome.h"
#include "ssl_library.h"
#include "stream_settings.h"
#include "talker.h"
#include "talker_tracker.h"

namespace ssl_stream {

struct StreamRow {
    // Of the row's first sample, counted per channel from the start or the last reset.
    std::int64_t start_sample = 0;
    // Direction mode.
    Outcome outcome = Outcome::angle;
    std::optional<int> angle;
    // Delays mode: one per pair against microphone 0, empty where the library rejected the frame.
    std::vector<std::optional<int>> delays;
    // With tracking: the talkers known after this window, in id order.
    std::vector<Talker> talkers;
};

using RowSink = std::function<void(const StreamRow &)>;

class WindowStream {
public:
    // A StreamError, worded for the user, where the library refuses the settings. The library's
    // notes go to `notes` from the start, the library's first call included.
    explicit WindowStream(const StreamSettings &settings, NoteReceiver notes = {});
    ~WindowStream();
    WindowStream(const WindowStream &) = delete;
    WindowStream &operator=(const WindowStream &) = delete;

    const StreamSettings &settings() const { return settings_; }
    int pairs() const { return settings_.channels - 1; }
    // Samples per channel that one row covers.
    std::int64_t samples_per_row() const;
    // Samples per channel taken in since the start or the last reset.
    std::int64_t samples_fed() const { return samples_fed_; }

    // Takes `frames` interleaved sample frames, keeps what does not yet fill a frame for the
    // next call, and hands every row completed on the way to `sink`.
    void feed(const std::int16_t *interleaved, std::size_t frames, const RowSink &sink);
    // Forgets the partial frame and window and the talkers: the next sample starts a fresh
    // window at 0, as a new run.
    void reset();
    // The audio that comes next does not go on from what came before (a gap, a flush): the
    // partial frame and window are dropped and the count starts again at 0, while the talkers
    // stay where they were, under the same ids.
    void break_continuity();
    // New settings for the same channel count and rate, taken up when the next window starts.
    void change_settings(const StreamSettings &settings);

private:
    void start_library();
    void run_frame(const RowSink &sink);
    void finish_row(const RowSink &sink);
    void decide_direction();
    void read_delays();
    void check(std::int32_t code, const char *call) const;
    bool take_pending_settings();
    void start_tracker();

    StreamSettings settings_;
    std::optional<StreamSettings> pending_settings_;
    NoteReceiver notes_;
    SslLibrary library_;
    std::vector<std::uint32_t> memory_;
    SSL_HANDLE handle_ = nullptr;
    std::vector<std::int16_t> frame_;
    std::size_t frame_filled_ = 0; // samples, all channels
    int frames_in_row_ = 0;
    std::int64_t samples_fed_ = 0;
    std::vector<std::int32_t> library_delays_;
    std::optional<TalkerTracker> tracker_;
    int next_talker_id_ = 1;
    StreamRow row_;
};

} // namespace ssl_stream

#endif
