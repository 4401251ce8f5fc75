#include "row_message.h"

#include <outcome.h>

namespace iaassl_gst {

namespace {
constexpr const char *kDirectionName = "iaassl-direction";
constexpr const char *kDelaysName = "iaassl-delays";
constexpr const char *kTalkersName = "iaassl-talkers";

GstStructure *timed_structure(const char *name, const RowTimes &times) {
    return gst_structure_new(name, "timestamp", G_TYPE_UINT64, times.timestamp, "stream-time", G_TYPE_UINT64,
                             times.stream_time, "running-time", G_TYPE_UINT64, times.running_time, "duration",
                             G_TYPE_UINT64, times.duration, nullptr);
}

// A pair the library rejected has no delay: 0 in `delays` and TRUE in `rejected`.
void add_delays(GstStructure *s, const ssl_stream::StreamRow &row) {
    GValue delays = G_VALUE_INIT;
    GValue rejected = G_VALUE_INIT;
    g_value_init(&delays, GST_TYPE_ARRAY);
    g_value_init(&rejected, GST_TYPE_ARRAY);
    for (const auto &delay : row.delays) {
        GValue item = G_VALUE_INIT;
        g_value_init(&item, G_TYPE_INT);
        g_value_set_int(&item, delay.value_or(0));
        gst_value_array_append_and_take_value(&delays, &item);
        g_value_init(&item, G_TYPE_BOOLEAN);
        g_value_set_boolean(&item, !delay.has_value());
        gst_value_array_append_and_take_value(&rejected, &item);
    }
    gst_structure_take_value(s, "delays", &delays);
    gst_structure_take_value(s, "rejected", &rejected);
}

// One value per talker in a GValueArray, as level gives its per-channel values: deprecated in
// GLib, but what an analyser's readers take.
template <typename Set>
void add_talker_values(GstStructure *s, const char *field, const std::vector<ssl_stream::Talker> &talkers,
                       GType type, Set set) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GValueArray *values = g_value_array_new(static_cast<guint>(talkers.size()));
    for (const auto &talker : talkers) {
        GValue item = G_VALUE_INIT;
        g_value_init(&item, type);
        set(&item, talker);
        g_value_array_append(values, &item);
        g_value_unset(&item);
    }
    GValue field_value = G_VALUE_INIT;
    g_value_init(&field_value, g_value_array_get_type());
    g_value_take_boxed(&field_value, values);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gst_structure_take_value(s, field, &field_value);
}
} // namespace

GstStructure *row_structure(const ssl_stream::StreamRow &row, ssl_stream::Mode mode, const RowTimes &times) {
    if (mode == ssl_stream::Mode::delays) {
        GstStructure *s = timed_structure(kDelaysName, times);
        add_delays(s, row);
        return s;
    }
    GstStructure *s = timed_structure(kDirectionName, times);
    gst_structure_set(s, "outcome", G_TYPE_STRING, ssl_stream::outcome_word(row.outcome), nullptr);
    if (row.angle) gst_structure_set(s, "angle", G_TYPE_INT, *row.angle, nullptr);
    return s;
}

GstStructure *talkers_structure(const std::vector<ssl_stream::Talker> &talkers, const RowTimes &times) {
    using ssl_stream::Talker;
    GstStructure *s = timed_structure(kTalkersName, times);
    add_talker_values(s, "ids", talkers, G_TYPE_INT, [](GValue *v, const Talker &t) { g_value_set_int(v, t.id); });
    add_talker_values(s, "angles", talkers, G_TYPE_DOUBLE,
                      [](GValue *v, const Talker &t) { g_value_set_double(v, t.angle); });
    add_talker_values(s, "speaking", talkers, G_TYPE_BOOLEAN,
                      [](GValue *v, const Talker &t) { g_value_set_boolean(v, t.speaking); });
    return s;
}

} // namespace iaassl_gst
