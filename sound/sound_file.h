// libsndfile behind a small interface: any format it reads, converted to what the caller wants.
#ifndef SSL_SOUND_SOUND_FILE_H
#define SSL_SOUND_SOUND_FILE_H

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ssl_sound {

// A file that cannot be read or written as asked, worded for the person who named it.
class SoundFileError : public std::runtime_error {
public:
    explicit SoundFileError(const std::string &message) : std::runtime_error(message) {}
};

class SoundReader {
public:
    explicit SoundReader(const std::string &path);
    ~SoundReader();
    SoundReader(const SoundReader &) = delete;
    SoundReader &operator=(const SoundReader &) = delete;

    int channels() const { return info_.channels; }
    int sample_rate() const { return info_.samplerate; }
    // Empty where the header leaves the length unknown, as a FLAC stream written to a pipe does.
    std::optional<std::int64_t> frames() const;

    // Read up to `frames` interleaved frames; return how many they read (0 at the end). A file
    // (not a pipe) that ends before the frames its header declares is an error, not an early end;
    // one of unknown length is read to its end, and only the decoder can call it damaged.
    // 16 bits: full scale is -1..1 whatever the file holds; beyond it clips, NaN reads as 0.
    std::int64_t read(std::int16_t *out, std::int64_t frames);
    std::int64_t read(float *out, std::int64_t frames);

    // Back to the first frame, for another pass over the file.
    void rewind();

private:
    std::int64_t counted(std::int64_t asked, sf_count_t got);

    std::string path_;
    SF_INFO info_{};
    SNDFILE *file_ = nullptr;
    std::int64_t position_ = 0;
    std::vector<float> scratch_;
};

enum class SampleFormat { pcm16, float32 };

// Refuses a recording of `frames` that the file named `path` cannot hold: a WAV file counts its
// bytes in 32 bits, and past them libsndfile writes a file that reads back shorter.
void ensure_room_for(const std::string &path, int channels, SampleFormat format,
                     std::int64_t frames);

// Writes interleaved samples in -1..1 block by block: FLAC when the name ends in .flac, WAV
// otherwise. Nothing counts as written until close() has succeeded.
class SoundWriter {
public:
    SoundWriter(const std::string &path, int sample_rate, int channels, SampleFormat format);
    ~SoundWriter();
    SoundWriter(const SoundWriter &) = delete;
    SoundWriter &operator=(const SoundWriter &) = delete;

    void write(const std::vector<float> &interleaved);
    void close();

private:
    std::string path_;
    int channels_;
    SNDFILE *file_ = nullptr;
};

} // namespace ssl_sound

#endif
