// The module's keyword options turned into stream settings, each checked against the range the
// tool's option of the same meaning takes.
#ifndef IAASSL_PY_SETTINGS_CHECK_H
#define IAASSL_PY_SETTINGS_CHECK_H

#include <string>

#include "stream_settings.h"

namespace iaassl_py {

struct Options {
    std::string geometry;
    double spacing_cm;
    int temperature;
    int gate_db;
    int frames;
    std::string mode;
    bool track;
    double forget_s;
    int max_talkers;
};

// The streaming core's defaults, with words where the options take words.
Options default_options();

// A StreamError names the option and what it takes, or the option that needs track=True as the
// tool's needs --track. Channels and rate, and tracking in delays mode, are the stream's to check.
ssl_stream::StreamSettings checked_settings(int channels, int rate, const Options &options);

} // namespace iaassl_py

#endif
