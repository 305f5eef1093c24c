#include "platform/media/elements/wma_encoder.h"

#include "platform/media/elements/codec_element.h"
#include "platform/media/gst/handles.h"
#include "platform/media/gst/runtime.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <mutex>
#include <numeric>

namespace media {
namespace {

struct WmaEnc {
    GstAudioEncoder parent;
    AVCodecContext* context;
    AVPacket* packet;
    AVFrame* samples;
    gint bitrate;  // bit/s
    gint64 next;   // the next frame's first sample
};

#define VOBCAST_WMA_ENC(obj) (reinterpret_cast<WmaEnc*>(obj))

enum { PROP_0, PROP_BITRATE };

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)F32LE, layout=(string)interleaved, rate=(int)[4000, 96000], "
                    "channels=(int)[1, 2]"));
GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-wma, wmaversion=(int)2"));

GstElementClass* g_parentClass = nullptr;

void CloseEncoder(WmaEnc* enc) { avcodec_free_context(&enc->context); }

// The data rate nearest the one asked for at which a second of sound is a
// whole number of bytes: at 48 kHz a block lasts 16/375 s, so blocks of a
// multiple of 16 bytes (128 kbit/s asked: 688-byte blocks, 129 kbit/s,
// 16125 bytes a second). Players that time an AVI's sound by its bytes a
// second then agree with those that count its blocks, however long the film.
// Rates where that step would be coarse keep the rate asked for.
gint64 WholeByteRate(gint64 asked, int rate) {
    const auto samples = static_cast<gint64>(WmaBlockSamples(static_cast<unsigned>(rate)));
    const gint64 step = samples / std::gcd(samples, gint64{rate});
    if (step > 64) return asked;
    const gint64 block = (asked * samples / (8 * rate) + step / 2) / step * step;
    return block > 0 ? block * 8 * rate / samples : asked;
}

gboolean SetFormat(GstAudioEncoder* encoder, GstAudioInfo* info) {
    WmaEnc* enc = VOBCAST_WMA_ENC(encoder);
    CloseEncoder(enc);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    enc->context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!enc->context) return FALSE;
    AVCodecContext* c = enc->context;
    c->sample_rate = GST_AUDIO_INFO_RATE(info);
    av_channel_layout_default(&c->ch_layout, GST_AUDIO_INFO_CHANNELS(info));
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->bit_rate = WholeByteRate(enc->bitrate, c->sample_rate);
    c->time_base = AVRational{1, c->sample_rate};
    if (avcodec_open2(c, codec, nullptr) < 0) {
        GST_ELEMENT_ERROR(enc, LIBRARY, INIT, (nullptr), ("cannot open libavcodec's WMA v2 encoder"));
        CloseEncoder(enc);
        return FALSE;
    }
    enc->next = 0;
    // The base class hands on whole blocks, and what is left at the end.
    gst_audio_encoder_set_frame_samples_min(encoder, c->frame_size);
    gst_audio_encoder_set_frame_samples_max(encoder, c->frame_size);
    gst_audio_encoder_set_frame_max(encoder, 1);

    GstBuffer* extra = gst_buffer_new_memdup(c->extradata, static_cast<gsize>(c->extradata_size));
    const gint64 spent = gint64{c->block_align} * 8 * c->sample_rate / c->frame_size;
    CapsPtr caps(gst_caps_new_simple("audio/x-wma", "wmaversion", G_TYPE_INT, 2, "rate", G_TYPE_INT, c->sample_rate,
                                     "channels", G_TYPE_INT, c->ch_layout.nb_channels, "bitrate", G_TYPE_INT,
                                     static_cast<gint>(spent), "block_align", G_TYPE_INT, c->block_align,
                                     "codec_data", GST_TYPE_BUFFER, extra, nullptr));
    gst_buffer_unref(extra);
    return gst_audio_encoder_set_output_format(encoder, caps.get());
}

GstFlowReturn PushPackets(WmaEnc* enc, int samples) {
    GstFlowReturn ret = GST_FLOW_OK;
    while (ret == GST_FLOW_OK && avcodec_receive_packet(enc->context, enc->packet) == 0) {
        GstBuffer* out = gst_buffer_new_memdup(enc->packet->data, static_cast<gsize>(enc->packet->size));
        av_packet_unref(enc->packet);
        ret = gst_audio_encoder_finish_frame(GST_AUDIO_ENCODER(enc), out, samples);
    }
    return ret;
}

GstFlowReturn HandleFrame(GstAudioEncoder* encoder, GstBuffer* buffer) {
    WmaEnc* enc = VOBCAST_WMA_ENC(encoder);
    if (!enc->context) return GST_FLOW_NOT_NEGOTIATED;
    // Each block comes back as its packet at once: there is nothing to drain.
    if (!buffer) return GST_FLOW_OK;
    const int channels = enc->context->ch_layout.nb_channels;
    GstMapInfo in;
    if (!gst_buffer_map(buffer, &in, GST_MAP_READ)) return GST_FLOW_ERROR;
    const int count = static_cast<int>(in.size / (sizeof(float) * static_cast<gsize>(channels)));
    AVFrame* f = enc->samples;
    f->nb_samples = count;
    f->format = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_copy(&f->ch_layout, &enc->context->ch_layout);
    f->sample_rate = enc->context->sample_rate;
    if (av_frame_get_buffer(f, 0) < 0) {
        gst_buffer_unmap(buffer, &in);
        return GST_FLOW_ERROR;
    }
    const auto* interleaved = reinterpret_cast<const float*>(in.data);
    for (int c = 0; c < channels; ++c) {
        auto* plane = reinterpret_cast<float*>(f->extended_data[c]);
        for (int i = 0; i < count; ++i) plane[i] = interleaved[i * channels + c];
    }
    gst_buffer_unmap(buffer, &in);
    f->pts = enc->next;
    enc->next += count;
    const int res = avcodec_send_frame(enc->context, f);
    av_frame_unref(f);
    if (res < 0) {
        GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("the WMA encoder refused a block (%d)", res));
        return GST_FLOW_ERROR;
    }
    return PushPackets(enc, count);
}

gboolean Stop(GstAudioEncoder* encoder) {
    CloseEncoder(VOBCAST_WMA_ENC(encoder));
    return TRUE;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    if (id == PROP_BITRATE) VOBCAST_WMA_ENC(object)->bitrate = g_value_get_int(value);
    else G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    if (id == PROP_BITRATE) g_value_set_int(value, VOBCAST_WMA_ENC(object)->bitrate);
    else G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

void Finalize(GObject* object) {
    WmaEnc* enc = VOBCAST_WMA_ENC(object);
    CloseEncoder(enc);
    av_frame_free(&enc->samples);
    av_packet_free(&enc->packet);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    object_class->finalize = Finalize;
    g_object_class_install_property(
        object_class, PROP_BITRATE,
        g_param_spec_int("bitrate", "Bitrate", "Target data rate in bit/s", 8000, 384000, 128000,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "WMA v2 encoder", "Codec/Encoder/Audio",
                                          "Windows Media Audio v2 by libavcodec", "Marbleway developers");
    auto* audio_class = GST_AUDIO_ENCODER_CLASS(klass);
    audio_class->set_format = SetFormat;
    audio_class->handle_frame = HandleFrame;
    audio_class->stop = Stop;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    WmaEnc* enc = VOBCAST_WMA_ENC(instance);
    enc->context = nullptr;
    enc->packet = av_packet_alloc();
    enc->samples = av_frame_alloc();
    enc->bitrate = 128000;
    enc->next = 0;
}

} // namespace

unsigned WmaBlockSamples(unsigned rate) {
    if (rate <= 16000) return 512;
    if (rate <= 22050) return 1024;
    return 2048;
}

void RegisterWmaEncoder() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (avcodec_find_encoder(AV_CODEC_ID_WMAV2) == nullptr) return;
        RegisterElementType({kWmaEncoderName, "VobcastWmaEnc", GST_TYPE_AUDIO_ENCODER,
                             sizeof(GstAudioEncoderClass), ClassInit, sizeof(WmaEnc), InstanceInit});
    });
}

} // namespace media
