#include "locate_file.h"

#include "library_log.h"
#include "localiser.h"
#include "sound_file.h"
#include "stream_error.h"

namespace iaassl_py {

namespace {
constexpr std::int64_t kReadFrames = 4096;
}

FileRows locate_file(const std::string &path, const Options &options) {
    ssl_sound::SoundReader reader(path);
    if (!ssl_stream::supported_channels(reader.channels()))
        throw ssl_stream::StreamError("'" + path + "' " + ssl_stream::channels_problem(reader.channels()));
    auto stream = std::make_unique<ssl_stream::WindowStream>(
        checked_settings(reader.channels(), reader.sample_rate(), options), log_library_note);
    if (const auto problem = ssl_stream::short_recording_problem(reader.frames(), stream->samples_per_row()))
        throw ssl_stream::StreamError(*problem);
    FileRows result{reader.sample_rate(), {}};
    std::vector<std::int16_t> block(static_cast<std::size_t>(kReadFrames * reader.channels()));
    while (const std::int64_t got = reader.read(block.data(), kReadFrames))
        stream->feed(block.data(), static_cast<std::size_t>(got),
                     [&result](const ssl_stream::StreamRow &row) { result.rows.push_back(row); });
    return result;
}

} // namespace iaassl_py
