#include "library_notes.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace iaassl_py {

namespace {
thread_local bool in_library = false;

ssize_t pass_on_unless_library(void *, const char *text, size_t size) {
    if (in_library) return static_cast<ssize_t>(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(STDOUT_FILENO, text + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}
} // namespace

void hide_library_notes() {
    // glibc lets a program set stdout. Unbuffered, so that each thread's text is written, or
    // dropped, by that thread as it prints; descriptor 1 is looked up on every write, so a
    // redirection made later (pytest's capture, os.dup2) still applies.
    static std::once_flag once;
    std::call_once(once, [] {
        std::FILE *filtered = fopencookie(nullptr, "w", {nullptr, pass_on_unless_library, nullptr, nullptr});
        if (filtered == nullptr) return; // the notes show, nothing worse
        std::setvbuf(filtered, nullptr, _IONBF, 0);
        std::fflush(stdout);
        stdout = filtered;
    });
}

LibraryCall::LibraryCall() : outer_(in_library) { in_library = true; }

LibraryCall::~LibraryCall() { in_library = outer_; }

} // namespace iaassl_py
