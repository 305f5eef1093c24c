#include "mpeg4_encoder.h"
#include "filters.h"

#include "gst_ptr.h"

#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <mutex>
#include <string>

namespace media {
namespace {

struct Mpeg4Enc {
    GstVideoEncoder parent;
    AVCodecContext* context;
    AVFrame* picture;
    AVPacket* packet;
    GstVideoCodecState* input;
    gint bitrate;  // bit/s
    gint gopSize;
};

// What distinguishes one registered encoder from another.
struct EncoderKind {
    const char* factory;
    AVCodecID codec;
    const char* outputCaps;
    const char* longName;
};

constexpr EncoderKind kKinds[] = {
    {kMpeg4EncoderName, AV_CODEC_ID_MPEG4, "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false",
     "MPEG-4 Part 2 encoder"},
    {kMsmpeg4EncoderName, AV_CODEC_ID_MSMPEG4V3, "video/x-msmpeg, msmpegversion=(int)43",
     "Microsoft MPEG-4 v3 encoder"},
};

struct Mpeg4EncClass {
    GstVideoEncoderClass parent;
    const EncoderKind* kind;
};

const EncoderKind& KindOf(gpointer instance) {
    return *reinterpret_cast<Mpeg4EncClass*>(G_OBJECT_GET_CLASS(instance))->kind;
}

enum { PROP_0, PROP_BITRATE, PROP_GOP_SIZE };

#define VOBCAST_MPEG4_ENC(obj) (reinterpret_cast<Mpeg4Enc*>(obj))

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)I420, width=(int)[16, 4096], height=(int)[16, 4096], "
                    "framerate=(fraction)[1/65535, 65535/1]"));

GstElementClass* g_parentClass = nullptr;

void CloseEncoder(Mpeg4Enc* enc) {
    avcodec_free_context(&enc->context);
    if (enc->input) {
        gst_video_codec_state_unref(enc->input);
        enc->input = nullptr;
    }
}

// The encoder keeps a reference to a frame it has not finished with; the
// GStreamer buffer stays mapped until it lets go.
struct MappedFrame {
    GstVideoFrame frame;
};

void ReleaseMapped(void* opaque, std::uint8_t*) {
    auto* mapped = static_cast<MappedFrame*>(opaque);
    GstBuffer* buffer = mapped->frame.buffer;
    gst_video_frame_unmap(&mapped->frame);
    gst_buffer_unref(buffer);
    delete mapped;
}

GstFlowReturn PushPackets(Mpeg4Enc* enc) {
    for (;;) {
        const int res = avcodec_receive_packet(enc->context, enc->packet);
        if (res == AVERROR(EAGAIN) || res == AVERROR_EOF) return GST_FLOW_OK;
        if (res < 0) {
            GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("the MPEG-4 encoder failed (%d)", res));
            return GST_FLOW_ERROR;
        }
        // Without B-frames packets come out in the order frames went in.
        GstVideoCodecFrame* frame = gst_video_encoder_get_oldest_frame(GST_VIDEO_ENCODER(enc));
        if (!frame) {
            av_packet_unref(enc->packet);
            continue;
        }
        frame->output_buffer = gst_buffer_new_memdup(enc->packet->data, static_cast<gsize>(enc->packet->size));
        if ((enc->packet->flags & AV_PKT_FLAG_KEY) != 0) GST_VIDEO_CODEC_FRAME_SET_SYNC_POINT(frame);
        else GST_VIDEO_CODEC_FRAME_UNSET_SYNC_POINT(frame);
        av_packet_unref(enc->packet);
        const GstFlowReturn ret = gst_video_encoder_finish_frame(GST_VIDEO_ENCODER(enc), frame);
        if (ret != GST_FLOW_OK) return ret;
    }
}

gboolean SetFormat(GstVideoEncoder* encoder, GstVideoCodecState* state) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    CloseEncoder(enc);
    const EncoderKind& kind = KindOf(enc);
    const AVCodec* codec = avcodec_find_encoder(kind.codec);
    if (!codec) return FALSE;
    enc->context = avcodec_alloc_context3(codec);
    if (!enc->context) return FALSE;
    const GstVideoInfo& info = state->info;
    AVCodecContext* c = enc->context;
    c->width = GST_VIDEO_INFO_WIDTH(&info);
    c->height = GST_VIDEO_INFO_HEIGHT(&info);
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    const int fps_n = GST_VIDEO_INFO_FPS_N(&info) > 0 ? GST_VIDEO_INFO_FPS_N(&info) : 25;
    const int fps_d = GST_VIDEO_INFO_FPS_N(&info) > 0 ? GST_VIDEO_INFO_FPS_D(&info) : 1;
    c->time_base = AVRational{fps_d, fps_n};
    c->framerate = AVRational{fps_n, fps_d};
    c->sample_aspect_ratio = AVRational{GST_VIDEO_INFO_PAR_N(&info), GST_VIDEO_INFO_PAR_D(&info)};
    c->bit_rate = enc->bitrate;
    c->gop_size = enc->gopSize;
    c->max_b_frames = 0;
    c->thread_count = 0;  // as many as there are cores
    c->thread_type = FF_THREAD_SLICE;
    if (avcodec_open2(c, codec, nullptr) < 0) {
        GST_ELEMENT_ERROR(enc, LIBRARY, INIT, (nullptr), ("cannot open the %s", kind.longName));
        avcodec_free_context(&enc->context);
        return FALSE;
    }
    enc->input = gst_video_codec_state_ref(state);

    GstCaps* caps = gst_caps_from_string(kind.outputCaps);
    GstVideoCodecState* output = gst_video_encoder_set_output_state(encoder, caps, state);
    gst_video_codec_state_unref(output);
    return TRUE;
}

GstFlowReturn HandleFrame(GstVideoEncoder* encoder, GstVideoCodecFrame* frame) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    if (!enc->context) {
        gst_video_codec_frame_unref(frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    auto* mapped = new MappedFrame;
    if (!gst_video_frame_map(&mapped->frame, &enc->input->info, frame->input_buffer, GST_MAP_READ)) {
        delete mapped;
        gst_video_codec_frame_unref(frame);
        GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("cannot read a video frame"));
        return GST_FLOW_ERROR;
    }
    gst_buffer_ref(frame->input_buffer);
    AVFrame* picture = enc->picture;
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = enc->context->width;
    picture->height = enc->context->height;
    for (int p = 0; p < 3; ++p) {
        picture->data[p] = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, p));
        picture->linesize[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, p);
    }
    picture->buf[0] = av_buffer_create(nullptr, 0, ReleaseMapped, mapped, 0);
    // Frames are numbered in the encoder's time base, one tick a frame.
    picture->pts = static_cast<std::int64_t>(frame->system_frame_number);
    if (GST_VIDEO_CODEC_FRAME_IS_FORCE_KEYFRAME(frame)) picture->pict_type = AV_PICTURE_TYPE_I;
    gst_video_codec_frame_unref(frame);

    const int res = avcodec_send_frame(enc->context, picture);
    av_frame_unref(picture);
    if (res < 0) {
        GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("the MPEG-4 encoder refused a frame (%d)", res));
        return GST_FLOW_ERROR;
    }
    return PushPackets(enc);
}

GstFlowReturn Finish(GstVideoEncoder* encoder) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    if (!enc->context) return GST_FLOW_OK;
    avcodec_send_frame(enc->context, nullptr);
    return PushPackets(enc);
}

gboolean Stop(GstVideoEncoder* encoder) {
    CloseEncoder(VOBCAST_MPEG4_ENC(encoder));
    return TRUE;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(object);
    switch (id) {
    case PROP_BITRATE: enc->bitrate = g_value_get_int(value); break;
    case PROP_GOP_SIZE: enc->gopSize = g_value_get_int(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(object);
    switch (id) {
    case PROP_BITRATE: g_value_set_int(value, enc->bitrate); break;
    case PROP_GOP_SIZE: g_value_set_int(value, enc->gopSize); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

void Finalize(GObject* object) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(object);
    CloseEncoder(enc);
    av_frame_free(&enc->picture);
    av_packet_free(&enc->packet);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer data) {
    const auto* kind = static_cast<const EncoderKind*>(data);
    reinterpret_cast<Mpeg4EncClass*>(klass)->kind = kind;
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    object_class->finalize = Finalize;
    g_object_class_install_property(
        object_class, PROP_BITRATE,
        g_param_spec_int("bitrate", "Bitrate", "Target data rate in bit/s", 1000, G_MAXINT, kDefaultDataRateKbps * 1000,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        object_class, PROP_GOP_SIZE,
        g_param_spec_int("gop-size", "GOP size", "A key frame at least every this many frames", 1, G_MAXINT, kDefaultKeyFrames,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    GstCaps* src_caps = gst_caps_from_string(kind->outputCaps);
    gst_element_class_add_pad_template(element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, src_caps));
    gst_caps_unref(src_caps);
    gst_element_class_set_static_metadata(element_class, kind->longName, "Codec/Encoder/Video",
                                          "Video by libavcodec at the stream's own frame rate", "Marbleway developers");
    auto* video_class = GST_VIDEO_ENCODER_CLASS(klass);
    video_class->set_format = SetFormat;
    video_class->handle_frame = HandleFrame;
    video_class->finish = Finish;
    video_class->stop = Stop;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(instance);
    enc->context = nullptr;
    enc->input = nullptr;
    enc->picture = av_frame_alloc();
    enc->packet = av_packet_alloc();
    enc->bitrate = kDefaultDataRateKbps * 1000;
    enc->gopSize = kDefaultKeyFrames;
}

GType RegisterType(const EncoderKind& kind) {
    const GTypeInfo info = {sizeof(Mpeg4EncClass), nullptr, nullptr, ClassInit, nullptr, &kind,
                            sizeof(Mpeg4Enc), 0, InstanceInit, nullptr};
    const std::string name = std::string("Vobcast_") + kind.factory;
    return g_type_register_static(GST_TYPE_VIDEO_ENCODER, name.c_str(), &info, static_cast<GTypeFlags>(0));
}

} // namespace

void RegisterMpeg4Encoders() {
    static std::once_flag once;
    std::call_once(once, [] {
        EnsureGstInit();
        for (const EncoderKind& kind : kKinds) {
            if (avcodec_find_encoder(kind.codec) == nullptr) continue;
            gst_element_register(nullptr, kind.factory, GST_RANK_NONE, RegisterType(kind));
        }
    });
}

} // namespace media
