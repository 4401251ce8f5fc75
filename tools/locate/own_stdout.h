// The library writes its notes to standard output, where our results go: keep a private copy of
// standard output for the results and send everything else written there to /dev/null.
#ifndef TOOLS_OWN_STDOUT_H
#define TOOLS_OWN_STDOUT_H

#include <cstdio>

namespace tools {

class OwnStdout {
public:
    OwnStdout();
    ~OwnStdout();
    OwnStdout(const OwnStdout &) = delete;
    OwnStdout &operator=(const OwnStdout &) = delete;

    std::FILE *stream() const { return out_; }
    bool is_terminal() const;
    // Ends the results; a failure to write their last bytes is a ToolError.
    void close();

private:
    std::FILE *out_;
};

} // namespace tools

#endif
