// The library prints notes (its version, geometry complaints) on the C standard output, which
// in a Python program is the user's own output. While the library runs, the module drops what
// the library prints and passes on everything else that C code prints there; the rest of the
// time the process's standard output is its own, as the module found it.
#ifndef IAASSL_PY_LIBRARY_NOTES_H
#define IAASSL_PY_LIBRARY_NOTES_H

namespace iaassl_py {

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
