// The results' own copy of standard output, its last reference once descriptor 1 goes to
// /dev/null: closing it at the end reports a write or close that failed, and nothing else written
// on standard output can come between the rows. The library's notes never get that far: the
// streaming core catches them, and the tool gives it no receiver for them.
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
