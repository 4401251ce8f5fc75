#include "cli.h"

#include <cmath>
#include <iostream>
#include <new>

#include "stream_settings.h"
#include "tool_error.h"

namespace tools {

namespace {
// NaN passes every comparison-based check and an infinity passes "positive": both are refused
// before any condition of the option's own is asked.
CLI::Validator finite_number_where(const std::function<bool(double)> &accepts,
                                   const std::string &wanted, const std::string &name) {
    return CLI::Validator(
        [accepts, wanted](std::string &text) {
            double value = 0;
            if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) && accepts(value))
                return std::string();
            return "must be " + wanted + ", not '" + text + "'";
        },
        name);
}
} // namespace

const CLI::Validator &positive_number() {
    static const CLI::Validator validator =
        finite_number_where([](double v) { return v > 0; }, "a positive number", "POSITIVE");
    return validator;
}

const CLI::Validator &finite_number() {
    static const CLI::Validator validator =
        finite_number_where([](double) { return true; }, "a finite number", "NUMBER");
    return validator;
}

CLI::Validator positive_number_up_to(double high) {
    const std::string most = CLI::detail::to_string(high);
    return finite_number_where([high](double v) { return v > 0 && v <= high; },
                               "a positive number up to " + most, "POSITIVE up to " + most);
}

CLI::Validator number_between(double low, double high) {
    const std::string range = CLI::detail::to_string(low) + " to " + CLI::detail::to_string(high);
    return finite_number_where([low, high](double v) { return v >= low && v <= high; },
                               "a number from " + range, "NUMBER from " + range);
}

void add_array_options(CLI::App &app, ArrayOptions &options) {
    app.add_option("--geometry", options.geometry, "Array shape")
        ->check(CLI::IsMember({"linear", "circular"}))
        ->capture_default_str();
    app.add_option("--spacing", options.spacing_cm,
                   "Microphone spacing in cm (the diameter of a circular array)")
        ->check(number_between(ssl_stream::kSpacingCm.lowest, ssl_stream::kSpacingCm.highest))
        ->capture_default_str();
    // Frost is real outdoors: the library reads the 32-bit field as a signed value.
    app.add_option("--temperature", options.temperature_c, "Air temperature in degrees Celsius")
        ->check(CLI::Range(ssl_stream::kTemperatureC.lowest, ssl_stream::kTemperatureC.highest))
        ->capture_default_str();
}

int run_cli(CLI::App &app, int argc, char **argv, const std::function<void()> &body) {
    const std::string name = app.get_name();
    app.failure_message([name](const CLI::App *, const CLI::Error &e) {
        return name + ": " + e.what() + "\n";
    });
    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError &e) {
            return app.exit(e);
        }
        body();
    } catch (const ToolError &e) {
        std::cerr << name << ": " << e.what() << '\n';
        return 1;
    } catch (const std::bad_alloc &) {
        std::cerr << name << ": not enough memory\n";
        return 1;
    } catch (const std::exception &e) {
        std::cerr << name << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tools
