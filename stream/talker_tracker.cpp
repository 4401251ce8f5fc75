#include "talker_tracker.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include <iaassl.h>

namespace ssl_stream {

namespace {
// How often births and the speaking state are decided, whatever the window.
constexpr double kUpdateS = 0.064;
// A talker speaks while this many frames within the span point at them...
constexpr double kSpeakSpanS = 0.25;
constexpr std::size_t kSpeakFrames = 3;
// Who has been silent speaks again once heard over this long, not on a word's first sound.
constexpr double kOnsetS = 0.1;
// ... and for this long after, through the gaps between words.
constexpr double kHoldS = 0.4;
// Whoever is heard at less than this share of the loudest talker's frames is their echo; a
// newcomer needs a larger share while someone speaks, as a reflection comes back steadily.
constexpr double kEchoShare = 0.3;
constexpr double kBirthShare = 0.6;
// Frames no talker explains are remembered this long; a new talker needs this many of them
// pointing the same way, more than a reflection or a stray window brings.
constexpr double kUnexplainedSpanS = 0.4;
constexpr double kBirthFrames = 6;
// A window's angle weighs as much as this many frames, and points this far either side.
constexpr double kWindowVotes = 3;
constexpr int kWindowVoteSpread = 2;
// The library's angle of a window in which too few frames rose above the floor is the fan's.
constexpr int kWindowShareAboveFloor = 10;
// A window's angle belongs to the nearest talker this close.
constexpr double kWindowGateDeg = 12;
constexpr std::size_t kWindowAnglesKept = 9;
constexpr double kInlierDeg = 10;
// Delays heard from a talker are remembered this long, and place them where no window has.
constexpr double kLagMemoryS = 5;
constexpr int kFitReachDeg = 15;
// A direction that this share of the frames at the room's floor points at is a steady source's.
constexpr double kQuietMemoryS = 3;
constexpr std::size_t kQuietFramesNeeded = 20;
constexpr double kSteadyShare = 0.4;
// How far a frame's delays may lie from those of a talker speaking now and still be theirs.
constexpr double kSpeakerReachSamples = 1.5;
// A newcomer must be heard in this many frames within this long of being born.
constexpr double kConfirmS = 1;
constexpr std::int64_t kConfirmFrames = 8;
// Two talkers closer than this are one.
constexpr double kMergeDeg = 6;
constexpr double kDecimal = 10;
// A steady source gets an id only if it turns out to be a talker after all.
constexpr int kNoId = 0;
} // namespace

TalkerTracker::TalkerTracker(const StreamSettings &settings, int first_id)
    : grid_(settings), library_(settings), settings_(settings), next_id_(first_id),
      speech_gate_(settings.channels, settings.sample_rate) {}

bool TalkerTracker::adopt(const StreamSettings &settings) {
    const auto array = [](const StreamSettings &s) {
        return std::make_tuple(s.channels, s.sample_rate, s.shape, s.spacing_cm, s.temperature_c);
    };
    if (array(settings) != array(settings_)) return false;
    settings_ = settings;
    return true;
}

double TalkerTracker::frame_seconds(std::int64_t frames) const {
    return static_cast<double>(frames) * kFrameSamples / settings_.sample_rate;
}

std::int64_t TalkerTracker::frames_in(double seconds) const {
    return std::max<std::int64_t>(1, std::llround(seconds * settings_.sample_rate / kFrameSamples));
}

void TalkerTracker::add_frame(const std::int16_t *frame, const std::int32_t *delays) {
    ++frame_;
    ++window_frames_;
    const Loudness loudness = speech_gate_.loudness(frame);
    if (loudness == Loudness::above) {
        ++window_frames_above_floor_;
        const AngleSet set = grid_.consistent(delays);
        if (set.any()) credit_frame(delays, set);
    } else if (loudness == Loudness::at_floor) {
        quiet_frames_.emplace_back(frame_, grid_.consistent(delays));
    }
    if (++frames_since_update_ >= frames_in(kUpdateS)) update();
}

// The frame goes to the talker whose delays it matches best, or waits for a newcomer. One
// who speaks now also takes the frames a little farther off: where they are is still settling.
void TalkerTracker::credit_frame(const std::int32_t *delays, const AngleSet &set) {
    Track *best = nullptr;
    double best_mismatch = 0;
    bool best_within = false;
    for (const Track &t : tracks_)
        if (t.steady && set.test(static_cast<std::size_t>(grid_.nearest(t.angle)))) return; // the fan's, likely
    for (Track &t : tracks_) {
        if (t.steady) continue;
        const int g = grid_.nearest(t.angle);
        const bool within = set.test(static_cast<std::size_t>(g));
        if (!within && !(t.speaking && grid_.worst_offset(delays, g) <= kSpeakerReachSamples)) continue;
        const double m = grid_.mismatch(delays, g);
        if (best == nullptr || std::make_pair(!within, m) < std::make_pair(!best_within, best_mismatch)) {
            best = &t;
            best_mismatch = m;
            best_within = within;
        }
    }
    if (best == nullptr) {
        Unexplained u{frame_, set, {}, std::nullopt};
        std::copy_n(delays, grid_.pairs(), u.delays.begin());
        unexplained_.push_back(u);
        return;
    }
    best->heard_frames.push_back(frame_);
    ++best->heard_in_all;
    for (int p = 0; p < grid_.pairs(); ++p) {
        if (delays[p] == SSL_DELAY_REJECTED) continue;
        best->lag_sum[p] += delays[p];
        best->lag_count[p] += 1;
    }
}

// A steady source, a fan, points the frames below the floor its way too, where a talker's
// pauses point nowhere.
bool TalkerTracker::steady_at(double angle) const {
    if (quiet_frames_.size() < kQuietFramesNeeded) return false;
    const auto g = static_cast<std::size_t>(grid_.nearest(angle));
    const auto hits = std::count_if(quiet_frames_.begin(), quiet_frames_.end(),
                                    [&](const auto &q) { return q.second.test(g); });
    return static_cast<double>(hits) >= kSteadyShare * static_cast<double>(quiet_frames_.size());
}

void TalkerTracker::update() {
    const double elapsed = frame_seconds(frames_since_update_);
    frames_since_update_ = 0;
    while (!unexplained_.empty() && unexplained_.front().frame <= frame_ - frames_in(kUnexplainedSpanS))
        unexplained_.pop_front();
    const double lag_decay = std::exp(-elapsed / kLagMemoryS);
    while (!quiet_frames_.empty() && quiet_frames_.front().first <= frame_ - frames_in(kQuietMemoryS))
        quiet_frames_.pop_front();
    const std::size_t strongest = prune_heard();
    for (Track &t : tracks_) {
        for (int p = 0; p < grid_.pairs(); ++p) {
            t.lag_sum[p] *= lag_decay;
            t.lag_count[p] *= lag_decay;
        }
        t.steady = steady_at(t.angle);
        if (!t.steady && t.id == kNoId) t.id = next_id_++;
        update_speaking(t, strongest);
        if (t.window_angles.empty()) place_by_frames(t);
    }
    maybe_give_birth(static_cast<double>(strongest));
    forget_silent();
}

std::size_t TalkerTracker::prune_heard() {
    const std::int64_t span = frames_in(kSpeakSpanS);
    std::size_t strongest = 0;
    for (Track &t : tracks_) {
        while (!t.heard_frames.empty() && t.heard_frames.front() <= frame_ - span) t.heard_frames.pop_front();
        if (!t.steady) strongest = std::max(strongest, t.heard_frames.size());
    }
    return strongest;
}

void TalkerTracker::update_speaking(Track &track, std::size_t strongest) {
    const std::size_t heard = track.heard_frames.size();
    if (track.steady) {
        track.speaking = false;
        track.last_voiced = frame_;
    } else if (heard >= kSpeakFrames && static_cast<double>(heard) >= kEchoShare * static_cast<double>(strongest) &&
               (track.speaking || frame_ - track.heard_frames.front() >= frames_in(kOnsetS))) {
        track.speaking = true;
        track.last_voiced = frame_;
    } else if (frame_ - track.last_voiced > frames_in(kHoldS)) {
        track.speaking = false;
    }
}

void TalkerTracker::place_by_frames(Track &track) const {
    std::array<double, kMaxPairs> mean{};
    for (int p = 0; p < grid_.pairs(); ++p)
        mean[p] = track.lag_count[p] > 0 ? track.lag_sum[p] / track.lag_count[p] : 0;
    track.angle = grid_.best_fit(mean.data(), track.lag_count.data(), grid_.nearest(track.angle), kFitReachDeg);
}

// Where the unexplained evidence around `peak` agrees best: a window's angle, where one is
// among it, is finer than any frame.
double TalkerTracker::birth_angle(int peak) const {
    const auto at_peak = static_cast<std::size_t>(peak);
    double window_sum = 0;
    int windows = 0;
    std::array<double, kMaxPairs> sum{}, count{};
    for (const Unexplained &u : unexplained_) {
        if (!u.set.test(at_peak)) continue;
        if (u.window_angle) {
            window_sum += grid_.difference(*u.window_angle, grid_.angle(peak));
            ++windows;
            continue;
        }
        for (int p = 0; p < grid_.pairs(); ++p) {
            if (u.delays[p] == SSL_DELAY_REJECTED) continue;
            sum[p] += u.delays[p];
            count[p] += 1;
        }
    }
    if (windows > 0) return grid_.wrapped(grid_.angle(peak) + window_sum / windows);
    for (int p = 0; p < grid_.pairs(); ++p) sum[p] = count[p] > 0 ? sum[p] / count[p] : 0;
    return grid_.best_fit(sum.data(), count.data(), peak, kFitReachDeg);
}

void TalkerTracker::maybe_give_birth(double strongest) {
    const double needed = std::max(kBirthFrames, kBirthShare * strongest * kUnexplainedSpanS / kSpeakSpanS);
    double evidence = 0;
    for (const Unexplained &u : unexplained_) evidence += u.window_angle ? kWindowVotes : 1;
    if (evidence < needed) return;
    std::vector<double> votes(static_cast<std::size_t>(grid_.size()));
    for (const Unexplained &u : unexplained_)
        for (int g = 0; g < grid_.size(); ++g)
            if (u.set.test(static_cast<std::size_t>(g))) votes[static_cast<std::size_t>(g)] += u.window_angle ? kWindowVotes : 1;
    const int peak = static_cast<int>(std::max_element(votes.begin(), votes.end()) - votes.begin());
    if (votes[static_cast<std::size_t>(peak)] < needed) return;
    const double angle = birth_angle(peak);
    // What the newcomer explains is theirs; the rest may still be someone else.
    const auto born_at = static_cast<std::size_t>(grid_.nearest(angle));
    unexplained_.erase(std::remove_if(unexplained_.begin(), unexplained_.end(),
                                      [&](const Unexplained &u) { return u.set.test(born_at); }),
                       unexplained_.end());
    if (nearest_track(angle, kMergeDeg) != nullptr) return;
    const bool steady = steady_at(angle);
    const auto talkers = std::count_if(tracks_.begin(), tracks_.end(), [](const Track &t) { return !t.steady; });
    if (!steady && talkers >= settings_.max_talkers) {
        // Room is made by forgetting the talker heard longest ago, unless all of them speak.
        auto oldest = std::min_element(tracks_.begin(), tracks_.end(), [](const Track &a, const Track &b) {
            return std::make_tuple(a.steady, a.speaking, a.last_voiced) < std::make_tuple(b.steady, b.speaking, b.last_voiced);
        });
        if (oldest->speaking) return;
        tracks_.erase(oldest);
    }
    Track born{steady ? kNoId : next_id_++, angle, {}, frame_, !steady, steady, {}, {}, {}, frame_, 0};
    tracks_.push_back(born);
}

// Those not heard for long are forgotten, and so is a newcomer heard too little to be a person:
// a room's ringing after a word.
void TalkerTracker::forget_silent() {
    const std::int64_t memory = frames_in(settings_.forget_s);
    const auto unheard = [&](const Track &t) {
        const bool passing = !t.steady && frame_ - t.born >= frames_in(kConfirmS) && t.heard_in_all < kConfirmFrames;
        return passing || (!t.speaking && frame_ - t.last_voiced > memory);
    };
    tracks_.erase(std::remove_if(tracks_.begin(), tracks_.end(), unheard), tracks_.end());
}

TalkerTracker::Track *TalkerTracker::nearest_track(double angle, double gate) {
    Track *best = nullptr;
    for (Track &t : tracks_) {
        const double d = std::fabs(grid_.difference(t.angle, angle));
        if (d <= gate && (best == nullptr || d < std::fabs(grid_.difference(best->angle, angle)))) best = &t;
    }
    return best;
}

void TalkerTracker::take_window_angle(double angle) {
    Track *track = nearest_track(angle, kWindowGateDeg);
    if (track == nullptr) {
        Unexplained window{frame_, {}, {}, angle};
        const int g0 = grid_.nearest(angle);
        for (int k = -kWindowVoteSpread; k <= kWindowVoteSpread; ++k) {
            int g = g0 + k;
            if (grid_.circular()) g = (g + grid_.size()) % grid_.size();
            if (g >= 0 && g < grid_.size()) window.set.set(static_cast<std::size_t>(g));
        }
        unexplained_.push_back(window);
        return;
    }
    track->heard_in_all += static_cast<std::int64_t>(kWindowVotes);
    auto &kept = track->window_angles;
    kept.push_back(angle);
    if (kept.size() > kWindowAnglesKept) kept.pop_front();
    // The mean of the angles near their median: a stray window moves nothing.
    std::vector<double> sorted(kept.begin(), kept.end());
    const double centre = track->angle;
    std::sort(sorted.begin(), sorted.end(), [&](double a, double b) {
        return grid_.difference(a, centre) < grid_.difference(b, centre);
    });
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    int n = 0;
    for (double a : sorted) {
        const double off = grid_.difference(a, median);
        if (std::fabs(off) <= kInlierDeg) {
            sum += off;
            ++n;
        }
    }
    track->angle = grid_.wrapped(median + sum / n);
}

const std::vector<Talker> &TalkerTracker::close_window(std::optional<int> angle) {
    const bool heard = window_frames_above_floor_ > 0 &&
                       window_frames_above_floor_ * kWindowShareAboveFloor >= window_frames_;
    if (angle && heard) take_window_angle(library_.source(*angle));
    window_frames_ = 0;
    window_frames_above_floor_ = 0;
    update();
    publish();
    return talkers_;
}

void TalkerTracker::publish() {
    std::vector<const Track *> by_id;
    for (const Track &t : tracks_)
        if (!t.steady) by_id.push_back(&t);
    std::sort(by_id.begin(), by_id.end(), [](const Track *a, const Track *b) { return a->id < b->id; });
    talkers_.clear();
    for (const Track *t : by_id) {
        double angle = std::round(t->angle * kDecimal) / kDecimal;
        if (grid_.circular() && angle >= 360) angle -= 360;
        talkers_.push_back({t->id, angle, t->speaking});
    }
}

} // namespace ssl_stream
