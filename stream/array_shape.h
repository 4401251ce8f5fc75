// The two array shapes the library knows, by the names every face of it uses.
#ifndef SSL_STREAM_ARRAY_SHAPE_H
#define SSL_STREAM_ARRAY_SHAPE_H

#include <string>

namespace ssl_stream {

enum class ArrayShape { linear, circular };

// A StreamError names the accepted words.
ArrayShape parse_shape(const std::string &word);
const char *shape_word(ArrayShape shape);
// The value IaaSsl_Set_Shape takes.
int library_shape_code(ArrayShape shape);

} // namespace ssl_stream

#endif
