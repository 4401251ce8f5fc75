#include "locate.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "localiser.h"
#include "own_stdout.h"
#include "progress.h"
#include "sample_source.h"
#include "stop_request.h"
#include "tool_error.h"

namespace tools {

namespace {
void note(const std::string &text) { std::fprintf(stderr, "%s: %s\n", kLocateName, text.c_str()); }

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

std::vector<std::string> columns_for(const LocateOptions &options, const Localiser &localiser,
                                     const SampleSource &input) {
    auto columns = options.mode == "delays" ? delay_columns(localiser.pairs()) : direction_columns();
    if (input.live())
        for (auto &c : live_columns(input.can_overrun())) columns.push_back(std::move(c));
    return columns;
}

std::int64_t sample_limit(const LocateOptions &options, int sample_rate) {
    constexpr auto kEndless = std::numeric_limits<std::int64_t>::max();
    if (!options.seconds) return kEndless;
    // Beyond any input there is, and beyond what a 64-bit count holds.
    const double samples = *options.seconds * sample_rate;
    return samples < 0x1p62 ? std::llround(samples) : kEndless;
}

// The audio the rows cover: a window cut short by the stop is not reported.
void summarise(const RunTally &tally, std::int64_t samples_per_row, int sample_rate) {
    if (!stop_requested() && tally.overruns == 0) return;
    const std::string how = stop_requested() ? std::string("stopped by ") + strsignal(stop_signal())
                                             : std::string("finished");
    note(how + " after " + seconds_text(static_cast<double>(tally.rows * samples_per_row) / sample_rate) +
         " of audio: " + std::to_string(tally.rows) + " rows, overruns: " +
         std::to_string(tally.overruns));
}
} // namespace

void locate(const LocateOptions &options) {
    check_input_choice(options);
    const auto input = open_source(options);
    OwnStdout results;
    Localiser localiser(options, input->channels(), input->sample_rate());
    if (input->frames() && *input->frames() < localiser.samples_per_row())
        throw ToolError("the recording is shorter than one row (" +
                        std::to_string(localiser.samples_per_row()) + " samples per channel)");
    const auto writer = make_report_writer(options.format, results.stream(),
                                           columns_for(options, localiser, *input));
    if (input->live()) catch_stop_signals();
    const double total = input->frames() ? static_cast<double>(*input->frames()) / input->sample_rate() : 0;
    Progress progress(total, stderr_is_terminal(), results.is_terminal());
    const RunHooks hooks{
        [&] { progress.before_row(); },
        [&](double seconds) { progress.update(seconds); },
        [&](double seconds, int total_overruns) {
            note("overrun at " + seconds_text(seconds) + " of audio: samples lost (" +
                 std::to_string(total_overruns) + " so far)");
        }};
    const RunTally tally = localiser.run(*input, *writer, sample_limit(options, input->sample_rate()), hooks);
    results.close();
    summarise(tally, localiser.samples_per_row(), input->sample_rate());
}

} // namespace tools
