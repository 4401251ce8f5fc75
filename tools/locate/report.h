// The rows a run prints, in one of four forms, each row written out as soon as it is decided.
#ifndef TOOLS_REPORT_H
#define TOOLS_REPORT_H

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "outcome.h"
#include "talker.h"

namespace tools {

using ssl_stream::Outcome;
using ssl_stream::outcome_word;

// What rows from a live input add: when the window's last sample came in, and for a capture
// device how many overruns lost samples in it.
struct LiveStamp {
    std::string capture_time;
    std::optional<int> overruns;
};

struct DirectionRow {
    double time_s;
    Outcome outcome;
    std::optional<int> angle;
    std::optional<LiveStamp> live;
    // When tracking: the known talkers, in id order (perhaps none).
    std::optional<std::vector<ssl_stream::Talker>> talkers;
};

// One delay per pair; empty where the library rejected the frame.
struct DelayRow {
    double time_s;
    std::vector<std::optional<int>> delays;
    std::optional<LiveStamp> live;
};

class ReportWriter {
public:
    virtual ~ReportWriter() = default;
    virtual void row(const DirectionRow &row) = 0;
    virtual void row(const DelayRow &row) = 0;
    virtual void finish() = 0;
};

// `columns` names every column of the rows to come, time first. A failed write is a ToolError.
std::unique_ptr<ReportWriter> make_report_writer(const std::string &format, std::FILE *out,
                                                 std::vector<std::string> columns);

// The objects of --format jsonl, each handed to `line` without its newline.
std::unique_ptr<ReportWriter> make_object_line_writer(std::vector<std::string> columns,
                                                      std::function<void(const std::string &)> line);
// Hands every row to `first`, then to `second`.
std::unique_ptr<ReportWriter> make_tee_writer(std::unique_ptr<ReportWriter> first,
                                              std::unique_ptr<ReportWriter> second);

std::vector<std::string> direction_columns();
std::vector<std::string> delay_columns(int pairs);
std::vector<std::string> live_columns(bool with_overruns);
constexpr const char *kTalkersColumn = "talkers";

} // namespace tools

#endif
