// The length a WAV file's header declares. libsndfile reports the frames a file holds, so a
// file cut short would otherwise pass for a whole one.
#ifndef SSL_SOUND_WAV_HEADER_H
#define SSL_SOUND_WAV_HEADER_H

#include <cstdint>
#include <optional>
#include <string>

namespace ssl_sound {

// Frames of the 'data' chunk by its declared size and the 'fmt ' chunk's block size, for
// formats that hold one frame per block. Empty for anything but a RIFF WAVE file, and where the
// size is 0 or all ones: what a writer to a stream leaves, which cannot know the length.
std::optional<std::int64_t> wav_declared_frames(const std::string &path);

} // namespace ssl_sound

#endif
