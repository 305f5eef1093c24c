#include "platform/media/filters/stereo_mix.h"

#include "platform/media/gst/handles.h"
#include "platform/media/gst/runtime.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <cmath>

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

} // namespace

void MixToStereo(GstElement* mixer) {
    GstPtr<GstPad> sink(gst_element_get_static_pad(mixer, "sink"));
    gst_pad_add_probe(sink.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnMixerCaps, mixer, nullptr);
}

void GuardLevel(GstPad* pad) {
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnLevel, new LevelGuard,
                      [](gpointer p) { delete static_cast<LevelGuard*>(p); });
}

} // namespace media
