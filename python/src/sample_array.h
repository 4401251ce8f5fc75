// Samples as a NumPy array holds them, seen by the stream: 16-bit or floating point, in any
// memory layout (C or Fortran order, views with any strides).
#ifndef IAASSL_PY_SAMPLE_ARRAY_H
#define IAASSL_PY_SAMPLE_ARRAY_H

#include <cstdint>

#include "window_stream.h"

namespace iaassl_py {

enum class SampleType { int16, float32, float64 };

// Element (frame, channel) lies at data + frame * frame_stride + channel * channel_stride bytes.
struct SampleArray {
    const char *data = nullptr;
    SampleType type = SampleType::int16;
    std::int64_t frames = 0;
    int channels = 0;
    std::int64_t frame_stride = 0;
    std::int64_t channel_stride = 0;
};

// Hands every frame of `samples` to `stream`, floating point converted by the tool's rule.
void feed_samples(ssl_stream::WindowStream &stream, const SampleArray &samples,
                  const ssl_stream::RowSink &sink);

} // namespace iaassl_py

#endif
