#ifndef TOOLS_LOCATE_OPTIONS_H
#define TOOLS_LOCATE_OPTIONS_H

#include <CLI/CLI.hpp>

#include <string>

#include "cli.h"

namespace tools {

struct LocateOptions {
    std::string file;
    ArrayOptions array;
    int gate_db = -80;
    int frames = 32;
    std::string mode = "direction";
    std::string format = "table";
};

void add_locate_options(CLI::App &app, LocateOptions &options);

} // namespace tools

#endif
