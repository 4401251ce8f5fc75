#include "library_notes.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

namespace ssl_stream {

namespace {
// Set while this thread is in the library.
thread_local const NoteReceiver *notes_to = nullptr;
// What the library printed on this thread since it last returned. The notes are handed over
// only then, never from inside printf: a receiver may wait for a lock (Python's interpreter
// lock) held by another thread that is itself waiting to print on the stream this one holds.
thread_local std::string printed;

ssize_t pass_on_unless_library(void *, const char *text, size_t size) {
    if (notes_to != nullptr) {
        printed.append(text, size);
        return static_cast<ssize_t>(size);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(STDOUT_FILENO, text + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

std::string_view without_trailing_blanks(std::string_view line) {
    const auto last = line.find_last_not_of(" \t\r\n\v\f");
    return line.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

// Called outside the library, with nothing else to do if a receiver fails: it runs in
// destructors, where an exception would end the program.
void hand_over(const NoteReceiver &notes) {
    std::string text;
    text.swap(printed); // the receiver may run the library again
    if (!notes) return;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view note = without_trailing_blanks(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (note.empty()) continue;
        try {
            notes(note);
        } catch (...) {
        }
    }
}

// glibc lets a program set stdout. The filter stands in front of it while any thread is in the
// library. Unbuffered, so that each thread's text is written, or caught, by that thread as it
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

LibraryCall::LibraryCall(const NoteReceiver &notes) : outer_(notes_to) {
    if (outer_ == nullptr) put_filter_in_front();
    notes_to = &notes;
}

LibraryCall::~LibraryCall() {
    const NoteReceiver &notes = *notes_to;
    notes_to = nullptr;
    hand_over(notes);
    notes_to = outer_;
    if (outer_ == nullptr) take_filter_away();
}

CallerCode::CallerCode() : outer_(notes_to) {
    notes_to = nullptr;
    if (outer_ != nullptr) hand_over(*outer_);
}

CallerCode::~CallerCode() { notes_to = outer_; }

} // namespace ssl_stream
