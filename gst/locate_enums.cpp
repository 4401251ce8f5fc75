#include "locate_enums.h"

#include <stream_settings.h>

namespace iaassl_gst {

namespace {
using ssl_stream::ArrayShape;
using ssl_stream::Mode;

constexpr gint as_value(ArrayShape shape) { return static_cast<gint>(shape); }
constexpr gint as_value(Mode mode) { return static_cast<gint>(mode); }
} // namespace

// Function statics: registered once, safely, by whichever thread asks first.
GType geometry_enum_type() {
    static const GEnumValue values[] = {
        {as_value(ArrayShape::linear), "Microphones on a line", ssl_stream::shape_word(ArrayShape::linear)},
        {as_value(ArrayShape::circular), "Microphones on a circle", ssl_stream::shape_word(ArrayShape::circular)},
        {0, nullptr, nullptr}};
    static const GType type = g_enum_register_static("GstIaasslGeometry", values);
    return type;
}

GType mode_enum_type() {
    static const GEnumValue values[] = {
        {as_value(Mode::direction), "One direction per decision window", ssl_stream::mode_word(Mode::direction)},
        {as_value(Mode::delays), "The pairs' delays per frame", ssl_stream::mode_word(Mode::delays)},
        {0, nullptr, nullptr}};
    static const GType type = g_enum_register_static("GstIaasslMode", values);
    return type;
}

} // namespace iaassl_gst
