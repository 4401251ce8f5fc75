#include "library_notes.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace ssl_stream {

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

// glibc lets a program set stdout. The filter stands in front of it while any thread is in the
// library. Unbuffered, so that each thread's text is written, or dropped, by that thread as it
// prints; descriptor 1 is looked up on every write, so a redirection made meanwhile still applies.
std::mutex filter_lock;
int threads_in_library = 0;
std::FILE *own_stdout = nullptr;
std::FILE *filter = nullptr;

void put_filter_in_front() {
    const std::lock_guard<std::mutex> hold(filter_lock);
    if (threads_in_library++ > 0) return;
    if (filter == nullptr) {
        filter = fopencookie(nullptr, "w", {nullptr, pass_on_unless_library, nullptr, nullptr});
        if (filter == nullptr) return; // the notes show, nothing worse
        std::setvbuf(filter, nullptr, _IONBF, 0);
    }
    std::fflush(stdout);
    own_stdout = stdout;
    stdout = filter;
}

void take_filter_away() {
    const std::lock_guard<std::mutex> hold(filter_lock);
    if (--threads_in_library > 0 || own_stdout == nullptr) return;
    stdout = own_stdout;
    own_stdout = nullptr;
}
} // namespace

LibraryCall::LibraryCall() : outer_(in_library) {
    if (!outer_) put_filter_in_front();
    in_library = true;
}

LibraryCall::~LibraryCall() {
    in_library = outer_;
    if (!outer_) take_filter_away();
}

CallerCode::CallerCode() : outer_(in_library) { in_library = false; }

CallerCode::~CallerCode() { in_library = outer_; }

} // namespace ssl_stream
