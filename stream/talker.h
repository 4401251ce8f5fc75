// A person the tracker follows across windows, as every face reports them.
#ifndef SSL_STREAM_TALKER_H
#define SSL_STREAM_TALKER_H

namespace ssl_stream {

struct Talker {
    int id = 0;         // the same for the same person for the whole run, never reused
    double angle = 0;   // degrees to one decimal: -90..90 on a line, 0..360 (exclusive) on a circle
    bool speaking = false;
};

inline bool operator==(const Talker &a, const Talker &b) {
    return a.id == b.id && a.angle == b.angle && a.speaking == b.speaking;
}

} // namespace ssl_stream

#endif
