#include "sound_file.h"

#include <sys/stat.h>

#include "tool_error.h"

namespace tools {

SoundReader::SoundReader(const std::string &path) : path_(path) {
    // libsndfile's messages for these say little about which of them it was.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw ToolError("cannot read '" + path + "': no such file");
    if (S_ISDIR(st.st_mode)) throw ToolError("cannot read '" + path + "': it is a directory");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr)
        throw ToolError("cannot read '" + path + "': " + sf_strerror(nullptr));
    // Floating-point files hold -1..1; scale them onto the full 16-bit range.
    sf_command(file_, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
}

SoundReader::~SoundReader() { sf_close(file_); }

std::int64_t SoundReader::read(std::int16_t *out, std::int64_t frames) {
    const sf_count_t got = sf_readf_short(file_, out, frames);
    if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR)
        throw ToolError("cannot read '" + path_ + "': " + sf_strerror(file_));
    return got;
}

std::int64_t SoundReader::read(float *out, std::int64_t frames) {
    const sf_count_t got = sf_readf_float(file_, out, frames);
    if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR)
        throw ToolError("cannot read '" + path_ + "': " + sf_strerror(file_));
    return got;
}

void write_sound(const std::string &path, int sample_rate, int channels, SampleFormat format,
                 const std::vector<float> &interleaved) {
    const bool flac = path.size() >= 5 && path.compare(path.size() - 5, 5, ".flac") == 0;
    if (flac && format == SampleFormat::float32)
        throw ToolError("FLAC holds no floating-point samples; write a .wav");
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = channels;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) |
                  (format == SampleFormat::float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw ToolError("cannot write '" + path + "': " + sf_strerror(nullptr));
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const sf_count_t written = sf_writef_float(file, interleaved.data(), frames);
    sf_close(file);
    if (written != frames) throw ToolError("cannot write '" + path + "': disk full?");
}

} // namespace tools
