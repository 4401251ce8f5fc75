// The plugin iaassl: its one element, iaassllocate.
#include <gst/gst.h>

#include "iaassl_locate.h"

namespace {
gboolean plugin_init(GstPlugin *plugin) {
    return gst_element_register(plugin, "iaassllocate", GST_RANK_NONE, GST_TYPE_IAASSL_LOCATE);
}
} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, iaassl, "Sound source localisation on the bus", plugin_init,
                  IAASSL_PLUGIN_VERSION, "Proprietary", PACKAGE, "https://camaudio.example/")
