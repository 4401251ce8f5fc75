// A fault in what the user asked for or handed in: reported as one line, never a crash.
#ifndef TOOLS_TOOL_ERROR_H
#define TOOLS_TOOL_ERROR_H

#include <stdexcept>
#include <string>

namespace tools {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace tools

#endif
