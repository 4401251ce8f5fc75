// The library prints notes (its version, its buffer size, geometry complaints) on the C standard
// output, which in a host (a Python program, a pipeline ending in fdsink fd=1) is the host's own
// output. While the library runs, what it prints is caught and handed, line by line, to the
// receiver of the face that runs it, and everything else that C code prints there is passed on;
// the rest of the time the process's standard output is its own, as it was.
#ifndef SSL_STREAM_LIBRARY_NOTES_H
#define SSL_STREAM_LIBRARY_NOTES_H

#include <functional>
#include <string_view>

namespace ssl_stream {

// Takes one note: a line of the library's, without its line end and trailing blanks. An empty
// receiver drops the notes.
using NoteReceiver = std::function<void(std::string_view note)>;

// While one lives, what this thread prints on the C standard output is the library's; its notes
// go to `notes`, which must outlive the call, as the library returns to the caller.
class LibraryCall {
public:
    explicit LibraryCall(const NoteReceiver &notes);
    ~LibraryCall();
    LibraryCall(const LibraryCall &) = delete;
    LibraryCall &operator=(const LibraryCall &) = delete;

private:
    const NoteReceiver *outer_;
};

// Within a LibraryCall, code of the caller's own (a row handed to its sink) that prints there is
// heard again while one lives. The notes printed before it are handed over first.
class CallerCode {
public:
    CallerCode();
    ~CallerCode();
    CallerCode(const CallerCode &) = delete;
    CallerCode &operator=(const CallerCode &) = delete;

private:
    const NoteReceiver *outer_;
};

} // namespace ssl_stream

#endif
