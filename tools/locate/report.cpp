#include "report.h"

#include <nlohmann/json.hpp>

#include <iomanip>
#include <sstream>

namespace tools {

const char *outcome_word(Outcome outcome) {
    switch (outcome) {
    case Outcome::angle: return "angle";
    case Outcome::below_gate: return "below_gate";
    case Outcome::no_direction: return "no_direction";
    case Outcome::delay_too_large: return "delay_too_large";
    }
    return "";
}

std::vector<std::string> direction_columns() { return {"time_s", "outcome", "angle"}; }

std::vector<std::string> delay_columns(int pairs) {
    std::vector<std::string> columns{"time_s"};
    for (int p = 1; p <= pairs; ++p) columns.push_back("delay_0_" + std::to_string(p));
    return columns;
}

namespace {

using Cells = std::vector<std::string>;

std::string time_text(double t, int decimals) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(decimals) << t;
    return s.str();
}

std::string optional_text(const std::optional<int> &v, const std::string &none) {
    return v ? std::to_string(*v) : none;
}

// Table and CSV differ only in how a line of cells is laid out.
class TextWriter : public ReportWriter {
public:
    TextWriter(std::FILE *out, std::string none, int decimals)
        : out_(out), none_(std::move(none)), decimals_(decimals) {}

    void row(const DirectionRow &r) override {
        line({time_text(r.time_s, decimals_), outcome_word(r.outcome),
              optional_text(r.angle, none_)});
    }
    void row(const DelayRow &r) override {
        Cells cells{time_text(r.time_s, decimals_)};
        for (const auto &d : r.delays) cells.push_back(optional_text(d, none_));
        line(cells);
    }
    void finish() override { std::fflush(out_); }

protected:
    virtual void line(const Cells &cells) = 0;
    std::FILE *out_;

private:
    std::string none_;
    int decimals_;
};

class CsvWriter : public TextWriter {
public:
    CsvWriter(std::FILE *out, const Cells &columns) : TextWriter(out, "", 6) { line(columns); }

private:
    void line(const Cells &cells) override {
        std::string text;
        for (const auto &c : cells) text += (text.empty() ? "" : ",") + c;
        std::fprintf(out_, "%s\n", text.c_str());
    }
};

class TableWriter : public TextWriter {
public:
    TableWriter(std::FILE *out, const Cells &columns) : TextWriter(out, "-", 3) { line(columns); }

private:
    void line(const Cells &cells) override {
        std::ostringstream text;
        text << std::left << std::setw(10) << cells.front();
        for (std::size_t i = 1; i < cells.size(); ++i) text << ' ' << std::setw(16) << cells[i];
        std::string s = text.str();
        s.erase(s.find_last_not_of(' ') + 1);
        std::fprintf(out_, "%s\n", s.c_str());
    }
};

class JsonWriter : public ReportWriter {
public:
    JsonWriter(std::FILE *out, Cells columns) : out_(out), columns_(std::move(columns)) {}

    void row(const DirectionRow &r) override {
        nlohmann::ordered_json o;
        o[columns_[0]] = r.time_s;
        o[columns_[1]] = outcome_word(r.outcome);
        o[columns_[2]] = r.angle ? nlohmann::ordered_json(*r.angle) : nlohmann::ordered_json(nullptr);
        rows_.push_back(std::move(o));
    }
    void row(const DelayRow &r) override {
        nlohmann::ordered_json o;
        o[columns_[0]] = r.time_s;
        for (std::size_t p = 0; p < r.delays.size(); ++p)
            o[columns_[p + 1]] = r.delays[p] ? nlohmann::ordered_json(*r.delays[p]) : nlohmann::ordered_json(nullptr);
        rows_.push_back(std::move(o));
    }
    void finish() override {
        std::fprintf(out_, "%s\n", rows_.dump(2).c_str());
        std::fflush(out_);
    }

private:
    std::FILE *out_;
    Cells columns_;
    nlohmann::ordered_json rows_ = nlohmann::ordered_json::array();
};

} // namespace

std::unique_ptr<ReportWriter> make_report_writer(const std::string &format, std::FILE *out,
                                                 std::vector<std::string> columns) {
    if (format == "csv") return std::make_unique<CsvWriter>(out, columns);
    if (format == "json") return std::make_unique<JsonWriter>(out, std::move(columns));
    return std::make_unique<TableWriter>(out, columns);
}

} // namespace tools
