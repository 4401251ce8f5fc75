#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace tools {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(double total_seconds, bool to_terminal, bool shares_line_with_rows)
    : total_(total_seconds), shown_(to_terminal && total_seconds >= kMinimumSeconds),
      shares_line_(shares_line_with_rows) {}

Progress::~Progress() { wipe(); }

void Progress::wipe() {
    if (!shown_ || last_percent_ < 0) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    last_percent_ = -1;
}

void Progress::before_row() {
    if (shares_line_) wipe();
}

void Progress::update(double done_seconds) {
    if (!shown_) return;
    const int percent = static_cast<int>(100.0 * done_seconds / total_);
    if (percent == last_percent_) return;
    last_percent_ = percent;
    std::fprintf(stderr, "\r%3d%%  %.1f of %.1f s", percent, done_seconds, total_);
    std::fflush(stderr);
}

} // namespace tools
