// A meeting: talkers who each speak in their own intervals, from their own direction.
#ifndef TOOLS_MEETING_H
#define TOOLS_MEETING_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source_signal.h"

namespace tools {

struct Interval {
    double from_s;
    double to_s;
};

struct Talker {
    std::string source; // a mono file, or "noise"
    double angle_deg;
    std::vector<Interval> times; // ascending, apart
};

// FROM-TO[,FROM-TO...] in seconds: each interval ends after it starts and none before the last.
std::vector<Interval> parse_times(const std::string &text);

// The talkers of the --talker values, taken three at a time: SOURCE ANGLE TIMES.
std::vector<Talker> parse_talkers(const std::vector<std::string> &values);

// Where the last interval of any talker ends.
double meeting_end_s(const std::vector<Talker> &talkers);

// The samples [first, end) of a talker's interval at a rate.
struct SampleSpan {
    std::int64_t first;
    std::int64_t end;
};
std::vector<SampleSpan> sample_spans(const std::vector<Interval> &times, int sample_rate);

// `length` samples that are the recording within `spans` and silence between them; each span
// goes on where the one before it stopped, from the recording's start again once it runs out.
std::unique_ptr<MonoSource> talking_in(std::unique_ptr<MonoSource> recording,
                                       std::vector<SampleSpan> spans, std::int64_t length);

// A seed for the stream `stream` of a run seeded by `seed`, unrelated to any other stream's.
unsigned derived_seed(unsigned seed, unsigned stream);

} // namespace tools

#endif
