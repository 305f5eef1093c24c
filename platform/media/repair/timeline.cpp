#include "platform/media/repair/timeline.h"

#include "platform/media/gst/handles.h"
#include "platform/media/gst/runtime.h"

#include <gst/audio/audio.h>

namespace media {
namespace {

struct Held {
    GstBuffer* last = nullptr;
    bool again = false;  // last is a picture held over a gap
    ~Held() { gst_clear_buffer(&last); }
};

// Hands pad the held picture again, timed at at.
void HandAgain(GstPad* pad, Held* held, GstClockTime at) {
    GST_LOG("holding the picture of %" GST_TIME_FORMAT " to %" GST_TIME_FORMAT,
            GST_TIME_ARGS(GST_BUFFER_PTS(held->last)), GST_TIME_ARGS(at));
    // The same picture, sharing its memory.
    GstBuffer* again = gst_buffer_copy(held->last);
    GST_BUFFER_PTS(again) = at;
    GST_BUFFER_DTS(again) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_FLAG_UNSET(again, GST_BUFFER_FLAG_DISCONT);
    gst_buffer_replace(&held->last, again);
    gst_pad_chain(pad, again);
    held->again = true;
}

GstPadProbeReturn OnPictureOrGap(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* held = static_cast<Held*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        // videorate shows whichever picture is nearer in time, so a picture
        // that comes seconds after the last would be shown from halfway: the
        // last is held until a frame before it.
        if (held->last && held->last != buffer && GST_BUFFER_PTS_IS_VALID(buffer) &&
            GST_BUFFER_PTS_IS_VALID(held->last) && GST_BUFFER_DURATION_IS_VALID(held->last)) {
            const GstClockTime frame = GST_BUFFER_DURATION(held->last);
            if (GST_BUFFER_PTS(buffer) > GST_BUFFER_PTS(held->last) + 2 * frame)
                HandAgain(pad, held, GST_BUFFER_PTS(buffer) - frame);
        }
        gst_buffer_replace(&held->last, buffer);
        held->again = false;
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_GAP: {
        GstClockTime start = GST_CLOCK_TIME_NONE, duration = GST_CLOCK_TIME_NONE;
        gst_event_parse_gap(event, &start, &duration);
        if (!held->last || !GST_CLOCK_TIME_IS_VALID(start)) break;
        const GstClockTime end = GST_CLOCK_TIME_IS_VALID(duration) ? start + duration : start;
        if (!GST_BUFFER_PTS_IS_VALID(held->last) || end <= GST_BUFFER_PTS(held->last)) break;
        HandAgain(pad, held, end);
        break;
    }
    case GST_EVENT_EOS:
        // videorate repeats a picture only up to halfway to the next one and
        // ends with one frame: a picture held to the end is shown through it.
        if (held->last && held->again && GST_BUFFER_DURATION_IS_VALID(held->last))
            HandAgain(pad, held, GST_BUFFER_PTS(held->last) + GST_BUFFER_DURATION(held->last));
        break;
    case GST_EVENT_FLUSH_STOP:
    case GST_EVENT_SEGMENT: gst_clear_buffer(&held->last); break;
    default: break;
    }
    return GST_PAD_PROBE_OK;
}

struct Trim {
    GstElement* encoder;
    guint (*delayAt)(guint rate);
    guint64 left = G_MAXUINT64;  // samples still to drop; unknown until the first buffer
};

GstPadProbeReturn OnEncoderInput(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    auto* trim = static_cast<Trim*>(data);
    CapsPtr caps(gst_pad_get_current_caps(pad));
    GstAudioInfo audio;
    if (!caps || !gst_audio_info_from_caps(&audio, caps.get())) return GST_PAD_PROBE_REMOVE;
    if (trim->left == G_MAXUINT64) {
        trim->left = trim->delayAt(static_cast<guint>(GST_AUDIO_INFO_RATE(&audio)));
        GST_INFO_OBJECT(trim->encoder, "dropping the first %" G_GUINT64_FORMAT " samples, the encoder's delay",
                        trim->left);
    }
    if (trim->left == 0) return GST_PAD_PROBE_REMOVE;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const gsize bpf = static_cast<gsize>(GST_AUDIO_INFO_BPF(&audio));
    const guint64 frames = gst_buffer_get_size(buffer) / bpf;
    if (frames <= trim->left) {
        trim->left -= frames;
        return GST_PAD_PROBE_DROP;
    }
    GstBuffer* rest = gst_audio_buffer_truncate(buffer, static_cast<gint>(bpf), static_cast<gsize>(trim->left), -1);
    trim->left = 0;
    GST_PAD_PROBE_INFO_DATA(info) = rest;
    return GST_PAD_PROBE_REMOVE;
}

} // namespace

void HoldPicturesThroughGaps(GstElement* videorate) {
    GstPtr<GstPad> sink(gst_element_get_static_pad(videorate, "sink"));
    gst_pad_add_probe(sink.get(),
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      OnPictureOrGap, new Held, [](gpointer p) { delete static_cast<Held*>(p); });
}

void TrimEncoderDelay(GstElement* encoder, guint (*delayAt)(guint rate)) {
    GstPtr<GstPad> sink(gst_element_get_static_pad(encoder, "sink"));
    gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_BUFFER, OnEncoderInput, new Trim{encoder, delayAt},
                      [](gpointer p) { delete static_cast<Trim*>(p); });
}

} // namespace media
