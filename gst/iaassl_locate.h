// The element iaassllocate: audio passes through untouched while the direction of its source,
// or the pairs' delays, go to the bus as element messages.
#ifndef IAASSL_GST_IAASSL_LOCATE_H
#define IAASSL_GST_IAASSL_LOCATE_H

#include <gst/audio/gstaudiofilter.h>

G_BEGIN_DECLS

#define GST_TYPE_IAASSL_LOCATE (gst_iaassl_locate_get_type())
G_DECLARE_FINAL_TYPE(GstIaasslLocate, gst_iaassl_locate, GST, IAASSL_LOCATE, GstAudioFilter)

G_END_DECLS

#endif
