#include "simulate.h"

int main(int argc, char **argv) {
    CLI::App app{"", "iaassl_simulate"};
    tools::SimulateOptions options;
    tools::add_simulate_options(app, options);
    return tools::run_cli(app, argc, argv, [&] { tools::simulate(options); });
}
