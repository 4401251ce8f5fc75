#include "localiser.h"

#include "stop_request.h"
#include "wall_clock.h"

namespace tools {

using ssl_stream::kFrameSamples;

ssl_stream::StreamSettings stream_settings(const LocateOptions &options, int channels, int sample_rate) {
    ssl_stream::StreamSettings settings;
    settings.channels = channels;
    settings.sample_rate = sample_rate;
    settings.shape = ssl_stream::parse_shape(options.array.geometry);
    settings.spacing_cm = options.array.spacing_cm;
    settings.temperature_c = options.array.temperature_c;
    settings.gate_db = options.gate_db;
    settings.frames = options.frames;
    settings.mode = ssl_stream::parse_mode(options.mode);
    settings.track = options.track;
    settings.forget_s = options.forget_s;
    settings.max_talkers = options.max_talkers;
    return settings;
}

Localiser::Localiser(const LocateOptions &options, int channels, int sample_rate)
    // No receiver: the library's notes are dropped, and standard output holds the results alone.
    : stream_(stream_settings(options, channels, sample_rate), ssl_stream::NoteReceiver()),
      frame_(static_cast<std::size_t>(kFrameSamples * channels)) {}

RunTally Localiser::run(SampleSource &input, ReportWriter &writer, std::int64_t max_samples,
                        const RunHooks &hooks) {
    const int sample_rate = stream_.settings().sample_rate;
    const bool delays_mode = stream_.settings().mode == ssl_stream::Mode::delays;
    const bool tracking = stream_.settings().track;
    RunTally tally;
    int overruns_in_row = 0;
    const auto write_row = [&](const ssl_stream::StreamRow &r) {
        std::optional<LiveStamp> live;
        if (input.live())
            live = LiveStamp{wall_clock_now(),
                             input.can_overrun() ? std::optional<int>(overruns_in_row) : std::nullopt};
        hooks.before_row();
        const double time_s = static_cast<double>(r.start_sample) / sample_rate;
        if (delays_mode)
            writer.row(DelayRow{time_s, r.delays, live});
        else
            writer.row(DirectionRow{time_s, r.outcome, r.angle, live,
                                    tracking ? std::optional(r.talkers) : std::nullopt});
        ++tally.rows;
        overruns_in_row = 0;
        hooks.after_row(static_cast<double>(tally.samples) / sample_rate);
    };
    // A frame read in part never runs, and a window run in part is never reported.
    while (tally.samples + kFrameSamples <= max_samples && !stop_requested() &&
           input.read(frame_.data(), kFrameSamples) == kFrameSamples) {
        if (const int lost = input.take_overruns()) {
            overruns_in_row += lost;
            tally.overruns += lost;
            hooks.on_overrun(static_cast<double>(tally.samples) / sample_rate, tally.overruns);
        }
        tally.samples += kFrameSamples;
        stream_.feed(frame_.data(), kFrameSamples, write_row);
    }
    writer.finish();
    return tally;
}

} // namespace tools
