#include "sound_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "sample_convert.h"
#include "wav_header.h"

namespace ssl_sound {

namespace {

std::string system_reason(int error) {
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// What a WAV header leaves of its 32-bit size field, with room for its own chunks.
constexpr double kMostWavDataBytes = 4294967295.0 - 4096.0;

bool names_flac(const std::string &path) {
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".flac") == 0;
}

// WAV encodings whose every block is one frame, which the header's data size then counts.
bool frame_per_block_wav(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) return false;
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8: case SF_FORMAT_PCM_U8: case SF_FORMAT_PCM_16: case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32: case SF_FORMAT_FLOAT: case SF_FORMAT_DOUBLE: case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return true;
    default: return false;
    }
}

} // namespace

SoundReader::SoundReader(const std::string &path) : path_(path) {
    // libsndfile's messages for these say little about which of them it was.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw SoundFileError("cannot read '" + path + "': " + system_reason(errno));
    if (S_ISDIR(st.st_mode)) throw SoundFileError("cannot read '" + path + "': it is a directory");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr)
        throw SoundFileError("cannot read '" + path + "': " + sf_strerror(nullptr));
    // libsndfile counts only the frames a WAV file holds; a pipe's header may only guess.
    if (S_ISREG(st.st_mode) && frame_per_block_wav(info_.format))
        if (const auto declared = wav_declared_frames(path); declared && *declared > info_.frames)
            info_.frames = *declared;
}

SoundReader::~SoundReader() { sf_close(file_); }

std::optional<std::int64_t> SoundReader::frames() const {
    // libsndfile's word for a length the header does not give.
    if (info_.frames == SF_COUNT_MAX) return std::nullopt;
    return info_.frames;
}

std::int64_t SoundReader::counted(std::int64_t asked, sf_count_t got) {
    if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR)
        throw SoundFileError("cannot read '" + path_ + "': " + sf_strerror(file_));
    position_ += got;
    // Some decoders report a damaged or cut file only by returning nothing more. A stream's
    // header may only guess its length (a recorder writing to a pipe cannot know it), so only a
    // file is held to the length it declares.
    if (got < asked && info_.seekable && frames() && position_ < *frames())
        throw SoundFileError("cannot read '" + path_ + "': it ends after " + std::to_string(position_) +
                        " of the " + std::to_string(info_.frames) + " frames it declares");
    return got;
}

std::int64_t SoundReader::read(std::int16_t *out, std::int64_t frames) {
    // Read as float and convert here: libsndfile would scale a floating-point file to its own
    // peak, which it cannot even find in a pipe.
    scratch_.resize(static_cast<std::size_t>(frames * info_.channels));
    const std::int64_t got = read(scratch_.data(), frames);
    const auto samples = static_cast<std::ptrdiff_t>(got * info_.channels);
    std::transform(scratch_.begin(), scratch_.begin() + samples, out, ssl_stream::int16_from_float);
    return got;
}

std::int64_t SoundReader::read(float *out, std::int64_t frames) {
    return counted(frames, sf_readf_float(file_, out, frames));
}

void SoundReader::rewind() {
    if (sf_seek(file_, 0, SEEK_SET) != 0)
        throw SoundFileError("cannot read '" + path_ + "' twice: it must be a file, not a stream");
    position_ = 0;
}

void ensure_room_for(const std::string &path, int channels, SampleFormat format,
                     std::int64_t frames) {
    const double bytes = static_cast<double>(frames) * channels *
                         (format == SampleFormat::float32 ? sizeof(float) : sizeof(std::int16_t));
    if (!names_flac(path) && bytes > kMostWavDataBytes)
        throw SoundFileError("cannot write '" + path + "': a WAV file holds at most 4 GiB of samples; "
                        "write a .flac or less");
}

SoundWriter::SoundWriter(const std::string &path, int sample_rate, int channels,
                         SampleFormat format)
    : path_(path), channels_(channels) {
    const bool flac = names_flac(path);
    if (flac && format == SampleFormat::float32)
        throw SoundFileError("FLAC holds no floating-point samples; write a .wav");
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = channels;
    info.format = (flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) |
                  (format == SampleFormat::float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_ == nullptr) throw SoundFileError("cannot write '" + path + "': " + sf_strerror(nullptr));
}

SoundWriter::~SoundWriter() {
    if (file_ != nullptr) sf_close(file_);
}

void SoundWriter::write(const std::vector<float> &interleaved) {
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels_;
    if (sf_writef_float(file_, interleaved.data(), frames) != frames)
        throw SoundFileError("cannot write '" + path_ + "': " + sf_strerror(file_));
}

void SoundWriter::close() {
    // The header is completed here, so a full disk may first show now.
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) throw SoundFileError("cannot write '" + path_ + "': " + sf_error_number(closed));
}

} // namespace ssl_sound
