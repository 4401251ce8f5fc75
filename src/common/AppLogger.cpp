#include "common/AppLogger.h"

#include <chrono>

#include <spdlog/sinks/ansicolor_sink.h>

namespace {
constexpr const char* kLoggerName = "velmora";
constexpr std::chrono::seconds kFlushPeriod{3};
}  // namespace

spdlog::logger* AppLogger::get()
{
    static AppLogger holder;
    return holder.logger_.get();
}

AppLogger::AppLogger()
{
    auto sink = std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>(spdlog::color_mode::automatic);
    spdlog::sinks_init_list sinks{sink};
    logger_ = std::make_shared<spdlog::logger>(kLoggerName, sinks);
    spdlog::register_logger(logger_);
    logger_->flush_on(spdlog::level::warn);
    spdlog::flush_every(kFlushPeriod);
}

AppLogger::~AppLogger()
{
    spdlog::drop(kLoggerName);
}
