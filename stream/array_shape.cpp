#include "array_shape.h"

#include "stream_error.h"

namespace ssl_stream {

ArrayShape parse_shape(const std::string &word) {
    if (word == shape_word(ArrayShape::linear)) return ArrayShape::linear;
    if (word == shape_word(ArrayShape::circular)) return ArrayShape::circular;
    throw StreamError("unknown geometry '" + word + "' (use linear or circular)");
}

const char *shape_word(ArrayShape shape) { return shape == ArrayShape::linear ? "linear" : "circular"; }

int library_shape_code(ArrayShape shape) { return shape == ArrayShape::linear ? 0 : 1; }

} // namespace ssl_stream
