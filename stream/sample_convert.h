// How floating-point audio becomes the library's 16-bit samples, the same for every input.
#ifndef SSL_STREAM_SAMPLE_CONVERT_H
#define SSL_STREAM_SAMPLE_CONVERT_H

#include <cstdint>

namespace ssl_stream {

// Full scale is -1..1; beyond it clips, and NaN is silence.
std::int16_t int16_from_float(float v);

} // namespace ssl_stream

#endif
