#include "platform/media/source/stream_probe.h"

#include "platform/media/gst/error_text.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/source/dvd_title.h"
#include "platform/media/source/field_filters.h"
#include "platform/media/source/pack_scan.h"
#include "platform/media/source/source_info.h"
#include "platform/media/source/title_source.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

namespace media {
namespace {

// Stream time read before the set of streams is taken as complete: DVD packs
// interleave every stream within half a second once they have started.
constexpr GstClockTime kProbeSpan = GST_SECOND;
// A stream may start this late in a valid VOB (audio after a silent lead-in).
constexpr GstClockTime kLateStreamSpan = 8 * GST_SECOND;
constexpr GstClockTime kProbeWallLimit = 10 * GST_SECOND;
// Pictures of the first second before their cadence counts.
constexpr int kFilmMinPictures = 12;

struct ProbeState {
    GstElement* pipeline = nullptr;
    std::mutex lock;
    std::vector<ProbedStream> streams;
    GstClockTime first = GST_CLOCK_TIME_NONE;
    bool haveVideo = false, haveAudio = false;
    PictureCadence cadence;
    std::atomic<bool> done{false};
};

void Finish(ProbeState* state) {
    if (!state->done.exchange(true))
        gst_element_post_message(state->pipeline,
                                 gst_message_new_application(nullptr, gst_structure_new_empty("probe-done")));
}

GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* state = static_cast<ProbeState*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime ts = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : GST_BUFFER_DTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(ts)) return GST_PAD_PROBE_OK;
    bool finished = false;
    {
        std::lock_guard guard(state->lock);
        if (!GST_CLOCK_TIME_IS_VALID(state->first) || ts < state->first) state->first = ts;
        const GstClockTime span = ts - state->first;
        finished = span >= kLateStreamSpan || (span >= kProbeSpan && state->haveVideo && state->haveAudio);
    }
    if (finished) Finish(state);
    return GST_PAD_PROBE_OK;
}

// Counts the pictures of the video stream and those flagged to repeat a field.
GstPadProbeReturn OnVideoData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* state = static_cast<ProbeState*>(data);
    GstMapInfo map;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    {
        std::lock_guard guard(state->lock);
        CountPictures(map.data, map.size, state->cadence);
    }
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* state = static_cast<ProbeState*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) caps = gst_pad_query_caps(pad, nullptr);
    gchar* name = gst_pad_get_name(pad);
    const bool video = IsMpegVideo(caps);
    {
        std::lock_guard guard(state->lock);
        state->haveVideo = state->haveVideo || video;
        state->haveAudio = state->haveAudio || g_str_has_prefix(name, "audio_");
        state->streams.push_back({name, CapsPtr(caps)});
    }
    g_free(name);

    DrainPad(GST_BIN(state->pipeline), pad);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, state, nullptr);
    if (video) gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnVideoData, state, nullptr);
}

} // namespace

bool IsMpegVideo(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int version = 0;
    return gst_structure_has_name(s, "video/mpeg") && gst_structure_get_int(s, "mpegversion", &version) &&
           (version == 1 || version == 2);
}

bool IsAc3(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    return gst_structure_has_name(s, "audio/x-private1-ac3") || gst_structure_has_name(s, "audio/x-ac3") ||
           gst_structure_has_name(s, "audio/ac3");
}

int AudioStreamId(const std::string& padName) {
    unsigned id = 0;
    if (std::sscanf(padName.c_str(), "audio_%2x", &id) != 1) return -1;
    const bool dvd = (id >= 0x80 && id <= 0x8f) || (id >= 0xa0 && id <= 0xa7) || (id >= 0xc0 && id <= 0xc7);
    return dvd ? static_cast<int>(id) : -1;
}

namespace {

// The DVD stream number of an audio pad ("audio_82" is AC-3 stream 2, "audio_c1"
// MPEG stream 1), -1 for any other pad.
int StreamNumber(const std::string& padName) {
    const int id = AudioStreamId(padName);
    return id < 0 ? -1 : id & 7;
}

bool IsMpegAudioOrLpcm(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return false;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    return gst_structure_has_name(s, "audio/mpeg") || gst_structure_has_name(s, "audio/x-private1-lpcm") ||
           gst_structure_has_name(s, "audio/x-lpcm");
}

} // namespace

std::string ChosenAudioPad(const std::vector<ProbedStream>& streams, int audioStream) {
    if (audioStream >= 0) {
        for (const ProbedStream& s : streams)
            if (StreamNumber(s.padName) == audioStream) return s.padName;
        // A file multiplexed outside DVD authoring numbers each format from 0
        // (AC-3 0x80 beside DTS 0x88): its tracks are counted in pad order.
        int track = 0;
        for (const ProbedStream& s : streams)
            if (StreamNumber(s.padName) >= 0 && track++ == audioStream) return s.padName;
        return {};
    }
    const ProbedStream* fallback = nullptr;
    for (const ProbedStream& s : streams) {
        if (StreamNumber(s.padName) < 0) continue;
        if (IsAc3(s.caps.get())) return s.padName;
        if (IsMpegAudioOrLpcm(s.caps.get()) &&
            (!fallback || StreamNumber(s.padName) < StreamNumber(fallback->padName)))
            fallback = &s;
    }
    return fallback ? fallback->padName : std::string();
}

ProbeResult ProbeProgramStream(const ProgramSource& source, bool judgeFields) {
    ProbeResult result;
    EnsureGstInit();
    std::unique_ptr<SourceBytes> bytes = OpenSourceBytes(source, result.error);
    if (!bytes) return result;
    const PackScan packs = ScanPacks(*bytes);
    bytes.reset();
    // A few scrambled packets among thousands could be damage; CSS scrambles
    // most of the video.
    if (packs.scrambledPackets >= 4 && packs.scrambledPackets * 10 >= packs.packetsRead) {
        result.scrambled = true;
        result.error = "the file is encrypted (CSS)";
        return result;
    }

    GstPtr<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("probe"))));
    GstElement* src = MakeSourceElement(source);
    GstElement* demux = MakeElement("mpegpsdemux");
    if (!src || !demux) {
        if (src) gst_object_unref(src);
        if (demux) gst_object_unref(demux);
        result.error = !src && source.IsTitle() ? "the DVD title reader could not be made"
                                                : "the MPEG program stream demultiplexer is not installed";
        return result;
    }
    ProbeState state;
    state.pipeline = pipeline.get();
    gst_bin_add_many(GST_BIN(state.pipeline), src, demux, nullptr);
    if (!gst_element_link(src, demux)) {
        result.error = "the file cannot be demultiplexed";
        return result;
    }
    const gulong handler = g_signal_connect(demux, "pad-added", G_CALLBACK(OnPadAdded), &state);

    GstPtr<GstBus> bus(gst_element_get_bus(state.pipeline));
    if (gst_element_set_state(state.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        result.error = "the file cannot be read";
    const GstClockTime deadline = gst_util_get_timestamp() + kProbeWallLimit;
    bool finished = !result.error.empty();
    while (!finished) {
        const GstClockTime now = gst_util_get_timestamp();
        if (now >= deadline) break;
        MessagePtr msg(gst_bus_timed_pop_filtered(
            bus.get(), deadline - now,
            static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_APPLICATION)));
        if (!msg) break;
        if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_ERROR) result.error = ErrorText(msg.get());
        finished = true;
    }
    gint64 duration = -1;
    if (result.error.empty() && gst_element_query_duration(state.pipeline, GST_FORMAT_TIME, &duration))
        result.durationNs = duration;
    gst_element_set_state(state.pipeline, GST_STATE_NULL);
    g_signal_handler_disconnect(demux, handler);

    // The demuxer measures a file from the first timestamp to the last, which
    // is short of the truth when the clock starts again part-way through. A
    // title's length is its program chain's, as the reader tells it.
    if (!source.IsTitle() && packs.clockRestarts > 0 && packs.durationNs > result.durationNs)
        result.durationNs = packs.durationNs;
    if (result.durationNs < 0) result.durationNs = packs.durationNs;
    // Film throughout: the first second and every place sampled across the
    // file. Film mixed with video stays at the display rate.
    result.film = state.cadence.ntscSequence && state.cadence.Film(kFilmMinPictures) &&
                  packs.filmSamples == packs.videoSamples;
    if (judgeFields && result.error.empty() && !result.film)
        result.fieldFilters = FieldFilters(JudgeFields(source, packs.interlacedSamples, source.fields), source.fields);
    if (GST_CLOCK_TIME_IS_VALID(state.first)) result.firstNs = static_cast<std::int64_t>(state.first);
    result.clockRestarts = packs.clockRestarts;
    // A title's cells say where its clock starts again, which samples taken
    // by position can miss.
    DvdTitlePlan plan;
    if (std::string unused; source.IsTitle() && PlanTitle(source.path, source.title, source.angle, plan, unused))
        result.clockRestarts = std::max(result.clockRestarts, plan.clockRestarts);
    result.streams = std::move(state.streams);
    std::sort(result.streams.begin(), result.streams.end(),
              [](const ProbedStream& a, const ProbedStream& b) { return a.padName < b.padName; });
    if (result.error.empty() && result.streams.empty()) result.error = "no MPEG program stream was found in the file";
    result.ok = result.error.empty();
    return result;
}

namespace {

std::string AudioFormat(const GstCaps* caps) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const std::string name = gst_structure_get_name(s);
    if (IsAc3(caps)) return "AC-3";
    if (name == "audio/x-private1-lpcm" || name == "audio/x-lpcm") return "LPCM";
    if (name == "audio/x-private1-dts" || name == "audio/x-dts") return "DTS";
    int version = 0, layer = 0;
    if (name == "audio/mpeg" && gst_structure_get_int(s, "mpegversion", &version)) {
        if (!gst_structure_get_int(s, "layer", &layer)) return "MPEG-" + std::to_string(version) + " audio";
        static const char* const kLayers[] = {"", "I", "II", "III"};
        return "MPEG-" + std::to_string(version) + " Layer " + (layer >= 1 && layer <= 3 ? kLayers[layer] : "?");
    }
    return name.substr(name.find('/') + 1);
}

} // namespace

SourceInfo DescribeSource(const ProgramSource& source) {
    SourceInfo info;
    const ProbeResult probe = ProbeProgramStream(source);
    info.encrypted = probe.scrambled;
    info.programStream = probe.ok;
    if (!probe.ok) info.problem = probe.error;
    if (probe.ok && probe.durationNs > 0) info.seconds = static_cast<double>(probe.durationNs) / 1e9;
    for (const ProbedStream& stream : probe.streams) {
        const GstCaps* caps = stream.caps.get();
        if (IsMpegVideo(caps)) info.hasVideo = true;
        if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps) ||
            !g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/"))
            continue;
        info.audio.push_back(AudioFormat(caps));
    }
    info.hasAudio = !ChosenAudioPad(probe.streams, source.audioStream).empty();
    return info;
}

GstElement* MakeSourceElement(const ProgramSource& source) {
    if (!source.IsTitle()) {
        GstElement* src = MakeElement("filesrc");
        if (src) g_object_set(src, "location", source.path.c_str(), nullptr);
        return src;
    }
    return MakeTitleSource(source);
}

} // namespace media
