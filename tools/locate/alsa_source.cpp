#include "alsa_source.h"

#include "stop_request.h"
#include "tool_error.h"

namespace tools {

namespace {
constexpr snd_pcm_format_t kFormat = SND_PCM_FORMAT_S16_LE;
// One library frame per period keeps a decided window no later than one frame.
constexpr snd_pcm_uframes_t kPeriodFrames = 128;
// Room for half a second of stalls before samples are lost.
constexpr unsigned kBufferMicroseconds = 500000;
// How often a wait for samples looks whether a stop was asked for.
constexpr int kWaitMilliseconds = 100;

// alsa-lib prints its own diagnostics to standard error; ours say it in one line.
void silent(const char *, int, const char *, int, const char *, ...) {}

std::string range_text(unsigned low, unsigned high) {
    return low == high ? std::to_string(low) : std::to_string(low) + " to " + std::to_string(high);
}

struct HwParams {
    HwParams() { snd_pcm_hw_params_malloc(&params); }
    ~HwParams() { snd_pcm_hw_params_free(params); }
    HwParams(const HwParams &) = delete;
    HwParams &operator=(const HwParams &) = delete;
    snd_pcm_hw_params_t *params = nullptr;
};
} // namespace

AlsaSource::AlsaSource(const std::string &device, int sample_rate, int channels)
    : device_(device), sample_rate_(sample_rate), channels_(channels) {
    snd_lib_error_set_handler(silent);
    const int opened = snd_pcm_open(&pcm_, device.c_str(), SND_PCM_STREAM_CAPTURE,
                                    SND_PCM_NONBLOCK | SND_PCM_NO_AUTO_RESAMPLE |
                                        SND_PCM_NO_AUTO_CHANNELS);
    if (opened < 0) {
        pcm_ = nullptr;
        snd_config_update_free_global();
        throw ToolError("cannot open device '" + device + "': " + snd_strerror(opened));
    }
    try {
        configure();
    } catch (...) {
        snd_pcm_close(pcm_);
        snd_config_update_free_global();
        throw;
    }
}

AlsaSource::~AlsaSource() {
    snd_pcm_close(pcm_);
    snd_config_update_free_global();
}

void AlsaSource::configure() {
    HwParams hw;
    snd_pcm_hw_params_any(pcm_, hw.params);
    if (snd_pcm_hw_params_set_access(pcm_, hw.params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm_, hw.params, kFormat) < 0 ||
        snd_pcm_hw_params_set_channels(pcm_, hw.params, static_cast<unsigned>(channels_)) < 0 ||
        snd_pcm_hw_params_set_rate(pcm_, hw.params, static_cast<unsigned>(sample_rate_), 0) < 0)
        throw ToolError("device '" + device_ + "' cannot capture " + std::to_string(channels_) +
                        " channels of " + snd_pcm_format_name(kFormat) + " at " +
                        std::to_string(sample_rate_) + " Hz; it offers " + offer());
    snd_pcm_uframes_t period = kPeriodFrames;
    unsigned buffer_time = kBufferMicroseconds;
    snd_pcm_hw_params_set_period_size_near(pcm_, hw.params, &period, nullptr);
    snd_pcm_hw_params_set_buffer_time_near(pcm_, hw.params, &buffer_time, nullptr);
    const int set = snd_pcm_hw_params(pcm_, hw.params);
    if (set < 0) throw ToolError("cannot set up device '" + device_ + "': " + snd_strerror(set));
    const int started = snd_pcm_start(pcm_);
    if (started < 0)
        throw ToolError("cannot start device '" + device_ + "': " + snd_strerror(started));
}

// What the device can do when asked for interleaved access; of the formats, only ours when it
// has it.
std::string AlsaSource::offer() const {
    HwParams hw;
    snd_pcm_hw_params_any(pcm_, hw.params);
    snd_pcm_hw_params_set_access(pcm_, hw.params, SND_PCM_ACCESS_RW_INTERLEAVED);
    unsigned low = 0, high = 0;
    snd_pcm_hw_params_get_channels_min(hw.params, &low);
    snd_pcm_hw_params_get_channels_max(hw.params, &high);
    std::string text = range_text(low, high) + " channels at ";
    // An open end of the interval lies just inside the bound given.
    int low_side = 0, high_side = 0;
    snd_pcm_hw_params_get_rate_min(hw.params, &low, &low_side);
    snd_pcm_hw_params_get_rate_max(hw.params, &high, &high_side);
    text += range_text(low + (low_side > 0), high - (high_side < 0)) + " Hz in";
    if (snd_pcm_hw_params_test_format(pcm_, hw.params, kFormat) == 0)
        return text + ' ' + snd_pcm_format_name(kFormat);
    for (int f = 0; f <= SND_PCM_FORMAT_LAST; ++f) {
        const auto format = static_cast<snd_pcm_format_t>(f);
        if (snd_pcm_hw_params_test_format(pcm_, hw.params, format) == 0)
            text += std::string(" ") + snd_pcm_format_name(format);
    }
    return text;
}

std::int64_t AlsaSource::read(std::int16_t *out, std::int64_t frames) {
    std::int64_t got = 0;
    while (got < frames && !stop_requested()) {
        const snd_pcm_sframes_t n =
            snd_pcm_readi(pcm_, out + got * channels_, static_cast<snd_pcm_uframes_t>(frames - got));
        if (n > 0) {
            got += n;
        } else if (n == 0 || n == -EAGAIN) {
            const int waited = snd_pcm_wait(pcm_, kWaitMilliseconds);
            if (waited < 0) recover(waited);
        } else if (n < 0) {
            recover(static_cast<int>(n));
        }
    }
    return got;
}

// An overrun or a suspend loses samples but not the stream: count it and carry on.
void AlsaSource::recover(int error) {
    if (error == -EPIPE || error == -ESTRPIPE) ++overruns_;
    const int recovered = snd_pcm_recover(pcm_, error, 1);
    if (recovered < 0)
        throw ToolError("cannot capture from '" + device_ + "': " + snd_strerror(error));
    if (error == -EPIPE || error == -ESTRPIPE) snd_pcm_start(pcm_);
}

int AlsaSource::take_overruns() {
    const int taken = overruns_;
    overruns_ = 0;
    return taken;
}

} // namespace tools
