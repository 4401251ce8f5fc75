// The live view's page: one self-contained HTML file built into the program, told about the run.
#ifndef TOOLS_LIVE_VIEW_PAGE_H
#define TOOLS_LIVE_VIEW_PAGE_H

#include <string>

#include "array_geometry.h"

namespace tools {

struct LiveViewSetup {
    std::string input;
    ArrayShape shape = ArrayShape::linear;
    int microphones = 4;
    double spacing_cm = 5.0;
    double row_seconds = 0;
};

// Rows of audio time the page's trace shows.
constexpr double kLiveViewHistorySeconds = 30;

std::string live_view_page(const LiveViewSetup &setup);

} // namespace tools

#endif
