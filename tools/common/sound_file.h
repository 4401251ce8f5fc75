// libsndfile behind a small interface: any format it reads, converted to what the caller wants.
#ifndef TOOLS_SOUND_FILE_H
#define TOOLS_SOUND_FILE_H

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

class SoundReader {
public:
    explicit SoundReader(const std::string &path);
    ~SoundReader();
    SoundReader(const SoundReader &) = delete;
    SoundReader &operator=(const SoundReader &) = delete;

    int channels() const { return info_.channels; }
    int sample_rate() const { return info_.samplerate; }
    std::int64_t frames() const { return info_.frames; }

    // Reads up to `frames` interleaved frames; returns how many it read (0 at the end).
    std::int64_t read(std::int16_t *out, std::int64_t frames);
    std::int64_t read(float *out, std::int64_t frames);

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE *file_ = nullptr;
};

enum class SampleFormat { pcm16, float32 };

// Writes interleaved samples in -1..1: FLAC when the name ends in .flac, WAV otherwise.
void write_sound(const std::string &path, int sample_rate, int channels, SampleFormat format,
                 const std::vector<float> &interleaved);

} // namespace tools

#endif
