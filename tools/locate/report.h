// The rows a run prints, in one of three forms.
#ifndef TOOLS_REPORT_H
#define TOOLS_REPORT_H

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tools {

enum class Outcome { angle, below_gate, no_direction, delay_too_large };
const char *outcome_word(Outcome outcome);

struct DirectionRow {
    double time_s;
    Outcome outcome;
    std::optional<int> angle;
};

// One delay per pair; empty where the library rejected the frame.
struct DelayRow {
    double time_s;
    std::vector<std::optional<int>> delays;
};

class ReportWriter {
public:
    virtual ~ReportWriter() = default;
    virtual void row(const DirectionRow &row) = 0;
    virtual void row(const DelayRow &row) = 0;
    virtual void finish() = 0;
};

// `columns` names every column of the rows to come, time first.
std::unique_ptr<ReportWriter> make_report_writer(const std::string &format, std::FILE *out,
                                                 std::vector<std::string> columns);

std::vector<std::string> direction_columns();
std::vector<std::string> delay_columns(int pairs);

} // namespace tools

#endif
