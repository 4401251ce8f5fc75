#include "own_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tool_error.h"

namespace tools {

OwnStdout::OwnStdout() {
    std::fflush(stdout);
    const int results = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (results < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0)
        throw ToolError("cannot set up standard output");
    ::close(null);
    out_ = fdopen(results, "w");
    if (out_ == nullptr) throw ToolError("cannot set up standard output");
}

OwnStdout::~OwnStdout() {
    std::fflush(stdout);
    if (out_ != nullptr) std::fclose(out_);
}

bool OwnStdout::is_terminal() const { return isatty(fileno(out_)) == 1; }

void OwnStdout::close() {
    std::FILE *out = out_;
    out_ = nullptr;
    if (std::fclose(out) != 0)
        throw ToolError(std::string("cannot write the results: ") + std::strerror(errno));
}

} // namespace tools
