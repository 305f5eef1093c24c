#include "platform/media/repair/timeline.h"

#include "platform/media/gst/gst_ptr.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace media {
namespace {

constexpr float kMinus3dB = 0.70710678f;

// The share of an input channel that goes into the left and right outputs.
struct Share {
    float left = 0, right = 0;
};

Share ShareOf(GstAudioChannelPosition position) {
    switch (position) {
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT: return {1, 0};
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT: return {0, 1};
    case GST_AUDIO_CHANNEL_POSITION_MONO:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_REAR_CENTER: return {kMinus3dB, kMinus3dB};
    case GST_AUDIO_CHANNEL_POSITION_REAR_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER: return {kMinus3dB, 0};
    case GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER: return {0, kMinus3dB};
    default: return {};  // LFE and the rest
    }
}

void SetMatrix(GstElement* mixer, const GstAudioInfo& info) {
    const int channels = GST_AUDIO_INFO_CHANNELS(&info);
    GValue matrix = G_VALUE_INIT;
    gst_value_array_init(&matrix, 2);
    for (int out = 0; out < 2; ++out) {
        GValue row = G_VALUE_INIT;
        gst_value_array_init(&row, static_cast<guint>(channels));
        for (int in = 0; in < channels; ++in) {
            GstAudioChannelPosition position = info.position[in];
            // A single channel without a position is mono.
            if (channels == 1) position = GST_AUDIO_CHANNEL_POSITION_MONO;
            const Share share = ShareOf(position);
            GValue v = G_VALUE_INIT;
            g_value_init(&v, G_TYPE_FLOAT);
            g_value_set_float(&v, out == 0 ? share.left : share.right);
            gst_value_array_append_and_take_value(&row, &v);
        }
        gst_value_array_append_and_take_value(&matrix, &row);
    }
    g_object_set_property(G_OBJECT(mixer), "mix-matrix", &matrix);
    g_value_unset(&matrix);
}

GstPadProbeReturn OnMixerCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    GstAudioInfo audio;
    if (!gst_audio_info_from_caps(&audio, caps)) return GST_PAD_PROBE_OK;
    auto* mixer = static_cast<GstElement*>(data);
    if (GST_AUDIO_INFO_CHANNELS(&audio) == 2) {
        // Stereo stays as it is.
        GValue none = G_VALUE_INIT;
        gst_value_array_init(&none, 0);
        g_object_set_property(G_OBJECT(mixer), "mix-matrix", &none);
        g_value_unset(&none);
    } else {
        SetMatrix(mixer, audio);
    }
    GST_INFO_OBJECT(mixer, "mixing %d channels to stereo", GST_AUDIO_INFO_CHANNELS(&audio));
    return GST_PAD_PROBE_OK;
}

struct LevelGuard {
    float gain = 1.0f;
};

// 1 dB below full scale: a lossy encoder's output overshoots its input's peaks.
constexpr float kCeiling = 0.891f;
// How fast the gain returns once the loud passage has passed: about 6 dB a second.
constexpr float kReleasePerSample = 1.0f + 6.0f / 8.686f / 48000.0f;

GstPadProbeReturn OnLevel(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* guard = static_cast<LevelGuard*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    const auto* in = reinterpret_cast<const float*>(map.data);
    const std::size_t count = map.size / sizeof(float);
    float peak = 0;
    for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(in[i]));
    gst_buffer_unmap(buffer, &map);
    const std::size_t frames = count / 2;  // stereo
    const float released = std::min(1.0f, guard->gain * std::pow(kReleasePerSample, static_cast<float>(frames)));
    const float gain = peak * released > kCeiling ? kCeiling / peak : released;
    const bool unchanged = guard->gain >= 1.0f && gain >= 1.0f;
    if (unchanged) return GST_PAD_PROBE_OK;

    buffer = gst_buffer_make_writable(buffer);
    if (gst_buffer_map(buffer, &map, GST_MAP_READWRITE)) {
        auto* samples = reinterpret_cast<float*>(map.data);
        // A falling gain applies at once, to the whole block; a rising one
        // glides up from the last block's.
        const float from = std::min(guard->gain, gain);
        for (std::size_t f = 0; f < frames; ++f) {
            const float g = frames > 1 ? from + (gain - from) * static_cast<float>(f) / static_cast<float>(frames - 1) : gain;
            samples[2 * f] *= g;
            samples[2 * f + 1] *= g;
        }
        gst_buffer_unmap(buffer, &map);
    }
    guard->gain = gain;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

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

void MixToStereo(GstElement* mixer) {
    GstPtr<GstPad> sink(gst_element_get_static_pad(mixer, "sink"));
    gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnMixerCaps, mixer, nullptr);
}

void GuardLevel(GstPad* pad) {
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnLevel, new LevelGuard,
                      [](gpointer p) { delete static_cast<LevelGuard*>(p); });
}

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
