// A whole recording located as the tool locates it: read with the reader the tool shares, frame after
// frame, with the library chosen by the file's channel count.
#ifndef IAASSL_PY_LOCATE_FILE_H
#define IAASSL_PY_LOCATE_FILE_H

#include <string>
#include <vector>

#include "settings_check.h"
#include "window_stream.h"

namespace iaassl_py {

struct FileRows {
    int sample_rate = 0;
    std::vector<ssl_stream::StreamRow> rows;
};

// A SoundFileError where the file cannot be read, a StreamError where its layout or the
// options are refused, both worded as the tool words them.
FileRows locate_file(const std::string &path, const Options &options);

} // namespace iaassl_py

#endif
