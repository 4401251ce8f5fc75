#include "raw_source.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "stop_request.h"
#include "tool_error.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "raw input is read as little-endian");

namespace tools {

namespace {
[[noreturn]] void fail() {
    throw ToolError(std::string("cannot read standard input: ") + std::strerror(errno));
}

// Waits for data; false when a stop was asked for meanwhile. A blocking read() would be
// restarted after the signal, poll() never is.
bool wait_for_input() {
    if (stop_requested()) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (poll(&input, 1, -1) < 0) {
        if (errno != EINTR) fail();
        if (stop_requested()) return false;
    }
    return true;
}
} // namespace

std::int64_t RawSource::read(std::int16_t *out, std::int64_t frames) {
    const std::size_t frame_bytes = sizeof *out * static_cast<std::size_t>(channels_);
    const std::size_t wanted = frame_bytes * static_cast<std::size_t>(frames);
    auto *bytes = reinterpret_cast<char *>(out);
    std::size_t got = 0;
    while (got < wanted && wait_for_input()) {
        const ssize_t n = ::read(STDIN_FILENO, bytes + got, wanted - got);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            fail();
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got / frame_bytes);
}

} // namespace tools
