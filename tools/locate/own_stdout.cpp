#include "own_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include "tool_error.h"

namespace tools {

OwnStdout::OwnStdout() {
    std::fflush(stdout);
    const int results = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (results < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0)
        throw ToolError("cannot set up standard output");
    close(null);
    out_ = fdopen(results, "w");
    if (out_ == nullptr) throw ToolError("cannot set up standard output");
}

OwnStdout::~OwnStdout() {
    std::fflush(stdout);
    std::fclose(out_);
}

} // namespace tools
