#include "locate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "live_view_page.h"
#include "live_view_server.h"
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
    if (options.track) columns.push_back(kTalkersColumn);
    return columns;
}

std::int64_t sample_limit(const LocateOptions &options, int sample_rate) {
    constexpr auto kEndless = std::numeric_limits<std::int64_t>::max();
    if (!options.seconds) return kEndless;
    // Beyond any input there is, and beyond what a 64-bit count holds.
    const double samples = *options.seconds * sample_rate;
    return samples < 0x1p62 ? std::llround(samples) : kEndless;
}

std::string input_name(const LocateOptions &options) {
    if (!options.device.empty()) return options.device;
    return options.file == kStdinName ? "standard input" : options.file;
}

// A late viewer's trace starts full; very short windows would make that a long replay.
constexpr std::size_t kFewestBacklogRows = 64;
constexpr std::size_t kMostBacklogRows = 4096;

std::unique_ptr<LiveViewServer> start_live_view(const LocateOptions &options, const Localiser &localiser,
                                                const SampleSource &input) {
    const double row_seconds = static_cast<double>(localiser.samples_per_row()) / input.sample_rate();
    const LiveViewSetup setup{input_name(options), parse_shape(options.array.geometry), input.channels(),
                              options.array.spacing_cm, row_seconds};
    const auto history_rows = static_cast<std::size_t>(std::ceil(kLiveViewHistorySeconds / row_seconds));
    const ServeAddress address = parse_serve_address(options.serve);
    ViewAccess access{address.host, address.port, options.serve_hosts,
                      view_token(address.host, options.serve_token_file)};
    auto view = std::make_unique<LiveViewServer>(address, std::move(access), live_view_page(setup),
        std::clamp(history_rows, kFewestBacklogRows, kMostBacklogRows));
    note("live view on " + view->url());
    return view;
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
    if (const auto problem = ssl_stream::short_recording_problem(input->frames(), localiser.samples_per_row()))
        throw ToolError(*problem);
    const auto columns = columns_for(options, localiser, *input);
    // Before the header: a server that cannot start leaves no output behind.
    const auto view = options.serve.empty() ? nullptr : start_live_view(options, localiser, *input);
    auto writer = make_report_writer(options.format, results.stream(), columns);
    if (view) {
        writer = make_tee_writer(std::move(writer),
                                 make_object_line_writer(columns, [&view](const std::string &row) {
                                     view->publish(row);
                                 }));
    }
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
    if (view) view->end(tally.rows);
    summarise(tally, localiser.samples_per_row(), input->sample_rate());
}

} // namespace tools
