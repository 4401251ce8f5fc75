// The library prints notes (its version, geometry complaints) on the C standard output, which
// in a host (a Python program, a pipeline ending in fdsink fd=1) is the host's own output. While
// the library runs, what it prints is dropped and everything else that C code prints there is
// passed on; the rest of the time the process's standard output is its own, as it was.
#ifndef SSL_STREAM_LIBRARY_NOTES_H
#define SSL_STREAM_LIBRARY_NOTES_H

namespace ssl_stream {

// While one lives, what this thread prints on the C standard output is the library's.
class LibraryCall {
public:
    LibraryCall();
    ~LibraryCall();
    LibraryCall(const LibraryCall &) = delete;
    LibraryCall &operator=(const LibraryCall &) = delete;

private:
    bool outer_;
};

// Within a LibraryCall, code of the caller's own (a row handed to its sink) that prints there is
// heard again while one lives.
class CallerCode {
public:
    CallerCode();
    ~CallerCode();
    CallerCode(const CallerCode &) = delete;
    CallerCode &operator=(const CallerCode &) = delete;

private:
    bool outer_;
};

} // namespace ssl_stream

#endif
