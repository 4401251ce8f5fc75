// The rows Python gets: Row and DelayRow objects as the tool's rows read, and delays as a
// masked NumPy array. The interpreter lock must be held.
#ifndef IAASSL_PY_PYTHON_ROWS_H
#define IAASSL_PY_PYTHON_ROWS_H

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "talker.h"
#include "window_stream.h"

namespace iaassl_py {

struct Row {
    double time_s;
    std::string outcome;
    std::optional<int> angle;
    std::vector<ssl_stream::Talker> talkers; // empty without tracking
};

struct DelayRow {
    double time_s;
    std::vector<std::optional<int>> delays;
};

pybind11::list direction_rows(const std::vector<ssl_stream::StreamRow> &rows, int sample_rate);
pybind11::list delay_rows(const std::vector<ssl_stream::StreamRow> &rows, int sample_rate);
// int32 (frames, pairs), masked where the library rejected a pair's delay.
pybind11::object masked_delays(const std::vector<ssl_stream::StreamRow> &rows, int pairs);

// As Python's repr writes the float.
std::string float_text(double v);
std::string repr(const Row &r);
std::string repr(const DelayRow &r);
std::string repr(const ssl_stream::Talker &t);
// The talkers as the tuple of Talker objects a Row shows.
pybind11::tuple talker_tuple(const std::vector<ssl_stream::Talker> &talkers);

} // namespace iaassl_py

#endif
