// SIGINT and SIGTERM end a live run cleanly: the row in hand is finished and the output closed.
// A second signal ends the program at once.
#ifndef TOOLS_STOP_REQUEST_H
#define TOOLS_STOP_REQUEST_H

namespace tools {

void catch_stop_signals();
bool stop_requested();
// The signal that asked for the stop, 0 when none did.
int stop_signal();

} // namespace tools

#endif
