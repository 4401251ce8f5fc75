#include "python_rows.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "outcome.h"

namespace iaassl_py {

namespace py = pybind11;
using ssl_stream::StreamRow;

namespace {
// Under the mask of a delays array, where the library rejected the frame: no delay is this far.
constexpr std::int32_t kRejectedDelay = -32768;

double start_time(const StreamRow &row, int sample_rate) {
    return static_cast<double>(row.start_sample) / sample_rate;
}

} // namespace

py::list direction_rows(const std::vector<StreamRow> &rows, int sample_rate) {
    py::list out;
    for (const auto &r : rows)
        out.append(Row{start_time(r, sample_rate), ssl_stream::outcome_word(r.outcome), r.angle, r.talkers});
    return out;
}

py::list delay_rows(const std::vector<StreamRow> &rows, int sample_rate) {
    py::list out;
    for (const auto &r : rows) out.append(DelayRow{start_time(r, sample_rate), r.delays});
    return out;
}

py::object masked_delays(const std::vector<StreamRow> &rows, int pairs) {
    const auto n = static_cast<py::ssize_t>(rows.size());
    py::array_t<std::int32_t> delays({n, static_cast<py::ssize_t>(pairs)});
    py::array_t<bool> rejected({n, static_cast<py::ssize_t>(pairs)});
    auto d = delays.mutable_unchecked<2>();
    auto m = rejected.mutable_unchecked<2>();
    for (py::ssize_t f = 0; f < n; ++f) {
        for (py::ssize_t p = 0; p < pairs; ++p) {
            const auto &delay = rows[static_cast<std::size_t>(f)].delays[static_cast<std::size_t>(p)];
            d(f, p) = delay.value_or(kRejectedDelay);
            m(f, p) = !delay.has_value();
        }
    }
    return py::module_::import("numpy.ma").attr("masked_array")(delays, py::arg("mask") = rejected);
}

std::string float_text(double v) { return py::repr(py::float_(v)); }

py::tuple talker_tuple(const std::vector<ssl_stream::Talker> &talkers) { return py::tuple(py::cast(talkers)); }

std::string repr(const Row &r) {
    return "Row(time_s=" + float_text(r.time_s) + ", outcome='" + r.outcome +
           "', angle=" + (r.angle ? std::to_string(*r.angle) : "None") +
           ", talkers=" + std::string(py::repr(talker_tuple(r.talkers))) + ")";
}

std::string repr(const DelayRow &r) {
    return "DelayRow(time_s=" + float_text(r.time_s) +
           ", delays=" + std::string(py::repr(py::tuple(py::cast(r.delays)))) + ")";
}

std::string repr(const ssl_stream::Talker &t) {
    return "Talker(id=" + std::to_string(t.id) + ", angle=" + float_text(t.angle) +
           ", speaking=" + (t.speaking ? "True" : "False") + ")";
}

} // namespace iaassl_py
