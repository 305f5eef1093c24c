#include "stream_probe.h"
#include "duration.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace media {
namespace {

// Stream time read past the first timestamp before the set of streams is
// taken as complete: DVD packs interleave every stream within half a second.
constexpr GstClockTime kProbeSpan = GST_SECOND;
constexpr GstClockTime kProbeWallLimit = 10 * GST_SECOND;

struct ProbeState {
    GstElement* pipeline = nullptr;
    std::mutex lock;
    std::vector<ProbedStream> streams;
    GstClockTime first = GST_CLOCK_TIME_NONE;
    std::atomic<bool> done{false};
};

GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* state = static_cast<ProbeState*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime ts = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : GST_BUFFER_DTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(ts)) return GST_PAD_PROBE_OK;
    bool finished = false;
    {
        std::lock_guard guard(state->lock);
        if (!GST_CLOCK_TIME_IS_VALID(state->first) || ts < state->first) state->first = ts;
        finished = ts - state->first >= kProbeSpan;
    }
    if (finished && !state->done.exchange(true)) {
        gst_element_post_message(state->pipeline,
                                 gst_message_new_application(nullptr, gst_structure_new_empty("probe-done")));
    }
    return GST_PAD_PROBE_OK;
}

void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* state = static_cast<ProbeState*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) caps = gst_pad_query_caps(pad, nullptr);
    gchar* name = gst_pad_get_name(pad);
    {
        std::lock_guard guard(state->lock);
        state->streams.push_back({name, CapsPtr(caps)});
    }
    g_free(name);

    DrainPad(GST_BIN(state->pipeline), pad);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, state, nullptr);
}

} // namespace

ProbeResult ProbeProgramStream(const std::string& path) {
    ProbeResult result;
    EnsureGstInit();
    GstElement* src = MakeElement("filesrc");
    GstElement* demux = MakeElement("mpegpsdemux");
    if (!src || !demux) {
        if (src) gst_object_unref(src);
        if (demux) gst_object_unref(demux);
        result.error = "the MPEG program stream demultiplexer is not installed";
        return result;
    }
    ProbeState state;
    state.pipeline = gst_pipeline_new("probe");
    g_object_set(src, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(state.pipeline), src, demux, nullptr);
    gst_element_link(src, demux);
    const gulong handler = g_signal_connect(demux, "pad-added", G_CALLBACK(OnPadAdded), &state);

    GstPtr<GstBus> bus(gst_element_get_bus(state.pipeline));
    if (gst_element_set_state(state.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        result.error = "the file cannot be read";
    }
    const GstClockTime deadline = gst_util_get_timestamp() + kProbeWallLimit;
    bool finished = !result.error.empty();
    while (!finished) {
        const GstClockTime now = gst_util_get_timestamp();
        if (now >= deadline) break;
        MessagePtr msg(gst_bus_timed_pop_filtered(
            bus.get(), deadline - now,
            static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_APPLICATION)));
        if (!msg) break;
        switch (GST_MESSAGE_TYPE(msg.get())) {
        case GST_MESSAGE_ERROR: result.error = ErrorText(msg.get()); finished = true; break;
        default: finished = true; break;
        }
    }
    gint64 duration = -1;
    if (result.error.empty() && gst_element_query_duration(state.pipeline, GST_FORMAT_TIME, &duration))
        result.durationNs = duration;
    gst_element_set_state(state.pipeline, GST_STATE_NULL);
    g_signal_handler_disconnect(demux, handler);
    gst_object_unref(state.pipeline);

    result.streams = std::move(state.streams);
    std::sort(result.streams.begin(), result.streams.end(),
              [](const ProbedStream& a, const ProbedStream& b) { return a.padName < b.padName; });
    if (result.error.empty() && result.streams.empty()) result.error = "no MPEG program stream was found in the file";
    result.ok = result.error.empty();
    return result;
}

} // namespace media

namespace media {

double ProgramStreamSeconds(const std::string& path) {
    const ProbeResult probe = ProbeProgramStream(path);
    return probe.ok && probe.durationNs > 0 ? static_cast<double>(probe.durationNs) / 1e9 : 0.0;
}

} // namespace media
