// A fault in what the caller asked for or handed in, worded for the person who made it.
#ifndef SSL_STREAM_STREAM_ERROR_H
#define SSL_STREAM_STREAM_ERROR_H

#include <stdexcept>
#include <string>

namespace ssl_stream {

class StreamError : public std::runtime_error {
public:
    explicit StreamError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace ssl_stream

#endif
