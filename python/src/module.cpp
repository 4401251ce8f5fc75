// The Python module: NumPy arrays in, the tool's rows out, through the shared streaming core.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <string>
#include <vector>

#include "locate_file.h"
#include "localiser.h"
#include "numpy_samples.h"
#include "python_rows.h"
#include "sound_file.h"
#include "stream_error.h"

namespace py = pybind11;
using ssl_stream::StreamError;
using ssl_stream::StreamRow;

namespace iaassl_py {

namespace {

// Runs one of the Localiser's streams over `samples` with the interpreter free for other threads.
std::vector<StreamRow> run_released(Localiser &localiser, const py::array &samples,
                                    std::vector<StreamRow> (Localiser::*stream)(const SampleArray &)) {
    const SampleArray s = sample_array(samples, localiser.settings().channels);
    const py::gil_scoped_release released;
    return (localiser.*stream)(s);
}

std::string repr(const Localiser &l) {
    const auto &s = l.settings();
    return "Localiser(channels=" + std::to_string(s.channels) + ", rate=" + std::to_string(s.sample_rate) +
           ", geometry='" + ssl_stream::shape_word(s.shape) + "', spacing_cm=" +
           float_text(s.spacing_cm) + ", temperature=" + std::to_string(s.temperature_c) +
           ", gate_db=" + std::to_string(s.gate_db) + ", frames=" + std::to_string(s.frames) +
           ", track=" + (s.track ? "True" : "False") + ", forget_s=" + float_text(s.forget_s) +
           ", max_talkers=" + std::to_string(s.max_talkers) + ")";
}

constexpr const char *kModuleDoc = R"(Sound source localisation for 2- and 4-microphone arrays.

NumPy samples in, the rows of ``iaassl_locate`` out: the same library, options, outcomes and
times. ``Localiser`` takes audio in chunks of any length, as a live callback hands it over;
``locate`` reads a whole file. The library's own notes never reach standard output: they are
DEBUG records of the logger ``iaassl``.)";

constexpr const char *kLocaliserDoc = R"(A stream of samples from one microphone array, localised window by window.

Every ``frames`` frames of 128 samples per channel make one decision window and one Row.
``feed`` keeps the samples that do not yet fill a window for the next call, so chunks of any
length may be handed over, call after call. ``delays`` runs a second stream of its own, in the
library's per-frame delay mode, with its own leftover; ``reset`` restarts both. With
``track=True`` each Row also carries the talkers followed across the windows so far.

The options are those of ``iaassl_locate``, with the same defaults and ranges:

channels     2 or 4 (libiaassl_b or libiaassl)
rate         8000, 16000, 32000 or 48000 Hz
geometry     "linear" or "circular" (4 channels only)
spacing_cm   microphone spacing in cm (the diameter of a circular array), positive
temperature  air temperature in degrees Celsius, -40 to 60
gate_db      level gate in dB relative to full scale, -80 to 0
frames       frames of 128 samples per decision, 1 to 1048576
track        follow talkers across windows (Row.talkers), False by default
forget_s     with track: seconds after which a talker not heard is forgotten, 0.1 to 86400
max_talkers  with track: talkers known at once, 1 to 16

A value out of range, or one the library refuses, raises ValueError, as does forget_s or
max_talkers other than its default without track=True. The library runs without the
interpreter lock, so Localisers in different threads run in parallel; calls on one
Localiser from several threads take turns.)";

constexpr const char *kSamplesDoc = R"(``samples`` is an array of shape (n, channels), any n: int16 at full scale -32768..32767, or
float32/float64 at full scale -1..1 (clipped beyond, NaN read as silence), in any memory
order (C, Fortran, strided views). Another shape, channel count or dtype raises ValueError.)";

constexpr const char *kRowDoc = R"(One decision window: ``time_s``, its start in seconds counted from the first sample fed
(or the last reset); ``outcome``, one of "angle", "below_gate", "no_direction",
"delay_too_large"; ``angle``, whole degrees when the outcome is "angle", else None;
``talkers``, with tracking the Talkers known after this window in id order, else ().)";

constexpr const char *kTalkerDoc = R"(A talker followed across windows: ``id``, the same for the same person for the whole run
(from the start or the last reset) and never given again; ``angle``, degrees to one decimal,
-90..90 on a line, 0 up to 360 on a circle; ``speaking``, whether they speak in this window.)";

constexpr const char *kDelayRowDoc = R"(One 128-sample frame in delay mode: ``time_s``, its start in seconds; ``delays``, one per
pair (microphone 0 against microphone k, k = 1..channels-1) in samples, positive when
microphone 0 hears later, None where the library rejected the frame.)";

} // namespace

} // namespace iaassl_py

PYBIND11_MODULE(_core, m) {
    using namespace iaassl_py;
    const ssl_stream::StreamSettings stream_defaults;
    const Options defaults = default_options();
    m.doc() = kModuleDoc;
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised) std::rethrow_exception(raised);
        } catch (const StreamError &e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const ssl_sound::SoundFileError &e) {
            PyErr_SetString(PyExc_OSError, e.what());
        }
    });

    py::class_<ssl_stream::Talker>(m, "Talker", kTalkerDoc)
        .def_readonly("id", &ssl_stream::Talker::id)
        .def_readonly("angle", &ssl_stream::Talker::angle)
        .def_readonly("speaking", &ssl_stream::Talker::speaking)
        .def("__eq__", [](const ssl_stream::Talker &a, const ssl_stream::Talker &b) { return a == b; })
        .def("__repr__", [](const ssl_stream::Talker &t) { return repr(t); });

    py::class_<Row>(m, "Row", kRowDoc)
        .def_readonly("time_s", &Row::time_s)
        .def_readonly("outcome", &Row::outcome)
        .def_readonly("angle", &Row::angle)
        .def_property_readonly("talkers", [](const Row &r) { return talker_tuple(r.talkers); })
        .def("__eq__", [](const Row &a, const Row &b) {
            return a.time_s == b.time_s && a.outcome == b.outcome && a.angle == b.angle && a.talkers == b.talkers;
        })
        .def("__repr__", [](const Row &r) { return repr(r); });

    py::class_<DelayRow>(m, "DelayRow", kDelayRowDoc)
        .def_readonly("time_s", &DelayRow::time_s)
        .def_property_readonly("delays", [](const DelayRow &r) { return py::tuple(py::cast(r.delays)); })
        .def("__eq__", [](const DelayRow &a, const DelayRow &b) {
            return a.time_s == b.time_s && a.delays == b.delays;
        })
        .def("__repr__", [](const DelayRow &r) { return repr(r); });

    py::class_<Localiser>(m, "Localiser", kLocaliserDoc)
        .def(py::init([](int channels, int rate, const std::string &geometry, double spacing_cm,
                         int temperature, int gate_db, int frames, bool track, double forget_s, int max_talkers) {
                 const auto settings = checked_settings(
                     channels, rate, Options{geometry, spacing_cm, temperature, gate_db, frames,
                                               ssl_stream::mode_word(ssl_stream::Mode::direction), track,
                                               forget_s, max_talkers});
                 const py::gil_scoped_release released;
                 return std::make_unique<Localiser>(settings);
             }),
             py::arg("channels") = stream_defaults.channels, py::arg("rate") = stream_defaults.sample_rate,
             py::kw_only(), py::arg("geometry") = defaults.geometry, py::arg("spacing_cm") = defaults.spacing_cm,
             py::arg("temperature") = defaults.temperature, py::arg("gate_db") = defaults.gate_db,
             py::arg("frames") = defaults.frames, py::arg("track") = defaults.track,
             py::arg("forget_s") = defaults.forget_s, py::arg("max_talkers") = defaults.max_talkers)
        .def(
            "feed",
            [](Localiser &self, const py::array &samples) {
                return direction_rows(run_released(self, samples, &Localiser::feed), self.settings().sample_rate);
            },
            py::arg("samples"),
            (std::string("Takes the next samples and returns the Rows of the windows they complete.\n\n") +
             kSamplesDoc)
                .c_str())
        .def(
            "delays",
            [](Localiser &self, const py::array &samples) {
                return masked_delays(run_released(self, samples, &Localiser::delays), self.pairs());
            },
            py::arg("samples"),
            (std::string("Takes the next samples into the delay stream and returns the delays of the\n"
                         "frames they complete: a masked int32 array (frames, channels - 1), each\n"
                         "pair microphone 0 against microphone k in samples, positive when\n"
                         "microphone 0 hears later; masked where the library rejected the frame.\n\n") +
             kSamplesDoc)
                .c_str())
        .def(
            "reset",
            [](Localiser &self) {
                const py::gil_scoped_release released;
                self.reset();
            },
            "Forgets the leftover samples of both streams and the talkers: a fresh run, times\n"
            "starting again at 0 and talker ids at 1.")
        .def_property_readonly("channels", [](const Localiser &l) { return l.settings().channels; })
        .def_property_readonly("rate", [](const Localiser &l) { return l.settings().sample_rate; })
        .def_property_readonly("geometry", [](const Localiser &l) { return ssl_stream::shape_word(l.settings().shape); })
        .def_property_readonly("spacing_cm", [](const Localiser &l) { return l.settings().spacing_cm; })
        .def_property_readonly("temperature", [](const Localiser &l) { return l.settings().temperature_c; })
        .def_property_readonly("gate_db", [](const Localiser &l) { return l.settings().gate_db; })
        .def_property_readonly("frames", [](const Localiser &l) { return l.settings().frames; })
        .def_property_readonly("track", [](const Localiser &l) { return l.settings().track; })
        .def_property_readonly("forget_s", [](const Localiser &l) { return l.settings().forget_s; })
        .def_property_readonly("max_talkers", [](const Localiser &l) { return l.settings().max_talkers; })
        .def("__repr__", [](const Localiser &l) { return repr(l); });

    m.def(
        "locate",
        [](const std::filesystem::path &path, const std::string &geometry, double spacing_cm, int temperature,
           int gate_db, int frames, const std::string &mode, bool track, double forget_s, int max_talkers) {
            FileRows located;
            {
                const py::gil_scoped_release released;
                located = locate_file(path.string(), Options{geometry, spacing_cm, temperature, gate_db, frames, mode,
                                                             track, forget_s, max_talkers});
            }
            return mode == ssl_stream::mode_word(ssl_stream::Mode::delays)
                       ? delay_rows(located.rows, located.sample_rate)
                       : direction_rows(located.rows, located.sample_rate);
        },
        py::arg("path"), py::kw_only(), py::arg("geometry") = defaults.geometry,
        py::arg("spacing_cm") = defaults.spacing_cm, py::arg("temperature") = defaults.temperature,
        py::arg("gate_db") = defaults.gate_db, py::arg("frames") = defaults.frames, py::arg("mode") = defaults.mode,
        py::arg("track") = defaults.track, py::arg("forget_s") = defaults.forget_s,
        py::arg("max_talkers") = defaults.max_talkers,
        R"(Locates a whole recording (WAV, FLAC, ... : what libsndfile reads) as iaassl_locate does.

The channel count (2 or 4) picks the library and the file gives the rate; the options are
the Localiser's. mode="direction" returns one Row per decision window, mode="delays" one
DelayRow per 128-sample frame; track=True (direction mode only) fills each Row's talkers
as iaassl_locate --track does. A trailing piece shorter than a window is not run. A file
that cannot be read raises OSError; a layout or option the library refuses, or a file
shorter than one window, raises ValueError.)");

    // The package re-exports everything: name it where users import it from.
    for (const char *name : {"Row", "DelayRow", "Talker", "Localiser", "locate"}) m.attr(name).attr("__module__") = "iaassl";
}
