// What both command lines share: the array options and how a run ends.
#ifndef TOOLS_CLI_H
#define TOOLS_CLI_H

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "array_geometry.h"

namespace tools {

struct ArrayOptions {
    std::string geometry = "linear";
    double spacing_cm = 5.0;
    int temperature_c = 25;
};

// Accept finite numbers only (above zero; any; above zero up to high; within low..high), and
// say so in a readable way when a value is not one.
const CLI::Validator &positive_number();
const CLI::Validator &finite_number();
CLI::Validator positive_number_up_to(double high);
CLI::Validator number_between(double low, double high);

void add_array_options(CLI::App &app, ArrayOptions &options);

// Parses the command line and runs `body`; every failure becomes one line on standard error
// prefixed with the program's name, and a non-zero exit status.
int run_cli(CLI::App &app, int argc, char **argv, const std::function<void()> &body);

} // namespace tools

#endif
