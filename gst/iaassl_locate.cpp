#include "iaassl_locate.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <stream_error.h>
#include <window_stream.h>

#include "locate_caps.h"
#include "locate_enums.h"
#include "row_message.h"
#include "window_clock.h"

GST_DEBUG_CATEGORY_STATIC(iaassl_locate_debug);
#define GST_CAT_DEFAULT iaassl_locate_debug

namespace {

using ssl_stream::StreamSettings;

// The stream's settings, then post-messages, which is the element's own.
enum Property { PROP_0, PROP_GEOMETRY, PROP_SPACING, PROP_TEMPERATURE, PROP_GATE, PROP_FRAMES, PROP_MODE,
                PROP_TRACK, PROP_FORGET, PROP_MAX_TALKERS, PROP_POST_MESSAGES };

constexpr gboolean kDefaultPostMessages = TRUE;

struct CapsUnref {
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
};

struct LocateState {
    // Set from any thread under the object lock; the streaming thread takes them up.
    StreamSettings requested;
    bool requested_changed = false;
    bool post_messages = kDefaultPostMessages;
    // A running stream takes only what it can: a change it would refuse is refused at once.
    bool streaming = false;
    // The streaming thread's own.
    std::unique_ptr<ssl_stream::WindowStream> stream;
    std::optional<iaassl_gst::WindowClock> clock;
    std::unique_ptr<GstCaps, CapsUnref> refused_caps;
};

} // namespace

struct _GstIaasslLocate {
    GstAudioFilter parent;
    LocateState *state;
};

G_DEFINE_TYPE(GstIaasslLocate, gst_iaassl_locate, GST_TYPE_AUDIO_FILTER)

namespace {

LocateState &state_of(gpointer object) { return *GST_IAASSL_LOCATE(object)->state; }

constexpr auto kPropertyFlags =
    static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);

GParamSpec *int_property(const char *name, const char *nick, const char *blurb, ssl_stream::OptionRange range,
                         int fallback) {
    return g_param_spec_int(name, nick, blurb, static_cast<gint>(range.lowest), static_cast<gint>(range.highest),
                            fallback, kPropertyFlags);
}

void install_tracking_properties(GObjectClass *object_class, const StreamSettings &defaults) {
    g_object_class_install_property(
        object_class, PROP_TRACK,
        g_param_spec_boolean("track", "Track",
                             "Follow talkers across windows: an iaassl-talkers message after each iaassl-direction "
                             "(direction mode only)",
                             defaults.track, kPropertyFlags));
    g_object_class_install_property(
        object_class, PROP_FORGET,
        g_param_spec_double("forget", "Forget", "Seconds after which a talker not heard is forgotten",
                            ssl_stream::kForgetS.lowest, ssl_stream::kForgetS.highest, defaults.forget_s,
                            kPropertyFlags));
    g_object_class_install_property(object_class, PROP_MAX_TALKERS,
                                    int_property("max-talkers", "Max talkers", "Talkers known at once",
                                                 ssl_stream::kMaxTalkers, defaults.max_talkers));
}

void install_properties(GObjectClass *object_class) {
    const StreamSettings defaults;
    g_object_class_install_property(
        object_class, PROP_GEOMETRY,
        g_param_spec_enum("geometry", "Geometry", "How the microphones stand: on a line or on a circle (4 only)",
                          iaassl_gst::geometry_enum_type(), static_cast<gint>(defaults.shape), kPropertyFlags));
    g_object_class_install_property(
        object_class, PROP_SPACING,
        g_param_spec_double("spacing", "Spacing",
                            "Distance between neighbouring microphones in cm; the diameter of a circular array",
                            ssl_stream::kSpacingCm.lowest, ssl_stream::kSpacingCm.highest, defaults.spacing_cm,
                            kPropertyFlags));
    g_object_class_install_property(object_class, PROP_TEMPERATURE,
                                    int_property("temperature", "Temperature", "Air temperature in degrees Celsius, for the speed of sound",
                                                 ssl_stream::kTemperatureC, defaults.temperature_c));
    g_object_class_install_property(object_class, PROP_GATE,
                                    int_property("gate", "Gate", "Level in dB below which a window has no direction",
                                                 ssl_stream::kGateDb, defaults.gate_db));
    g_object_class_install_property(object_class, PROP_FRAMES,
                                    int_property("frames", "Frames", "Frames of 128 samples per decision window",
                                                 ssl_stream::kFramesPerDecision, defaults.frames));
    g_object_class_install_property(
        object_class, PROP_MODE,
        g_param_spec_enum("mode", "Mode",
                          "direction: one iaassl-direction message per window; delays: one iaassl-delays per frame",
                          iaassl_gst::mode_enum_type(), static_cast<gint>(defaults.mode), kPropertyFlags));
    g_object_class_install_property(
        object_class, PROP_POST_MESSAGES,
        g_param_spec_boolean("post-messages", "Post messages", "Post element messages on the bus",
                             kDefaultPostMessages, kPropertyFlags));
    install_tracking_properties(object_class, defaults);
}

// A range cannot say "finite" to a NaN.
bool take_finite(double &setting, const GValue *value) {
    const double number = g_value_get_double(value);
    if (!std::isfinite(number)) return false;
    setting = number;
    return true;
}

// Takes a new setting into `settings`; why not, worded for the user, when no stream can take it.
std::optional<std::string> request(StreamSettings &settings, guint property, const GValue *value) {
    switch (property) {
    case PROP_GEOMETRY: settings.shape = static_cast<ssl_stream::ArrayShape>(g_value_get_enum(value)); break;
    case PROP_SPACING:
        if (!take_finite(settings.spacing_cm, value)) return "spacing must be a finite number of cm above 0";
        break;
    case PROP_TEMPERATURE: settings.temperature_c = g_value_get_int(value); break;
    case PROP_GATE: settings.gate_db = g_value_get_int(value); break;
    case PROP_FRAMES: settings.frames = g_value_get_int(value); break;
    case PROP_MODE: settings.mode = static_cast<ssl_stream::Mode>(g_value_get_enum(value)); break;
    case PROP_TRACK: settings.track = g_value_get_boolean(value); break;
    case PROP_FORGET:
        if (!take_finite(settings.forget_s, value)) return "forget must be a finite number of seconds";
        break;
    case PROP_MAX_TALKERS: settings.max_talkers = g_value_get_int(value); break;
    default: break;
    }
    return std::nullopt;
}

// Called with the object lock held. While a stream runs, a change it would refuse (tracking in
// delays mode) is refused here and the settings stay as they were; before the start, the
// stream's own refusal says it, as an element error.
void change_setting(LocateState &state, guint property, const GValue *value) {
    StreamSettings wanted = state.requested;
    std::optional<std::string> problem = request(wanted, property, value);
    if (!problem && state.streaming) problem = ssl_stream::tracking_problem(wanted);
    if (problem) {
        g_warning("iaassllocate: %s", problem->c_str());
        return;
    }
    state.requested = wanted;
    state.requested_changed = true;
}

void set_property(GObject *object, guint property, const GValue *value, GParamSpec *param) {
    LocateState &state = state_of(object);
    GST_OBJECT_LOCK(object);
    if (property == PROP_POST_MESSAGES)
        state.post_messages = g_value_get_boolean(value);
    else if (property > PROP_0 && property < PROP_POST_MESSAGES)
        change_setting(state, property, value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, property, param);
    GST_OBJECT_UNLOCK(object);
}

void get_property(GObject *object, guint property, GValue *value, GParamSpec *param) {
    const LocateState &state = state_of(object);
    GST_OBJECT_LOCK(object);
    const StreamSettings &s = state.requested;
    switch (property) {
    case PROP_GEOMETRY: g_value_set_enum(value, static_cast<gint>(s.shape)); break;
    case PROP_SPACING: g_value_set_double(value, s.spacing_cm); break;
    case PROP_TEMPERATURE: g_value_set_int(value, s.temperature_c); break;
    case PROP_GATE: g_value_set_int(value, s.gate_db); break;
    case PROP_FRAMES: g_value_set_int(value, s.frames); break;
    case PROP_MODE: g_value_set_enum(value, static_cast<gint>(s.mode)); break;
    case PROP_TRACK: g_value_set_boolean(value, s.track); break;
    case PROP_FORGET: g_value_set_double(value, s.forget_s); break;
    case PROP_MAX_TALKERS: g_value_set_int(value, s.max_talkers); break;
    case PROP_POST_MESSAGES: g_value_set_boolean(value, state.post_messages); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, property, param);
    }
    GST_OBJECT_UNLOCK(object);
}

// The settings asked for, on the stream's channels and rate; clears the change. From then on a
// change is one for a running stream.
StreamSettings take_requested(GstIaasslLocate *self, int channels, int sample_rate) {
    GST_OBJECT_LOCK(self);
    StreamSettings settings = self->state->requested;
    self->state->requested_changed = false;
    self->state->streaming = true;
    GST_OBJECT_UNLOCK(self);
    settings.channels = channels;
    settings.sample_rate = sample_rate;
    return settings;
}

void end_stream(GstIaasslLocate *self) {
    GST_OBJECT_LOCK(self);
    self->state->streaming = false;
    GST_OBJECT_UNLOCK(self);
    self->state->stream.reset();
}

bool requested_changed(GstIaasslLocate *self) {
    GST_OBJECT_LOCK(self);
    const bool changed = self->state->requested_changed;
    GST_OBJECT_UNLOCK(self);
    return changed;
}

bool posting(GstIaasslLocate *self) {
    GST_OBJECT_LOCK(self);
    const bool post = self->state->post_messages;
    GST_OBJECT_UNLOCK(self);
    return post;
}

// Upstream sends its caps again before each buffer it tries: a refusal of the same caps is said once.
bool first_refusal(gpointer element, GstCaps *caps) {
    auto &refused = state_of(element).refused_caps;
    if (refused && gst_caps_is_equal(refused.get(), caps)) return false;
    refused.reset(gst_caps_ref(caps));
    return true;
}

// The library's notes, in the element's debug category: an element never writes to stdout.
ssl_stream::NoteReceiver notes_of(GstIaasslLocate *self) {
    return [self](std::string_view note) { GST_DEBUG_OBJECT(self, "%.*s", static_cast<int>(note.size()), note.data()); };
}

// A caps change starts a new stream, a fresh run of talkers too: another rate or channel count
// needs another library run.
gboolean setup(GstAudioFilter *filter, const GstAudioInfo *info) {
    auto *self = GST_IAASSL_LOCATE(filter);
    LocateState &state = *self->state;
    try {
        state.stream = std::make_unique<ssl_stream::WindowStream>(
            take_requested(self, GST_AUDIO_INFO_CHANNELS(info), GST_AUDIO_INFO_RATE(info)), notes_of(self));
    } catch (const ssl_stream::StreamError &e) {
        end_stream(self);
        const std::unique_ptr<GstCaps, CapsUnref> caps(gst_audio_info_to_caps(info));
        if (first_refusal(self, caps.get())) GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("%s", e.what()), (nullptr));
        return FALSE;
    }
    state.clock.emplace(GST_AUDIO_INFO_RATE(info));
    state.refused_caps.reset();
    return TRUE;
}

// Only answers: an application or a peer may ask about caps it never sends.
gboolean accept_caps(GstBaseTransform *trans, GstPadDirection direction, GstCaps *caps) {
    auto *parent_class = GST_BASE_TRANSFORM_CLASS(gst_iaassl_locate_parent_class);
    gboolean accepted = parent_class->accept_caps(trans, direction, caps);
    // Four channels without a channel-mask fit the template, but not an audio format.
    GstAudioInfo info;
    if (accepted && gst_caps_is_fixed(caps)) accepted = gst_audio_info_from_caps(&info, caps);
    return accepted;
}

// Caps sent are caps upstream has settled on: refused, negotiation has failed, and the pad turns
// the event away before any element code sees it, so the refusal is said here, just before.
GstPadProbeReturn refuse_sent_caps(GstPad *sinkpad, GstPadProbeInfo *info, gpointer element) {
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps *caps = nullptr;
    gst_event_parse_caps(event, &caps);
    if (!gst_pad_query_accept_caps(sinkpad, caps) && first_refusal(element, caps))
        GST_ELEMENT_ERROR(element, CORE, NEGOTIATION, ("%s", iaassl_gst::refusal_message(caps).c_str()), (nullptr));
    return GST_PAD_PROBE_OK;
}

// A flush or a gap: the audio that comes next does not go on from what came before.
gboolean sink_event(GstBaseTransform *trans, GstEvent *event) {
    LocateState &state = state_of(trans);
    const GstEventType type = GST_EVENT_TYPE(event);
    if ((type == GST_EVENT_FLUSH_STOP || type == GST_EVENT_GAP) && state.clock) state.clock->forget();
    return GST_BASE_TRANSFORM_CLASS(gst_iaassl_locate_parent_class)->sink_event(trans, event);
}

GstClockTime segment_time(const GstSegment &segment, GstClockTime t,
                          guint64 (*convert)(const GstSegment *, GstFormat, guint64)) {
    if (segment.format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(t)) return GST_CLOCK_TIME_NONE;
    return convert(&segment, GST_FORMAT_TIME, t);
}

void post_structure(GstBaseTransform *trans, GstStructure *s) {
    gst_element_post_message(GST_ELEMENT(trans), gst_message_new_element(GST_OBJECT(trans), s));
}

void post_row(GstBaseTransform *trans, const ssl_stream::StreamRow &row) {
    auto *self = GST_IAASSL_LOCATE(trans);
    if (!posting(self)) return;
    const LocateState &state = *self->state;
    iaassl_gst::RowTimes times{};
    times.timestamp = state.clock->time_of(row.start_sample);
    times.stream_time = segment_time(trans->segment, times.timestamp, gst_segment_to_stream_time);
    times.running_time = segment_time(trans->segment, times.timestamp, gst_segment_to_running_time);
    times.duration = state.clock->duration_of(state.stream->samples_per_row());
    const StreamSettings &settings = state.stream->settings();
    post_structure(trans, iaassl_gst::row_structure(row, settings.mode, times));
    if (settings.track) post_structure(trans, iaassl_gst::talkers_structure(row.talkers, times));
}

// Breaks the stream's continuity where the buffer does not go on from the audio before it, so
// that no window spans missing audio; the talkers are still where they were.
void follow_continuity(LocateState &state, GstBuffer *buffer) {
    ssl_stream::WindowStream &stream = *state.stream;
    const bool discont = GST_BUFFER_IS_DISCONT(buffer);
    if (!state.clock->breaks_continuity(GST_BUFFER_PTS(buffer), discont, stream.samples_fed())) return;
    if (stream.samples_fed() > 0) stream.break_continuity();
    state.clock->restart(GST_BUFFER_PTS(buffer));
}

GstFlowReturn feed_buffer(GstBaseTransform *trans, GstBuffer *buffer) {
    auto *self = GST_IAASSL_LOCATE(trans);
    LocateState &state = *self->state;
    ssl_stream::WindowStream &stream = *state.stream;
    if (requested_changed(self))
        stream.change_settings(take_requested(self, stream.settings().channels, stream.settings().sample_rate));
    follow_continuity(state, buffer);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, ("cannot read a buffer"), (nullptr));
        return GST_FLOW_ERROR;
    }
    const auto frames = map.size / static_cast<gsize>(GST_AUDIO_FILTER_BPF(self));
    stream.feed(reinterpret_cast<const std::int16_t *>(map.data), frames,
                [trans](const ssl_stream::StreamRow &row) { post_row(trans, row); });
    gst_buffer_unmap(buffer, &map);
    return GST_FLOW_OK;
}

// A buffer that ends inside a frame has lost or gained bytes upstream: from there on no sample can
// be told to be which microphone's, so the stream stops, as GStreamer's audio elements stop it.
bool holds_whole_frames(GstBaseTransform *trans, GstBuffer *buffer) {
    const gsize size = gst_buffer_get_size(buffer);
    const int frame_bytes = GST_AUDIO_FILTER_BPF(trans);
    if (size % static_cast<gsize>(frame_bytes) == 0) return true;
    GST_ELEMENT_ERROR(trans, STREAM, FORMAT,
                      ("a buffer of %" G_GSIZE_FORMAT " bytes is not a whole number of %d-byte frames (%d channels "
                       "of 16-bit samples)",
                       size, frame_bytes, GST_AUDIO_FILTER_CHANNELS(trans)),
                      (nullptr));
    return false;
}

// Called on passthrough too, with the buffer as it came: it is only read.
GstFlowReturn transform_ip(GstBaseTransform *trans, GstBuffer *buffer) {
    LocateState &state = state_of(trans);
    if (!state.stream) return GST_FLOW_NOT_NEGOTIATED;
    if (!holds_whole_frames(trans, buffer)) return GST_FLOW_ERROR;
    // A gap buffer's samples are made up: the audio after it starts afresh.
    if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_GAP)) {
        state.clock->forget();
        return GST_FLOW_OK;
    }
    try {
        return feed_buffer(trans, buffer);
    } catch (const ssl_stream::StreamError &e) {
        GST_ELEMENT_ERROR(trans, LIBRARY, SETTINGS, ("%s", e.what()), (nullptr));
        return GST_FLOW_ERROR;
    }
}

gboolean stop(GstBaseTransform *trans) {
    end_stream(GST_IAASSL_LOCATE(trans));
    LocateState &state = state_of(trans);
    state.clock.reset();
    // A pipeline started again with the same caps hears the refusal again.
    state.refused_caps.reset();
    return TRUE;
}

void finalize(GObject *object) {
    delete GST_IAASSL_LOCATE(object)->state;
    G_OBJECT_CLASS(gst_iaassl_locate_parent_class)->finalize(object);
}

} // namespace

static void gst_iaassl_locate_class_init(GstIaasslLocateClass *klass) {
    GST_DEBUG_CATEGORY_INIT(iaassl_locate_debug, "iaassllocate", 0, "sound source localisation");
    auto *object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = set_property;
    object_class->get_property = get_property;
    object_class->finalize = finalize;
    install_properties(object_class);

    auto *element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element_class, "Sound source localisation", "Filter/Analyzer/Audio",
        "Posts the direction of the sound a 2- or 4-microphone array hears as element messages",
        "Camaudio Device Team <device-team@camaudio.example>");
    GstCaps *caps = iaassl_gst::supported_caps();
    gst_audio_filter_class_add_pad_templates(GST_AUDIO_FILTER_CLASS(klass), caps);
    gst_caps_unref(caps);

    auto *trans_class = GST_BASE_TRANSFORM_CLASS(klass);
    trans_class->passthrough_on_same_caps = TRUE;
    trans_class->transform_ip_on_passthrough = TRUE;
    trans_class->transform_ip = transform_ip;
    trans_class->accept_caps = accept_caps;
    trans_class->sink_event = sink_event;
    trans_class->stop = stop;
    GST_AUDIO_FILTER_CLASS(klass)->setup = setup;
}

static void gst_iaassl_locate_init(GstIaasslLocate *self) {
    self->state = new LocateState;
    gst_pad_add_probe(GST_BASE_TRANSFORM_SINK_PAD(self), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, refuse_sent_caps, self,
                      nullptr);
}
