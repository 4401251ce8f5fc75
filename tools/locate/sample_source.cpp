#include "sample_source.h"

#include "alsa_source.h"
#include "file_source.h"
#include "raw_source.h"
#include "tool_error.h"

namespace tools {

namespace {
// libsndfile reads a WAV or FLAC stream from a pipe through its name.
constexpr const char *kStandardInput = "/dev/stdin";

std::unique_ptr<SampleSource> open_input(const LocateOptions &options) {
    if (!options.device.empty())
        return std::make_unique<AlsaSource>(options.device, options.rate, options.channels);
    if (options.file != kStdinName) return std::make_unique<FileSource>(options.file, false);
    if (options.raw_rate > 0) return std::make_unique<RawSource>(options.raw_rate, options.raw_channels);
    return std::make_unique<FileSource>(kStandardInput, true);
}

std::string input_name(const LocateOptions &options) {
    if (options.file == kStdinName) return "standard input";
    return "'" + options.file + "'";
}
} // namespace

std::unique_ptr<SampleSource> open_source(const LocateOptions &options) {
    auto source = open_input(options);
    if (source->channels() != 2 && source->channels() != 4)
        throw ToolError(input_name(options) + " has " + std::to_string(source->channels()) +
                        " channels; only 2 or 4 are supported");
    return source;
}

} // namespace tools
