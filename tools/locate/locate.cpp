#include "locate.h"

#include <string>

#include "localiser.h"
#include "own_stdout.h"
#include "progress.h"
#include "tool_error.h"

namespace tools {

void locate(const LocateOptions &options) {
    SoundReader input(options.file);
    if (input.channels() != 2 && input.channels() != 4)
        throw ToolError("'" + options.file + "' has " + std::to_string(input.channels()) +
                        " channels; only 2 or 4 are supported");
    // Before the row's buffer is sized: a long row asked of a short file must not cost memory.
    const std::int64_t row_samples = std::int64_t{frames_per_row(options)} * kFrameSamples;
    if (input.frames() < row_samples)
        throw ToolError("the recording is shorter than one row (" + std::to_string(row_samples) +
                        " samples per channel)");
    OwnStdout results;
    Localiser localiser(options, input.channels(), input.sample_rate());
    const auto writer = make_report_writer(options.format, results.stream(),
                                           options.mode == "delays"
                                               ? delay_columns(localiser.pairs())
                                               : direction_columns());
    Progress progress(static_cast<double>(input.frames()) / input.sample_rate(),
                      stderr_is_terminal());
    localiser.run(input, *writer, [&](double seconds) { progress.update(seconds); });
}

} // namespace tools
