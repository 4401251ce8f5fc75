#ifndef TOOLS_SIMULATE_H
#define TOOLS_SIMULATE_H

#include "simulate_options.h"

namespace tools {

// Renders the scene and writes the recording and, if asked, the truth.
void simulate(const SimulateOptions &options);

} // namespace tools

#endif
