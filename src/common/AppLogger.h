#pragma once

#include <memory>

#include <spdlog/spdlog.h>

// Holder of the program's one logger, "velmora". The logger (and spdlog's periodic
// flush thread) comes into being on the first call of get(), so a run that never
// logs never starts a thread.
class AppLogger {
public:
    static spdlog::logger* get();

    AppLogger(const AppLogger&) = delete;
    AppLogger& operator=(const AppLogger&) = delete;

private:
    AppLogger();
    ~AppLogger();

    std::shared_ptr<spdlog::logger> logger_;
};

// Logs through AppLogger with the caller's own file and line and the given function name.
#define APP_LOG(level, function, ...) \
    AppLogger::get()->log(spdlog::source_loc{__FILE__, __LINE__, function}, level, __VA_ARGS__)
