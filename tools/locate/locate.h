#ifndef TOOLS_LOCATE_H
#define TOOLS_LOCATE_H

#include "locate_options.h"

namespace tools {

constexpr const char *kLocateName = "iaassl_locate";

// Reads the input, runs it through the library for its channel count, prints the rows.
void locate(const LocateOptions &options);

} // namespace tools

#endif
