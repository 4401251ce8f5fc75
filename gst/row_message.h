// The element messages a row becomes: `iaassl-direction` per decision window, `iaassl-delays`
// per frame, with the window's times as an analyser's messages carry them.
#ifndef IAASSL_GST_ROW_MESSAGE_H
#define IAASSL_GST_ROW_MESSAGE_H

#include <gst/gst.h>

#include <window_stream.h>

namespace iaassl_gst {

struct RowTimes {
    GstClockTime timestamp;
    GstClockTime stream_time;
    GstClockTime running_time;
    GstClockTime duration;
};

GstStructure *row_structure(const ssl_stream::StreamRow &row, ssl_stream::Mode mode, const RowTimes &times);

} // namespace iaassl_gst

#endif
