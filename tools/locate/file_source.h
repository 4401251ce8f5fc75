// A recording libsndfile reads: a finished file, or a WAV/FLAC stream on standard input.
#ifndef TOOLS_FILE_SOURCE_H
#define TOOLS_FILE_SOURCE_H

#include <string>

#include "sample_source.h"
#include "sound_file.h"

namespace tools {

class FileSource : public SampleSource {
public:
    // `stream`: the length is not known before the run, and rows carry their capture time.
    FileSource(const std::string &path, bool stream) : reader_(path), stream_(stream) {}

    int channels() const override { return reader_.channels(); }
    int sample_rate() const override { return reader_.sample_rate(); }
    std::optional<std::int64_t> frames() const override {
        return stream_ ? std::nullopt : reader_.frames();
    }
    bool live() const override { return stream_; }
    std::int64_t read(std::int16_t *out, std::int64_t frames) override {
        return reader_.read(out, frames);
    }

private:
    ssl_sound::SoundReader reader_;
    bool stream_;
};

} // namespace tools

#endif
