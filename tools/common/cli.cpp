#include "cli.h"

#include <iostream>

#include "tool_error.h"

namespace tools {

const CLI::Validator &positive_number() {
    static const CLI::Validator validator(
        [](std::string &text) {
            double value = 0;
            if (CLI::detail::lexical_cast(text, value) && value > 0) return std::string();
            return "must be a positive number, not '" + text + "'";
        },
        "POSITIVE");
    return validator;
}

void add_array_options(CLI::App &app, ArrayOptions &options) {
    app.add_option("--geometry", options.geometry, "Array shape")
        ->check(CLI::IsMember({"linear", "circular"}))
        ->capture_default_str();
    app.add_option("--spacing", options.spacing_cm,
                   "Microphone spacing in cm (the diameter of a circular array)")
        ->check(positive_number())
        ->capture_default_str();
    // Frost is real outdoors: the library reads the 32-bit field as a signed value.
    app.add_option("--temperature", options.temperature_c, "Air temperature in degrees Celsius")
        ->check(CLI::Range(-40, 60))
        ->capture_default_str();
}

int run_cli(CLI::App &app, int argc, char **argv, const std::function<void()> &body) {
    const std::string name = app.get_name();
    app.failure_message([name](const CLI::App *, const CLI::Error &e) {
        return name + ": " + e.what() + "\n";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e);
    }
    try {
        body();
    } catch (const ToolError &e) {
        std::cerr << name << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tools
