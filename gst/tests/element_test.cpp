// iaassllocate in GStreamer's check harness: caps and passthrough, the messages and their exact
// times, continuity, talkers, properties, refused formats and settings.
#include <gst/check/gstcheck.h>
#include <gst/check/gstharness.h>

#include <cmath>
#include <string>
#include <vector>

#include "ssl_scene.h"
#include "window_stream.h"

namespace {

constexpr int kRate = 16000;
constexpr int kOddBuffer = 441; // samples of 10 ms at 44.1 kHz: never a whole frame
constexpr GstClockTime kFirstPts = 3 * GST_SECOND + 7;
constexpr const char *kCaps4 = "audio/x-raw,format=S16LE,layout=interleaved,channels=4,rate=16000,channel-mask=(bitmask)0";

std::vector<gint16> scene(int frames) {
    Scene source(far_field_delays(linear_array(4, 0.05), 30, 346, kRate), 20, 0.1, 7);
    std::vector<gint16> samples(static_cast<size_t>(frames * ssl_stream::kFrameSamples * 4));
    for (int f = 0; f < frames; ++f) source.next_frame(&samples[static_cast<size_t>(f * ssl_stream::kFrameSamples * 4)]);
    return samples;
}

GstClockTime after(GstClockTime start, gint64 samples) {
    return start + gst_util_uint64_scale(static_cast<guint64>(samples), GST_SECOND, kRate);
}

struct Bench {
    GstHarness *h;
    GstBus *bus = gst_bus_new();
    explicit Bench(const char *caps) : h(gst_harness_new("iaassllocate")) {
        gst_element_set_bus(h->element, bus);
        if (caps) gst_harness_set_src_caps_str(h, caps);
    }
    ~Bench() {
        gst_bus_set_flushing(bus, TRUE);
        gst_object_unref(bus);
        gst_harness_teardown(h);
    }
    // Pushes samples [from, to) in buffers of `chunk`, timed from `pts` as a source times them.
    GstFlowReturn push(const std::vector<gint16> &s, size_t from, size_t to, size_t chunk, GstClockTime pts,
                       bool discont = false) {
        GstFlowReturn flow = GST_FLOW_OK;
        for (size_t at = from; at < to && flow == GST_FLOW_OK; at += chunk) {
            const size_t n = std::min(chunk, to - at);
            GstBuffer *b = gst_buffer_new_memdup(&s[at * 4], n * 4 * sizeof(gint16));
            GST_BUFFER_PTS(b) = after(pts, static_cast<gint64>(at - from));
            if (discont && at == from) GST_BUFFER_FLAG_SET(b, GST_BUFFER_FLAG_DISCONT);
            flow = gst_harness_push(h, b);
            gst_buffer_unref(gst_harness_pull(h));
        }
        return flow;
    }
    // Every element message, in order, where `name` is none.
    std::vector<GstStructure *> messages(const char *name) {
        std::vector<GstStructure *> found;
        while (GstMessage *m = gst_bus_pop_filtered(bus, GST_MESSAGE_ELEMENT)) {
            if (!name || gst_structure_has_name(gst_message_get_structure(m), name))
                found.push_back(gst_structure_copy(gst_message_get_structure(m)));
            gst_message_unref(m);
        }
        return found;
    }
};

guint64 time_field(const GstStructure *s, const char *field) {
    guint64 t = 0;
    fail_unless(gst_structure_get_uint64(s, field, &t), "no %s", field);
    return t;
}

void free_all(std::vector<GstStructure *> &all) {
    for (GstStructure *s : all) gst_structure_free(s);
}

// The text of the first error on the bus.
std::string error_text(GstBus *bus) {
    g_autoptr(GstMessage) m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    fail_unless(m != nullptr, "no error");
    g_autoptr(GError) error = nullptr;
    gst_message_parse_error(m, &error, nullptr);
    return error->message;
}

// The rows the core gives for samples [0, end) of each of `ends` in turn, the audio broken before
// each, to hold the element's against.
std::vector<ssl_stream::StreamRow> core_rows(const std::vector<gint16> &s, int frames,
                                             std::initializer_list<size_t> ends, bool track = false) {
    ssl_stream::StreamSettings settings;
    settings.frames = frames;
    settings.track = track;
    ssl_stream::WindowStream stream(settings);
    std::vector<ssl_stream::StreamRow> rows;
    for (size_t end : ends) {
        stream.break_continuity();
        stream.feed(s.data(), end, [&rows](const ssl_stream::StreamRow &r) { rows.push_back(r); });
    }
    return rows;
}

// The talkers an iaassl-talkers message's parallel arrays give.
std::vector<ssl_stream::Talker> talkers_of(const GstStructure *s) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    auto array = [s](const char *f) {
        return static_cast<const GValueArray *>(g_value_get_boxed(gst_structure_get_value(s, f)));
    };
    const GValueArray *ids = array("ids"), *angles = array("angles"), *speaking = array("speaking");
    fail_unless(angles->n_values == ids->n_values && speaking->n_values == ids->n_values, "arrays of other lengths");
    std::vector<ssl_stream::Talker> talkers;
    for (guint i = 0; i < ids->n_values; ++i)
        talkers.push_back({g_value_get_int(&ids->values[i]), g_value_get_double(&angles->values[i]),
                           g_value_get_boolean(&speaking->values[i]) != FALSE});
    G_GNUC_END_IGNORE_DEPRECATIONS
    return talkers;
}

} // namespace

GST_START_TEST(test_caps_and_passthrough) {
    Bench b(kCaps4);
    GstCaps *out = gst_pad_get_current_caps(b.h->sinkpad);
    GstCaps *in_caps = gst_caps_from_string(kCaps4);
    fail_unless(out && gst_caps_is_equal(out, in_caps), "src caps differ from the sink's");
    gst_caps_unref(out);
    gst_caps_unref(in_caps);
    const auto s = scene(2);
    GstBuffer *in = gst_buffer_new_memdup(s.data(), s.size() * sizeof(gint16));
    GST_BUFFER_PTS(in) = 0;
    gst_buffer_ref(in);
    fail_unless_equals_int(gst_harness_push(b.h, in), GST_FLOW_OK);
    GstBuffer *pulled = gst_harness_pull(b.h);
    // The samples themselves, not a copy: clipping to the segment may renew the buffer's metadata.
    fail_unless(gst_buffer_peek_memory(pulled, 0) == gst_buffer_peek_memory(in, 0), "the samples were copied");
    fail_unless(gst_buffer_memcmp(pulled, 0, s.data(), s.size() * sizeof(gint16)) == 0, "the samples changed");
    gst_buffer_unref(pulled);
    gst_buffer_unref(in);
}
GST_END_TEST;

GST_START_TEST(test_messages_at_exact_times) {
    constexpr int kFrames = 4;
    const auto s = scene(60);
    const auto want = core_rows(s, kFrames, {s.size() / 4});
    Bench b(kCaps4);
    g_object_set(b.h->element, "frames", kFrames, nullptr);
    // A segment whose stream and running times differ from the buffers' own.
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    segment.start = GST_SECOND;
    segment.time = 10 * GST_SECOND;
    segment.base = 100 * GST_SECOND;
    gst_harness_push_event(b.h, gst_event_new_segment(&segment));
    b.push(s, 0, s.size() / 4, kOddBuffer, kFirstPts, true);
    auto got = b.messages("iaassl-direction");
    fail_unless_equals_uint64(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        const GstClockTime t = after(kFirstPts, want[i].start_sample);
        fail_unless_equals_uint64(time_field(got[i], "timestamp"), t);
        fail_unless_equals_uint64(time_field(got[i], "stream-time"), t - GST_SECOND + 10 * GST_SECOND);
        fail_unless_equals_uint64(time_field(got[i], "running-time"), t - GST_SECOND + 100 * GST_SECOND);
        fail_unless_equals_uint64(time_field(got[i], "duration"), after(0, kFrames * 128));
        fail_unless_equals_string(gst_structure_get_string(got[i], "outcome"), "angle");
        int angle = 0;
        fail_unless(gst_structure_get_int(got[i], "angle", &angle) && angle == *want[i].angle);
    }
    free_all(got);
    // Delays from the next window on: one message per frame, one delay per pair.
    gst_util_set_object_arg(G_OBJECT(b.h->element), "mode", "delays");
    b.push(s, 0, 8 * 128, kOddBuffer, after(kFirstPts, static_cast<gint64>(s.size() / 4)));
    auto delays = b.messages("iaassl-delays");
    fail_unless(b.messages("iaassl-direction").empty(), "a direction after the switch to delays");
    fail_unless(delays.size() >= 7, "%zu delay rows", delays.size());
    fail_unless_equals_int(gst_value_array_get_size(gst_structure_get_value(delays[0], "delays")), 3);
    fail_unless_equals_uint64(time_field(delays[1], "timestamp") - time_field(delays[0], "timestamp"), after(0, 128));
    free_all(delays);
    g_object_set(b.h->element, "post-messages", FALSE, nullptr);
    b.push(s, 0, 8 * 128, kOddBuffer, after(kFirstPts, static_cast<gint64>(s.size() / 4 + 8 * 128)));
    fail_unless(b.messages("iaassl-delays").empty(), "messages while post-messages is off");
}
GST_END_TEST;

GST_START_TEST(test_discontinuities_start_fresh_windows) {
    constexpr int kFrames = 4;
    constexpr size_t kWindow = kFrames * 128;
    const auto s = scene(40);
    Bench b(kCaps4);
    g_object_set(b.h->element, "frames", kFrames, nullptr);
    // A buffer without a PTS, one and a half windows timed from the first PTS, then a DISCONT: the
    // half window is dropped, not completed.
    b.push(s, 0, kOddBuffer, kOddBuffer, GST_CLOCK_TIME_NONE);
    b.push(s, kOddBuffer, kOddBuffer + kWindow * 3 / 2, kOddBuffer, kFirstPts);
    const GstClockTime restart = 50 * GST_SECOND + 3;
    b.push(s, 0, 2 * kWindow, kOddBuffer, restart, true);
    auto got = b.messages("iaassl-direction");
    fail_unless_equals_uint64(got.size(), 3);
    fail_unless_equals_uint64(time_field(got[0], "timestamp"), kFirstPts);
    fail_unless_equals_uint64(time_field(got[1], "timestamp"), restart);
    fail_unless_equals_uint64(time_field(got[2], "timestamp"), after(restart, kWindow));
    free_all(got);
    // Audio missing without a DISCONT flag, and a GAP event, restart the windows too.
    const GstClockTime late = after(restart, 2 * kWindow) + GST_SECOND;
    b.push(s, 0, kWindow / 2, kOddBuffer, late);
    b.push(s, 0, kWindow, kOddBuffer, late + 2 * GST_SECOND);
    gst_harness_push_event(b.h, gst_event_new_gap(late + 3 * GST_SECOND, GST_SECOND));
    b.push(s, 0, kWindow, kOddBuffer, late + 4 * GST_SECOND);
    got = b.messages("iaassl-direction");
    fail_unless_equals_uint64(got.size(), 2);
    fail_unless_equals_uint64(time_field(got[0], "timestamp"), late + 2 * GST_SECOND);
    fail_unless_equals_uint64(time_field(got[1], "timestamp"), late + 4 * GST_SECOND);
    free_all(got);
}
GST_END_TEST;

// A buffer that ends inside a frame stops the stream, as GStreamer's audio elements do, with an
// error that names the buffer's size and the frame's.
GST_START_TEST(test_partial_frame_is_an_error) {
    const auto s = scene(2);
    Bench b(kCaps4);
    fail_unless_equals_int(b.push(s, 0, 128, 128, 0), GST_FLOW_OK);
    fail_unless_equals_int(gst_harness_push(b.h, gst_buffer_new_memdup(s.data(), 1027)), GST_FLOW_ERROR);
    const std::string error = error_text(b.bus);
    fail_unless(error.find("1027 bytes is not a whole number of 8-byte") != std::string::npos, "%s", error.c_str());
}
GST_END_TEST;

// A DISCONT and a gap break the audio, not the talkers: after each direction, the talkers the core
// gives for the same pieces. While playing, a change to delays mode is refused: it would not track.
GST_START_TEST(test_talkers_follow_each_direction) {
    std::vector<gint16> s(100 * 128 * 4); // silence first, so that the tracker hears someone start
    const auto talker = scene(300);
    s.insert(s.end(), talker.begin(), talker.end());
    const size_t all = s.size() / 4;
    const auto want = core_rows(s, 4, {all / 2 + 100, all, all / 3, all}, true);
    Bench b(kCaps4);
    g_object_set(b.h->element, "frames", 4, "track", TRUE, nullptr);
    b.push(s, 0, all / 2 + 100, kOddBuffer, 0);
    b.push(s, 0, all, kOddBuffer, 30 * GST_SECOND, true);
    gst_harness_push_event(b.h, gst_event_new_gap(60 * GST_SECOND, GST_SECOND));
    b.push(s, 0, all / 3, kOddBuffer, 61 * GST_SECOND);
    ASSERT_WARNING(gst_util_set_object_arg(G_OBJECT(b.h->element), "mode", "delays"));
    b.push(s, 0, all, kOddBuffer, 90 * GST_SECOND, true);
    auto got = b.messages(nullptr);
    fail_unless_equals_uint64(got.size(), 2 * want.size());
    for (size_t i = 0; i < want.size(); ++i)
        fail_unless(gst_structure_has_name(got[2 * i + 1], "iaassl-talkers") &&
                        talkers_of(got[2 * i + 1]) == want[i].talkers,
                    "window %zu", i);
    free_all(got);
}
GST_END_TEST;

GST_START_TEST(test_properties_refuse_out_of_range) {
    GstElement *e = gst_element_factory_make("iaassllocate", nullptr);
    const struct {
        const char *name;
        int bad_low, bad_high, fallback;
    } ints[] = {{"temperature", -41, 61, 25}, {"gate", -81, 1, -80}, {"frames", 0, (1 << 20) + 1, 32},
                {"max-talkers", 0, 17, 4}};
    for (const auto &p : ints) {
        ASSERT_WARNING(g_object_set(e, p.name, p.bad_low, nullptr));
        ASSERT_WARNING(g_object_set(e, p.name, p.bad_high, nullptr));
        int now = 0;
        g_object_get(e, p.name, &now, nullptr);
        fail_unless_equals_int(now, p.fallback);
    }
    for (double bad : {0.0, -1.0, std::nan(""), 1e-300, 1e300}) ASSERT_WARNING(g_object_set(e, "spacing", bad, nullptr));
    for (double bad : {0.09, 86401.0, std::nan("")}) ASSERT_WARNING(g_object_set(e, "forget", bad, nullptr));
    g_object_set(e, "spacing", 4.5, "temperature", -40, nullptr);
    gst_util_set_object_arg(G_OBJECT(e), "geometry", "circular");
    double spacing = 0;
    int temperature = 0, geometry = 0;
    g_object_get(e, "spacing", &spacing, "temperature", &temperature, "geometry", &geometry, nullptr);
    fail_unless(spacing == 4.5 && temperature == -40 && geometry == 1);
    gst_object_unref(e);
}
GST_END_TEST;

// Asks about `caps`, then sends them and pushes a buffer: asking posts nothing; the caps sent are
// refused as not-negotiated, with an error that names both sides.
static void expect_refused(const char *caps, const char *geometry, const char *said) {
    Bench b(nullptr);
    gst_util_set_object_arg(G_OBJECT(b.h->element), "geometry", geometry);
    gst_harness_push_event(b.h, gst_event_new_stream_start("refused"));
    GstCaps *offered = gst_caps_from_string(caps);
    gst_pad_peer_query_accept_caps(b.h->srcpad, offered);
    fail_if(gst_bus_have_pending(b.bus), "a query for %s posted a message", caps);
    gst_harness_push_event(b.h, gst_event_new_caps(offered));
    gst_caps_unref(offered);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_harness_push_event(b.h, gst_event_new_segment(&segment));
    fail_unless_equals_int(gst_harness_push(b.h, gst_buffer_new_allocate(nullptr, 1024, nullptr)),
                           GST_FLOW_NOT_NEGOTIATED);
    const std::string error = error_text(b.bus);
    fail_unless(error.find(said) != std::string::npos, "'%s' lacks '%s'", error.c_str(), said);
    fail_if(gst_bus_pop_filtered(b.bus, GST_MESSAGE_ERROR), "the refusal of %s said again", caps);
}

GST_START_TEST(test_refused_formats) {
    expect_refused("audio/x-raw,format=S16LE,layout=interleaved,channels=3,rate=16000,channel-mask=(bitmask)0", "linear",
                   "2 or 4 channels, at 8000, 16000, 32000, 48000 Hz");
    expect_refused("audio/x-raw,format=S16LE,layout=interleaved,channels=2,rate=44100", "linear", "rate=(int)44100");
    expect_refused("audio/x-raw,format=S16LE,layout=interleaved,channels=4,rate=16000", "linear", "channel-mask");
    expect_refused("audio/x-raw,format=F32LE,layout=interleaved,channels=2,rate=16000", "linear", "F32LE");
    expect_refused("audio/x-raw,format=S16LE,layout=interleaved,channels=2,rate=16000", "circular",
                   "needs --geometry linear");
}
GST_END_TEST;

static Suite *iaassllocate_suite() {
    Suite *s = suite_create("iaassllocate");
    TCase *tc = tcase_create("element");
    suite_add_tcase(s, tc);
    tcase_add_test(tc, test_caps_and_passthrough);
    tcase_add_test(tc, test_messages_at_exact_times);
    tcase_add_test(tc, test_discontinuities_start_fresh_windows);
    tcase_add_test(tc, test_partial_frame_is_an_error);
    tcase_add_test(tc, test_talkers_follow_each_direction);
    tcase_add_test(tc, test_properties_refuse_out_of_range);
    tcase_add_test(tc, test_refused_formats);
    return s;
}

GST_CHECK_MAIN(iaassllocate)
