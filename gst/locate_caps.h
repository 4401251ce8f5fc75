// The audio the element takes on both pads, and how it says so when offered something else.
#ifndef IAASSL_GST_LOCATE_CAPS_H
#define IAASSL_GST_LOCATE_CAPS_H

#include <gst/gst.h>

#include <string>

namespace iaassl_gst {

// audio/x-raw, S16LE, interleaved, 2 or 4 channels at the library's rates, any channel-mask.
GstCaps *supported_caps();
// What the element takes and what it was offered, for the negotiation error.
std::string refusal_message(const GstCaps *offered);

} // namespace iaassl_gst

#endif
