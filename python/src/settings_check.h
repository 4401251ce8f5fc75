// The module's keyword options turned into stream settings, each checked against the range the
// tool's option of the same meaning takes.
#ifndef IAASSL_PY_SETTINGS_CHECK_H
#define IAASSL_PY_SETTINGS_CHECK_H

#include <string>

#include "stream_settings.h"

namespace iaassl_py {

struct Options {
    std::string geometry = "linear";
    double spacing_cm = 5.0;
    int temperature = 25;
    int gate_db = -80;
    int frames = 32;
    std::string mode = "direction";
};

// A StreamError names the option and what it takes. Channels and rate are the stream's to check.
ssl_stream::StreamSettings checked_settings(int channels, int rate, const Options &options);

} // namespace iaassl_py

#endif
