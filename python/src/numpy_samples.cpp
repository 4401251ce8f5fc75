#include "numpy_samples.h"

#include <string>

#include "stream_error.h"

namespace py = pybind11;
using ssl_stream::StreamError;

namespace iaassl_py {

namespace {
SampleType sample_type(const py::array &samples) {
    if (py::isinstance<py::array_t<std::int16_t>>(samples)) return SampleType::int16;
    if (py::isinstance<py::array_t<float>>(samples)) return SampleType::float32;
    if (py::isinstance<py::array_t<double>>(samples)) return SampleType::float64;
    throw StreamError("samples must be int16, float32 or float64, not " + std::string(py::str(samples.dtype())));
}

} // namespace

SampleArray sample_array(const py::array &samples, int channels) {
    if (samples.ndim() != 2)
        throw StreamError("samples must be a 2-D array (frames, channels), not " +
                          std::to_string(samples.ndim()) + "-D");
    if (samples.shape(1) != channels)
        throw StreamError("the samples have " + std::to_string(samples.shape(1)) +
                          " channels; this Localiser takes " + std::to_string(channels));
    SampleArray s;
    s.type = sample_type(samples);
    s.data = static_cast<const char *>(samples.data());
    s.frames = samples.shape(0);
    s.channels = channels;
    s.frame_stride = samples.strides(0);
    s.channel_stride = samples.strides(1);
    return s;
}

} // namespace iaassl_py
