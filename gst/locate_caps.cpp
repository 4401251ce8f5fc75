#include "locate_caps.h"

#include <stream_settings.h>

namespace iaassl_gst {

namespace {
constexpr int kChannelCounts[] = {2, 4};

void append_int(GValue *list, int v) {
    GValue item = G_VALUE_INIT;
    g_value_init(&item, G_TYPE_INT);
    g_value_set_int(&item, v);
    gst_value_list_append_and_take_value(list, &item);
}

template <typename Ints> void set_int_list(GstStructure *s, const char *field, const Ints &values) {
    GValue list = G_VALUE_INIT;
    g_value_init(&list, GST_TYPE_LIST);
    for (int v : values) append_int(&list, v);
    gst_structure_take_value(s, field, &list);
}
} // namespace

GstCaps *supported_caps() {
    GstStructure *s = gst_structure_new("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING,
                                        "interleaved", nullptr);
    set_int_list(s, "channels", kChannelCounts);
    set_int_list(s, "rate", ssl_stream::kSampleRates);
    return gst_caps_new_full(s, nullptr);
}

std::string refusal_message(const GstCaps *offered) {
    gchar *text = gst_caps_to_string(offered);
    std::string message = "iaassllocate takes interleaved S16LE audio, 2 or 4 channels, at " +
                          ssl_stream::sample_rates_text() +
                          ", with a channel-mask for 4 channels (0 for a microphone array); it was offered " + text;
    g_free(text);
    return message;
}

} // namespace iaassl_gst
