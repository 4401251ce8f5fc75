#include "meeting.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <sstream>

#include "cli.h"
#include "tool_error.h"

namespace tools {

namespace {
std::optional<double> finite_value(const std::string &text) {
    double value = 0;
    if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value)) return std::nullopt;
    return value;
}

// A minus may also sit in an exponent ("1e-3-2"): the split is where both sides are numbers.
std::optional<Interval> parse_interval(const std::string &text) {
    for (std::size_t dash = text.find('-', 1); dash != std::string::npos;
         dash = text.find('-', dash + 1)) {
        const auto from = finite_value(text.substr(0, dash));
        const auto to = finite_value(text.substr(dash + 1));
        if (from && to) return Interval{*from, *to};
    }
    return std::nullopt;
}

ToolError bad_times(const std::string &times, const std::string &why) {
    return ToolError("--talker: times '" + times + "': " + why);
}

class TalkingSource : public MonoSource {
public:
    TalkingSource(std::unique_ptr<MonoSource> recording, std::vector<SampleSpan> spans,
                  std::int64_t length)
        : recording_(std::move(recording)), spans_(std::move(spans)), length_(length) {}
    int sample_rate() const override { return recording_->sample_rate(); }
    std::int64_t length() const override { return length_; }
    void restart() override {
        recording_->restart();
        played_ = 0;
        next_ = 0;
        span_ = 0;
    }
    void read(float *out, std::size_t samples) override {
        const std::int64_t end = next_ + static_cast<std::int64_t>(samples);
        while (next_ < end) {
            while (span_ < spans_.size() && spans_[span_].end <= next_) ++span_;
            const bool talking = span_ < spans_.size() && spans_[span_].first <= next_;
            const std::int64_t until =
                span_ == spans_.size()
                    ? end
                    : std::min(end, talking ? spans_[span_].end : spans_[span_].first);
            const auto count = static_cast<std::size_t>(until - next_);
            if (talking)
                play(out, count);
            else
                std::fill_n(out, count, 0.0f);
            out += count;
            next_ = until;
        }
    }

private:
    void play(float *out, std::size_t samples) {
        while (samples > 0) {
            if (played_ == recording_->length()) {
                recording_->restart();
                played_ = 0;
            }
            const std::int64_t left = recording_->length() - played_;
            const auto count = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(samples), left));
            recording_->read(out, count);
            played_ += static_cast<std::int64_t>(count);
            out += count;
            samples -= count;
        }
    }

    std::unique_ptr<MonoSource> recording_;
    std::vector<SampleSpan> spans_;
    std::int64_t length_;
    std::int64_t played_ = 0; // of the recording since its start
    std::int64_t next_ = 0;
    std::size_t span_ = 0;
};
} // namespace

std::vector<Interval> parse_times(const std::string &text) {
    std::vector<Interval> times;
    std::string item;
    std::istringstream items(text);
    while (std::getline(items, item, ',')) {
        const auto interval = parse_interval(item);
        if (!interval) throw bad_times(text, "'" + item + "' is not FROM-TO in seconds");
        if (interval->from_s < 0) throw bad_times(text, "'" + item + "' starts before 0");
        if (interval->to_s <= interval->from_s)
            throw bad_times(text, "'" + item + "' does not end after it starts");
        if (!times.empty() && interval->from_s < times.back().to_s)
            throw bad_times(text, "'" + item + "' starts before the interval before it ends");
        times.push_back(*interval);
    }
    if (times.empty() || text.back() == ',') throw bad_times(text, "FROM-TO in seconds expected");
    return times;
}

std::vector<Talker> parse_talkers(const std::vector<std::string> &values) {
    constexpr std::size_t kValues = 3;
    if (values.size() % kValues != 0)
        throw ToolError("--talker: SOURCE ANGLE TIMES expected, three values each time");
    std::vector<Talker> talkers;
    for (std::size_t i = 0; i < values.size(); i += kValues) {
        std::string angle = values[i + 1];
        const std::string problem = finite_number()(angle);
        if (!problem.empty()) throw ToolError("--talker: " + problem);
        talkers.push_back({values[i], *finite_value(angle), parse_times(values[i + 2])});
    }
    return talkers;
}

double meeting_end_s(const std::vector<Talker> &talkers) {
    double end = 0.0;
    for (const Talker &t : talkers) end = std::max(end, t.times.back().to_s);
    return end;
}

std::vector<SampleSpan> sample_spans(const std::vector<Interval> &times, int sample_rate) {
    std::vector<SampleSpan> spans;
    for (const Interval &i : times)
        spans.push_back({std::llround(i.from_s * sample_rate), std::llround(i.to_s * sample_rate)});
    return spans;
}

std::unique_ptr<MonoSource> talking_in(std::unique_ptr<MonoSource> recording,
                                       std::vector<SampleSpan> spans, std::int64_t length) {
    return std::make_unique<TalkingSource>(std::move(recording), std::move(spans), length);
}

unsigned derived_seed(unsigned seed, unsigned stream) {
    std::seed_seq sequence{seed, stream};
    unsigned derived = 0;
    sequence.generate(&derived, &derived + 1);
    return derived;
}

} // namespace tools
