// Follows talkers across windows: who is where, and who is speaking now. It sees what the
// library gives, each frame's pair delays (rejected ones marked) and each window's decision,
// and reports the talkers it knows once per window.
#ifndef SSL_STREAM_TALKER_TRACKER_H
#define SSL_STREAM_TALKER_TRACKER_H

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "angle_grid.h"
#include "library_response.h"
#include "speech_gate.h"
#include "stream_settings.h"
#include "talker.h"

namespace ssl_stream {

class TalkerTracker {
public:
    // Ids start at `first_id`.
    TalkerTracker(const StreamSettings &settings, int first_id);

    // One interleaved frame and its pair delays, SSL_DELAY_REJECTED where the library found none.
    void add_frame(const std::int16_t *frame, const std::int32_t *delays);
    // Closes the window with the library's decision (an angle or none) and returns the known
    // talkers, in id order.
    const std::vector<Talker> &close_window(std::optional<int> angle);

    int next_id() const { return next_id_; }
    // Takes new settings for the same array and rate, keeping the talkers; false for another.
    bool adopt(const StreamSettings &settings);

private:
    struct Track {
        int id;
        double angle;
        std::deque<std::int64_t> heard_frames; // frames that pointed at this talker, lately
        std::int64_t last_voiced = 0;          // frame of the last stretch of evidence
        bool speaking = false;
        bool steady = false;                   // a fan or a hum, never reported
        std::deque<double> window_angles;      // the library's latest angles for this talker
        // Delays heard from this talker lately, per pair: their sum and how many.
        std::array<double, kMaxPairs> lag_sum{};
        std::array<double, kMaxPairs> lag_count{};
        std::int64_t born = 0;     // frame
        std::int64_t heard_in_all = 0;
    };

    // Evidence of someone no known talker explains: a frame, or a window's angle.
    struct Unexplained {
        std::int64_t frame;
        AngleSet set;
        std::array<std::int32_t, kMaxPairs> delays; // a frame's
        std::optional<double> window_angle;         // or a window's
    };

    void credit_frame(const std::int32_t *delays, const AngleSet &set);
    bool steady_at(double angle) const;
    void update();
    void update_speaking(Track &track, std::size_t strongest);
    std::size_t prune_heard();
    double birth_angle(int peak) const;
    void take_window_angle(double angle);
    void place_by_frames(Track &track) const;
    void maybe_give_birth(double strongest);
    void forget_silent();
    Track *nearest_track(double angle, double gate);
    double frame_seconds(std::int64_t frames) const;
    std::int64_t frames_in(double seconds) const;
    void publish();

    AngleGrid grid_;
    LibraryResponse library_;
    StreamSettings settings_;
    int next_id_;
    std::int64_t frame_ = 0;
    std::int64_t frames_since_update_ = 0;
    int window_frames_ = 0;
    int window_frames_above_floor_ = 0;
    // Frames below the floor lately: where each could have come from.
    std::deque<std::pair<std::int64_t, AngleSet>> quiet_frames_;
    SpeechGate speech_gate_;
    std::deque<Unexplained> unexplained_;
    std::vector<Track> tracks_;
    std::vector<Talker> talkers_;
};

} // namespace ssl_stream

#endif
