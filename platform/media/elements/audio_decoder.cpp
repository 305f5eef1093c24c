#include "platform/media/elements/audio_decoder.h"

#include "platform/media/elements/codec_element.h"
#include "platform/media/gst/runtime.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <cstdint>
#include <cstring>
#include <mutex>

namespace media {
namespace {

struct AudioDec {
    GstAudioDecoder parent;
    AVCodecContext* context;
    AVPacket* packet;
    AVFrame* samples;
    GstAudioInfo output;             // what was last negotiated
    gint reorder[64];                // output channel of each of libavcodec's channels
};

#define VOBCAST_AUDIO_DEC(obj) (reinterpret_cast<AudioDec*>(obj))

GstStaticPadTemplate kSinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-ac3, framed=(boolean)true; "
                                            "audio/mpeg, mpegversion=(int)1, layer=(int)[1, 3], parsed=(boolean)true; "
                                            "audio/x-dts, framed=(boolean)true"));
GstStaticPadTemplate kSrcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)F32LE, layout=(string)interleaved, rate=(int)[1, 192000], "
                    "channels=(int)[1, 8]"));

GstElementClass* g_parentClass = nullptr;

// libavcodec's channels, in its order, as GStreamer positions.
constexpr struct {
    std::uint64_t av;
    GstAudioChannelPosition gst;
} kPositions[] = {
    {AV_CH_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT},
    {AV_CH_FRONT_RIGHT, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT},
    {AV_CH_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER},
    {AV_CH_LOW_FREQUENCY, GST_AUDIO_CHANNEL_POSITION_LFE1},
    {AV_CH_BACK_LEFT, GST_AUDIO_CHANNEL_POSITION_REAR_LEFT},
    {AV_CH_BACK_RIGHT, GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT},
    {AV_CH_FRONT_LEFT_OF_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER},
    {AV_CH_FRONT_RIGHT_OF_CENTER, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER},
    {AV_CH_BACK_CENTER, GST_AUDIO_CHANNEL_POSITION_REAR_CENTER},
    {AV_CH_SIDE_LEFT, GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT},
    {AV_CH_SIDE_RIGHT, GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT},
};

void CloseDecoder(AudioDec* dec) { avcodec_free_context(&dec->context); }

// libavcodec's decoder for what the parser in front of it frames: the float
// variants of the MPEG audio decoders, so every codec gives float samples.
const AVCodec* CodecFor(const GstCaps* caps) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    if (gst_structure_has_name(s, "audio/x-ac3")) return avcodec_find_decoder(AV_CODEC_ID_AC3);
    if (gst_structure_has_name(s, "audio/x-dts")) return avcodec_find_decoder(AV_CODEC_ID_DTS);
    int layer = 2;
    gst_structure_get_int(s, "layer", &layer);
    static const char* const kMpegFloat[] = {"mp1float", "mp2float", "mp3float"};
    static const AVCodecID kMpeg[] = {AV_CODEC_ID_MP1, AV_CODEC_ID_MP2, AV_CODEC_ID_MP3};
    if (layer < 1 || layer > 3) return nullptr;
    const AVCodec* codec = avcodec_find_decoder_by_name(kMpegFloat[layer - 1]);
    return codec ? codec : avcodec_find_decoder(kMpeg[layer - 1]);
}

gboolean SetFormat(GstAudioDecoder* decoder, GstCaps* caps) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(decoder);
    CloseDecoder(dec);
    const AVCodec* codec = CodecFor(caps);
    dec->context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!dec->context || avcodec_open2(dec->context, codec, nullptr) < 0) {
        gchar* text = gst_caps_to_string(caps);
        GST_ELEMENT_ERROR(dec, LIBRARY, INIT, (nullptr), ("libavcodec has no usable decoder for %s", text));
        g_free(text);
        CloseDecoder(dec);
        return FALSE;
    }
    GST_INFO_OBJECT(dec, "decoding with libavcodec's %s", codec->name);
    gst_audio_info_init(&dec->output);
    return TRUE;
}

gboolean Stop(GstAudioDecoder* decoder) {
    CloseDecoder(VOBCAST_AUDIO_DEC(decoder));
    return TRUE;
}

// The sample formats the decoders give: float (AC-3, MPEG audio, DTS's lossy
// core) and integers (DTS's lossless extension, the fixed-point decoders),
// planar or interleaved.
bool Readable(AVSampleFormat format) {
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S32: return true;
    default: return false;
    }
}

// Sample i of channel c as float, whatever the layout.
float SampleAt(const AVFrame* samples, int c, int i) {
    const auto format = static_cast<AVSampleFormat>(samples->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int channels = samples->ch_layout.nb_channels;
    const std::uint8_t* base = samples->extended_data[planar ? c : 0];
    const int at = planar ? i : i * channels + c;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[at];
    case AV_SAMPLE_FMT_S16: return static_cast<float>(reinterpret_cast<const std::int16_t*>(base)[at]) / 32768.0f;
    default: return static_cast<float>(reinterpret_cast<const std::int32_t*>(base)[at]) / 2147483648.0f;
    }
}

// Negotiates the decoded samples' rate and layout when they change.
bool EnsureOutput(AudioDec* dec, const AVFrame* samples) {
    const int channels = samples->ch_layout.nb_channels;
    if (channels < 1 || channels > 8 || !Readable(static_cast<AVSampleFormat>(samples->format))) return false;
    GstAudioChannelPosition from[64];
    if (channels == 1) {
        from[0] = GST_AUDIO_CHANNEL_POSITION_MONO;
    } else {
        // A native layout lists its channels in the order of their bits, as
        // the table does.
        int n = 0;
        if (samples->ch_layout.order == AV_CHANNEL_ORDER_NATIVE)
            for (const auto& p : kPositions)
                if ((samples->ch_layout.u.mask & p.av) != 0 && n < channels) from[n++] = p.gst;
        if (n != channels)
            for (int i = 0; i < channels; ++i) from[i] = GST_AUDIO_CHANNEL_POSITION_NONE;
    }
    GstAudioChannelPosition to[64];
    std::memcpy(to, from, sizeof(GstAudioChannelPosition) * static_cast<std::size_t>(channels));
    if (to[0] != GST_AUDIO_CHANNEL_POSITION_NONE && to[0] != GST_AUDIO_CHANNEL_POSITION_MONO)
        gst_audio_channel_positions_to_valid_order(to, channels);
    GstAudioInfo info;
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_F32LE, samples->sample_rate, channels, to);
    if (gst_audio_info_is_equal(&info, &dec->output)) return true;
    if (!gst_audio_get_channel_reorder_map(channels, from, to, dec->reorder))
        for (int i = 0; i < channels; ++i) dec->reorder[i] = i;
    dec->output = info;
    return gst_audio_decoder_set_output_format(GST_AUDIO_DECODER(dec), &info) != FALSE;
}

GstFlowReturn PushSamples(AudioDec* dec, const AVFrame* samples) {
    if (!EnsureOutput(dec, samples)) {
        GST_ELEMENT_ERROR(dec, STREAM, FORMAT, (nullptr),
                          ("the audio decoder gave an unusable sample format or channel layout"));
        return GST_FLOW_NOT_NEGOTIATED;
    }
    const int channels = samples->ch_layout.nb_channels;
    const gsize bytes = static_cast<gsize>(samples->nb_samples) * static_cast<gsize>(channels) * sizeof(float);
    GstBuffer* out = gst_audio_decoder_allocate_output_buffer(GST_AUDIO_DECODER(dec), bytes);
    GstMapInfo map;
    if (!out || !gst_buffer_map(out, &map, GST_MAP_WRITE)) {
        if (out) gst_buffer_unref(out);
        return GST_FLOW_ERROR;
    }
    auto* interleaved = reinterpret_cast<float*>(map.data);
    const bool planarFloat = samples->format == AV_SAMPLE_FMT_FLTP;
    for (int c = 0; c < channels; ++c) {
        const int to = dec->reorder[c];
        if (planarFloat) {
            const auto* plane = reinterpret_cast<const float*>(samples->extended_data[c]);
            for (int i = 0; i < samples->nb_samples; ++i) interleaved[i * channels + to] = plane[i];
        } else {
            for (int i = 0; i < samples->nb_samples; ++i) interleaved[i * channels + to] = SampleAt(samples, c, i);
        }
    }
    gst_buffer_unmap(out, &map);
    return gst_audio_decoder_finish_frame(GST_AUDIO_DECODER(dec), out, 1);
}

GstFlowReturn HandleFrame(GstAudioDecoder* decoder, GstBuffer* buffer) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(decoder);
    if (!buffer) return GST_FLOW_OK;  // nothing is held back between frames
    if (!dec->context) return GST_FLOW_NOT_NEGOTIATED;
    if (!CopyToPacket(buffer, dec->packet)) return GST_FLOW_ERROR;
    const int res = avcodec_send_packet(dec->context, dec->packet);
    av_packet_unref(dec->packet);
    bool decoded = false;
    GstFlowReturn ret = GST_FLOW_OK;
    if (res >= 0) {
        while (ret == GST_FLOW_OK && avcodec_receive_frame(dec->context, dec->samples) == 0) {
            ret = PushSamples(dec, dec->samples);
            av_frame_unref(dec->samples);
            decoded = true;
        }
    }
    if (!decoded && ret == GST_FLOW_OK) {
        // A damaged frame: its time passes without sound; audiorate fills it.
        GST_WARNING_OBJECT(dec, "an audio frame could not be decoded (%d)", res);
        ret = gst_audio_decoder_finish_frame(decoder, nullptr, 1);
    }
    return ret;
}

void Flush(GstAudioDecoder* decoder, gboolean) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(decoder);
    if (dec->context) avcodec_flush_buffers(dec->context);
}

// A gap before the first sound (a track that starts late whose stream was
// announced ahead, as a DVD reader announces a title's) would make the base
// class settle on a made-up format, 8000 Hz, that the encoder behind then
// keeps: it goes by unheard, and the late start is placed as where the
// stream appears late.
gboolean SinkEvent(GstAudioDecoder* decoder, GstEvent* event) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(decoder);
    if (GST_EVENT_TYPE(event) == GST_EVENT_GAP && !GST_AUDIO_INFO_IS_VALID(&dec->output)) {
        GST_DEBUG_OBJECT(dec, "a gap before the first sound: not passed on");
        gst_event_unref(event);
        return TRUE;
    }
    return GST_AUDIO_DECODER_CLASS(g_parentClass)->sink_event(decoder, event);
}

void Finalize(GObject* object) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(object);
    CloseDecoder(dec);
    av_frame_free(&dec->samples);
    av_packet_free(&dec->packet);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "DVD audio decoder", "Codec/Decoder/Audio",
                                          "AC-3, MPEG audio and DTS by libavcodec, to interleaved float", "Marbleway developers");
    auto* audio_class = GST_AUDIO_DECODER_CLASS(klass);
    audio_class->set_format = SetFormat;
    audio_class->stop = Stop;
    audio_class->handle_frame = HandleFrame;
    audio_class->flush = Flush;
    audio_class->sink_event = SinkEvent;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    AudioDec* dec = VOBCAST_AUDIO_DEC(instance);
    dec->context = nullptr;
    dec->packet = av_packet_alloc();
    dec->samples = av_frame_alloc();
    gst_audio_info_init(&dec->output);
}

} // namespace

void RegisterAudioDecoder() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (avcodec_find_decoder(AV_CODEC_ID_AC3) == nullptr) return;
        RegisterElementType({kAudioDecoderName, "VobcastAudioDec", GST_TYPE_AUDIO_DECODER,
                             sizeof(GstAudioDecoderClass), ClassInit, sizeof(AudioDec), InstanceInit});
    });
}

} // namespace media
