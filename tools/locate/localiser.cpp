#include "localiser.h"

#include <cstdio>
#include <string>

#include "stop_request.h"
#include "tool_error.h"
#include "wall_clock.h"

namespace tools {

namespace {
// The rates the library accepts; it only says that a rate is wrong, not which are right.
constexpr const char *kSupportedRates = "8000, 16000, 32000, 48000 Hz";

std::string hex(std::int32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}
} // namespace

int frames_per_row(const LocateOptions &options) {
    return options.mode == "delays" ? 1 : options.frames;
}

Localiser::Localiser(const LocateOptions &options, int channels, int sample_rate)
    : library_(channels), channels_(channels), sample_rate_(sample_rate),
      delays_mode_(options.mode == "delays"), frames_per_row_(frames_per_row(options)),
      memory_((library_.get_buffer_size() + 3) / 4),
      frame_(static_cast<std::size_t>(kFrameSamples * channels)),
      delays_(static_cast<std::size_t>(channels - 1)) {
    const SslInit init{kFrameSamples, static_cast<std::uint32_t>(sample_rate),
                       static_cast<float>(options.array.spacing_cm), delays_mode_ ? 1u : 0u,
                       channels};
    handle_ = library_.init(reinterpret_cast<char *>(memory_.data()), &init);
    if (handle_ == nullptr) throw ToolError("the library refused to start");
    const SslConfig config{static_cast<std::uint32_t>(options.array.temperature_c), options.gate_db,
                           static_cast<std::uint32_t>(options.frames)};
    const std::int32_t configured = library_.config(handle_, &config);
    if (configured == SSL_RET_INVALID_SAMPLE_RATE)
        throw ToolError("unsupported sample rate " + std::to_string(sample_rate) +
                        " Hz (supported: " + kSupportedRates + ")");
    check(configured, "Config");
    check(library_.set_shape(handle_, library_shape_code(parse_shape(options.array.geometry))),
          "Set_Shape");
    const std::int32_t params = library_.cal_params(handle_);
    if (params == SSL_RET_GEOMETRY_NOT_LINEAR)
        throw ToolError("a 2-channel recording needs --geometry linear");
    check(params, "Cal_Params");
}

Localiser::~Localiser() { library_.free(handle_); }

std::int64_t Localiser::samples_per_row() const {
    return static_cast<std::int64_t>(frames_per_row_) * kFrameSamples;
}

void Localiser::check(std::int32_t code, const char *call) {
    if (code != SSL_RET_OK) throw ToolError(std::string("the library's ") + call + " failed with " + hex(code));
}

RunTally Localiser::run(SampleSource &input, ReportWriter &writer, std::int64_t max_samples,
                        const RunHooks &hooks) {
    RunTally tally;
    int frames_in_row = 0;
    int overruns_in_row = 0;
    // A frame read in part never runs, and a window run in part is never reported.
    while (tally.samples + kFrameSamples <= max_samples && !stop_requested() &&
           input.read(frame_.data(), kFrameSamples) == kFrameSamples) {
        if (const int lost = input.take_overruns()) {
            overruns_in_row += lost;
            tally.overruns += lost;
            hooks.on_overrun(static_cast<double>(tally.samples) / sample_rate_, tally.overruns);
        }
        run_frame();
        tally.samples += kFrameSamples;
        if (++frames_in_row < frames_per_row_) continue;
        std::optional<LiveStamp> live;
        if (input.live())
            live = LiveStamp{wall_clock_now(),
                             input.can_overrun() ? std::optional<int>(overruns_in_row) : std::nullopt};
        hooks.before_row();
        emit(tally.samples - samples_per_row(), live, writer);
        ++tally.rows;
        frames_in_row = 0;
        overruns_in_row = 0;
        hooks.after_row(static_cast<double>(tally.samples) / sample_rate_);
    }
    writer.finish();
    return tally;
}

void Localiser::run_frame() { check(library_.run(handle_, frame_.data(), delays_.data()), "Run"); }

void Localiser::emit(std::int64_t start_sample, const std::optional<LiveStamp> &live,
                     ReportWriter &writer) {
    const double time_s = static_cast<double>(start_sample) / sample_rate_;
    if (delays_mode_) {
        DelayRow row{time_s, {}, live};
        for (std::int32_t d : delays_)
            row.delays.push_back(d == SSL_DELAY_REJECTED ? std::nullopt : std::optional<int>(d));
        writer.row(row);
        return;
    }
    std::int32_t angle = SSL_NO_ANGLE;
    const std::int32_t code = library_.get_direction(handle_, &angle);
    DirectionRow row{time_s, Outcome::angle, std::nullopt, live};
    switch (code) {
    case SSL_RET_OK: row.angle = angle; break;
    case SSL_RET_BELOW_NOISE_GATE: row.outcome = Outcome::below_gate; break;
    case SSL_RET_NO_DIRECTION: row.outcome = Outcome::no_direction; break;
    case SSL_RET_DELAY_TOO_LARGE: row.outcome = Outcome::delay_too_large; break;
    default: check(code, "Get_Direction");
    }
    writer.row(row);
    check(library_.reset_mapping(handle_), "Reset_Mapping");
}

} // namespace tools
