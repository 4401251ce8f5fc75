// The library prints notes (its version, geometry complaints) on the C standard output, which
// in a Python program is the user's own output. The module drops what the library prints and
// passes on everything else that C code prints there.
#ifndef IAASSL_PY_LIBRARY_NOTES_H
#define IAASSL_PY_LIBRARY_NOTES_H

namespace iaassl_py {

// Puts the filter in front of the C standard output; once per process, before any library call.
void hide_library_notes();

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

} // namespace iaassl_py

#endif
