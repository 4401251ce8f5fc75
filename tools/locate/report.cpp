#include "report.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>

#include "tool_error.h"

namespace tools {

std::vector<std::string> direction_columns() { return {"time_s", "outcome", "angle"}; }

std::vector<std::string> delay_columns(int pairs) {
    std::vector<std::string> columns{"time_s"};
    for (int p = 1; p <= pairs; ++p) columns.push_back("delay_0_" + std::to_string(p));
    return columns;
}

std::vector<std::string> live_columns(bool with_overruns) {
    if (with_overruns) return {"capture_time", "overruns"};
    return {"capture_time"};
}

namespace {

using Cells = std::vector<std::string>;
using Json = nlohmann::ordered_json;

// Whoever reads the results sees each row when it is decided, and a full disk or a closed
// reader is noticed at once.
void put(std::FILE *out, const std::string &text) {
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0)
        throw ToolError(std::string("cannot write the results: ") + std::strerror(errno));
}

std::string time_text(double t, int decimals) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(decimals) << t;
    return s.str();
}

std::string optional_text(const std::optional<int> &v, const std::string &none) {
    return v ? std::to_string(*v) : none;
}

Json optional_json(const std::optional<int> &v) { return v ? Json(*v) : Json(nullptr); }

// The nearest double to one decimal, which JSON writes with one decimal; never -0.0.
double tenths(double angle) { return std::round(angle * 10) / 10 + 0.0; }

// "1:-49.6* 2:30.0": id, angle, and a star while speaking.
std::string talkers_text(const std::vector<ssl_stream::Talker> &talkers) {
    std::string text;
    for (const auto &t : talkers) {
        char one[48];
        std::snprintf(one, sizeof one, "%s%d:%.1f%s", text.empty() ? "" : " ", t.id, tenths(t.angle),
                      t.speaking ? "*" : "");
        text += one;
    }
    return text;
}

Json talkers_json(const std::vector<ssl_stream::Talker> &talkers) {
    Json list = Json::array();
    for (const auto &t : talkers)
        list.push_back(Json{{"id", t.id}, {"angle", tenths(t.angle)}, {"speaking", t.speaking}});
    return list;
}

// Table and CSV differ only in how a line of cells is laid out.
class TextWriter : public ReportWriter {
public:
    TextWriter(std::FILE *out, std::string none, int decimals)
        : out_(out), none_(std::move(none)), decimals_(decimals) {}

    void row(const DirectionRow &r) override {
        Cells cells{time_text(r.time_s, decimals_), outcome_word(r.outcome),
                    optional_text(r.angle, none_)};
        add_live(cells, r.live);
        if (r.talkers) cells.push_back(talkers_text(*r.talkers));
        put(out_, line(cells));
    }
    void row(const DelayRow &r) override {
        Cells cells{time_text(r.time_s, decimals_)};
        for (const auto &d : r.delays) cells.push_back(optional_text(d, none_));
        add_live(cells, r.live);
        put(out_, line(cells));
    }
    void finish() override {}

protected:
    virtual std::string line(const Cells &cells) const = 0;
    std::FILE *out_;

private:
    void add_live(Cells &cells, const std::optional<LiveStamp> &live) const {
        if (!live) return;
        cells.push_back(live->capture_time);
        if (live->overruns) cells.push_back(std::to_string(*live->overruns));
    }

    std::string none_;
    int decimals_;
};

class CsvWriter : public TextWriter {
public:
    CsvWriter(std::FILE *out, const Cells &columns) : TextWriter(out, "", 6) {
        put(out_, line(columns));
    }

private:
    std::string line(const Cells &cells) const override {
        std::string text;
        for (const auto &c : cells) text += (text.empty() ? "" : ",") + c;
        return text + '\n';
    }
};

class TableWriter : public TextWriter {
public:
    TableWriter(std::FILE *out, const Cells &columns) : TextWriter(out, "-", 3) {
        for (const auto &c : columns) widths_.push_back(c == "capture_time" ? kStampWidth : kWidth);
        widths_.front() = kTimeWidth;
        put(out_, line(columns));
    }

private:
    static constexpr int kTimeWidth = 10;
    static constexpr int kWidth = 16;
    static constexpr int kStampWidth = 27;

    std::string line(const Cells &cells) const override {
        std::ostringstream text;
        text << std::left << std::setw(widths_[0]) << cells.front();
        for (std::size_t i = 1; i < cells.size(); ++i) text << ' ' << std::setw(widths_[i]) << cells[i];
        std::string s = text.str();
        s.erase(s.find_last_not_of(' ') + 1);
        return s + '\n';
    }

    std::vector<int> widths_;
};

// JSON and JSON lines hold the same objects; they differ in what goes around them.
class ObjectWriter : public ReportWriter {
public:
    explicit ObjectWriter(Cells columns) : columns_(std::move(columns)) {}

    void row(const DirectionRow &r) override {
        Json o;
        o[columns_[0]] = r.time_s;
        o[columns_[1]] = outcome_word(r.outcome);
        o[columns_[2]] = optional_json(r.angle);
        add_live(o, 3, r.live);
        if (r.talkers) o[kTalkersColumn] = talkers_json(*r.talkers);
        object(o);
    }
    void row(const DelayRow &r) override {
        Json o;
        o[columns_[0]] = r.time_s;
        for (std::size_t p = 0; p < r.delays.size(); ++p) o[columns_[p + 1]] = optional_json(r.delays[p]);
        add_live(o, r.delays.size() + 1, r.live);
        object(o);
    }

protected:
    virtual void object(const Json &o) = 0;

private:
    void add_live(Json &o, std::size_t column, const std::optional<LiveStamp> &live) const {
        if (!live) return;
        o[columns_[column]] = live->capture_time;
        if (live->overruns) o[columns_[column + 1]] = *live->overruns;
    }

    Cells columns_;
};

// An array laid out as a whole one would be, written element by element.
class JsonWriter : public ObjectWriter {
public:
    JsonWriter(std::FILE *out, Cells columns) : ObjectWriter(std::move(columns)), out_(out) { put(out_, "["); }

    void finish() override { put(out_, empty_ ? "]\n" : "\n]\n"); }

private:
    void object(const Json &o) override {
        std::string text = empty_ ? "\n" : ",\n";
        empty_ = false;
        std::istringstream lines(o.dump(kIndent));
        for (std::string line; std::getline(lines, line);)
            text += std::string(kIndent, ' ') + line + '\n';
        text.pop_back();
        put(out_, text);
    }

    static constexpr int kIndent = 2;
    std::FILE *out_;
    bool empty_ = true;
};

class ObjectLineWriter : public ObjectWriter {
public:
    ObjectLineWriter(Cells columns, std::function<void(const std::string &)> line)
        : ObjectWriter(std::move(columns)), line_(std::move(line)) {}
    void finish() override {}

private:
    void object(const Json &o) override { line_(o.dump()); }

    std::function<void(const std::string &)> line_;
};

class TeeWriter : public ReportWriter {
public:
    TeeWriter(std::unique_ptr<ReportWriter> first, std::unique_ptr<ReportWriter> second)
        : first_(std::move(first)), second_(std::move(second)) {}

    void row(const DirectionRow &r) override {
        first_->row(r);
        second_->row(r);
    }
    void row(const DelayRow &r) override {
        first_->row(r);
        second_->row(r);
    }
    void finish() override {
        first_->finish();
        second_->finish();
    }

private:
    std::unique_ptr<ReportWriter> first_;
    std::unique_ptr<ReportWriter> second_;
};

} // namespace

std::unique_ptr<ReportWriter> make_object_line_writer(std::vector<std::string> columns,
                                                      std::function<void(const std::string &)> line) {
    return std::make_unique<ObjectLineWriter>(std::move(columns), std::move(line));
}

std::unique_ptr<ReportWriter> make_tee_writer(std::unique_ptr<ReportWriter> first,
                                              std::unique_ptr<ReportWriter> second) {
    return std::make_unique<TeeWriter>(std::move(first), std::move(second));
}

std::unique_ptr<ReportWriter> make_report_writer(const std::string &format, std::FILE *out,
                                                 std::vector<std::string> columns) {
    if (format == "csv") return std::make_unique<CsvWriter>(out, columns);
    if (format == "json") return std::make_unique<JsonWriter>(out, std::move(columns));
    if (format == "jsonl")
        return make_object_line_writer(std::move(columns), [out](const std::string &line) { put(out, line + '\n'); });
    return std::make_unique<TableWriter>(out, columns);
}

} // namespace tools
