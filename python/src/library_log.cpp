#include "library_log.h"

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace iaassl_py {

void log_library_note(std::string_view note) {
    // The library runs without the interpreter lock.
    const py::gil_scoped_acquire held;
    try {
        py::module_::import("logging").attr("getLogger")("iaassl").attr("debug")(py::str(note.data(), note.size()));
    } catch (py::error_already_set &failed) {
        // A handler's failure must not unwind through the library, nor end the caller's call.
        failed.discard_as_unraisable("logging a note of the localisation library");
    }
}

} // namespace iaassl_py
