// The element's enumerated properties, as GTypes whose nicks are the tool's option words.
#ifndef IAASSL_GST_LOCATE_ENUMS_H
#define IAASSL_GST_LOCATE_ENUMS_H

#include <glib-object.h>

namespace iaassl_gst {

GType geometry_enum_type();
GType mode_enum_type();

} // namespace iaassl_gst

#endif
