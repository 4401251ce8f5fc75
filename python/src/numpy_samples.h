// A NumPy array of samples checked and seen as the stream takes it, without a copy. A wrong
// shape, channel count or dtype is a StreamError. The interpreter lock must be held.
#ifndef IAASSL_PY_NUMPY_SAMPLES_H
#define IAASSL_PY_NUMPY_SAMPLES_H

#include <pybind11/numpy.h>

#include "sample_array.h"

namespace iaassl_py {

// The array must outlive every use of what this returns.
SampleArray sample_array(const pybind11::array &samples, int channels);

} // namespace iaassl_py

#endif
