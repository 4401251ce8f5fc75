// The element messages a row becomes: `iaassl-direction` per decision window, `iaassl-delays`
// per frame, `iaassl-talkers` after a direction when tracking, with the window's times as an
// analyser's messages carry them.
#ifndef IAASSL_GST_ROW_MESSAGE_H
#define IAASSL_GST_ROW_MESSAGE_H

#include <gst/gst.h>

#include <vector>

#include <talker.h>
#include <window_stream.h>

namespace iaassl_gst {

struct RowTimes {
    GstClockTime timestamp;
    GstClockTime stream_time;
    GstClockTime running_time;
    GstClockTime duration;
};

GstStructure *row_structure(const ssl_stream::StreamRow &row, ssl_stream::Mode mode, const RowTimes &times);
// `ids`, `angles` and `speaking`: one value per talker in each, in the talkers' order.
GstStructure *talkers_structure(const std::vector<ssl_stream::Talker> &talkers, const RowTimes &times);

} // namespace iaassl_gst

#endif
