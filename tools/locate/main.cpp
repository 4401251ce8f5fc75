#include "locate.h"

int main(int argc, char **argv) {
    CLI::App app{"", tools::kLocateName};
    tools::LocateOptions options;
    tools::add_locate_options(app, options);
    return tools::run_cli(app, argc, argv, [&] { tools::locate(options); });
}
