#include "sample_array.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "sample_convert.h"

namespace iaassl_py {

namespace {
// Frames converted at a time: the copy stays small however long the array.
constexpr std::int64_t kBlockFrames = 4096;

bool is_interleaved_int16(const SampleArray &s) {
    constexpr auto kSize = static_cast<std::int64_t>(sizeof(std::int16_t));
    return s.type == SampleType::int16 && s.channel_stride == kSize &&
           s.frame_stride == kSize * s.channels;
}

template <typename T> std::int16_t sample_as_int16(const char *at) {
    T value;
    std::copy_n(at, sizeof value, reinterpret_cast<char *>(&value));
    if constexpr (std::is_same_v<T, std::int16_t>)
        return value;
    else
        // A double is narrowed first, as libsndfile hands the tool a 64-bit file's samples.
        return ssl_stream::int16_from_float(static_cast<float>(value));
}

template <typename T>
void copy_block(const SampleArray &s, std::int64_t first, std::int64_t count, std::int16_t *out) {
    for (std::int64_t f = first; f < first + count; ++f) {
        const char *frame = s.data + f * s.frame_stride;
        for (int c = 0; c < s.channels; ++c) *out++ = sample_as_int16<T>(frame + c * s.channel_stride);
    }
}

void copy_interleaved(const SampleArray &s, std::int64_t first, std::int64_t count, std::int16_t *out) {
    switch (s.type) {
    case SampleType::int16: copy_block<std::int16_t>(s, first, count, out); break;
    case SampleType::float32: copy_block<float>(s, first, count, out); break;
    case SampleType::float64: copy_block<double>(s, first, count, out); break;
    }
}
} // namespace

void feed_samples(ssl_stream::WindowStream &stream, const SampleArray &samples,
                  const ssl_stream::RowSink &sink) {
    if (is_interleaved_int16(samples)) {
        stream.feed(reinterpret_cast<const std::int16_t *>(samples.data),
                    static_cast<std::size_t>(samples.frames), sink);
        return;
    }
    std::vector<std::int16_t> block(static_cast<std::size_t>(std::min(samples.frames, kBlockFrames) *
                                                             samples.channels));
    for (std::int64_t first = 0; first < samples.frames; first += kBlockFrames) {
        const std::int64_t count = std::min(kBlockFrames, samples.frames - first);
        copy_interleaved(samples, first, count, block.data());
        stream.feed(block.data(), static_cast<std::size_t>(count), sink);
    }
}

} // namespace iaassl_py
