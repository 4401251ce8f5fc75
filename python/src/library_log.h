// The library's notes as Python's own: DEBUG records of the logger "iaassl".
#ifndef IAASSL_PY_LIBRARY_LOG_H
#define IAASSL_PY_LIBRARY_LOG_H

#include <string_view>

namespace iaassl_py {

// From any thread, with or without the interpreter lock.
void log_library_note(std::string_view note);

} // namespace iaassl_py

#endif
