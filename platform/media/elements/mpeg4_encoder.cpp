#include "platform/media/elements/mpeg4_encoder.h"

#include "platform/media/elements/codec_element.h"
#include "platform/media/elements/gop_encoders.h"
#include "platform/media/elements/rate_plan.h"
#include "platform/media/gst/runtime.h"

#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace media {
namespace {

struct Mpeg4Enc {
    GstVideoEncoder parent;
    GopEncoders* encoders;
    GstVideoCodecState* input;
    gint bitrate;  // bit/s
    gint gopSize;
    // Two passes to a size: which one this is, where the first leaves its
    // measure for the second, and what the second spends.
    gint pass;
    gchar* statsFile;
    gint64 fileBits;     // the whole file's
    gint otherBitrate;   // of what the file holds beside the video, bit/s
    PictureCosts* costs;
    SizeBudget* budget;
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

enum { PROP_0, PROP_BITRATE, PROP_GOP_SIZE, PROP_PASS, PROP_STATS_FILE, PROP_FILE_BITS, PROP_OTHER_BITRATE };

#define VOBCAST_MPEG4_ENC(obj) (reinterpret_cast<Mpeg4Enc*>(obj))

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)I420, width=(int)[16, 4096], height=(int)[16, 4096], "
                    "framerate=(fraction)[1/65535, 65535/1]"));

GstElementClass* g_parentClass = nullptr;

void CloseEncoder(Mpeg4Enc* enc) {
    delete enc->encoders;
    enc->encoders = nullptr;
    delete enc->costs;
    enc->costs = nullptr;
    delete enc->budget;
    enc->budget = nullptr;
    if (enc->input) {
        gst_video_codec_state_unref(enc->input);
        enc->input = nullptr;
    }
}

// Pictures wait in memory for their GOP's worker; GOPs run on several cores at
// once only while half a GOP of pictures for each worker stays within this.
constexpr gsize kParallelGopBytes = gsize{24} << 20;

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

// Reports the workers' failure; ends the stream.
GstFlowReturn Failed(Mpeg4Enc* enc) {
    GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("the %s failed: %s", KindOf(enc).longName,
                                                      enc->encoders->Error().c_str()));
    return GST_FLOW_ERROR;
}

// Passes on, in frame order, the packets the workers have finished.
GstFlowReturn PushPackets(Mpeg4Enc* enc) {
    while (AVPacket* packet = enc->encoders->Receive()) {
        // Without B-frames packets come out in the order frames went in.
        GstVideoCodecFrame* frame = gst_video_encoder_get_oldest_frame(GST_VIDEO_ENCODER(enc));
        if (!frame) {
            av_packet_free(&packet);
            continue;
        }
        // The first pass's video is not kept: only what it measured.
        frame->output_buffer = enc->pass == 1 ? gst_buffer_new()
                                              : gst_buffer_new_memdup(packet->data, static_cast<gsize>(packet->size));
        if ((packet->flags & AV_PKT_FLAG_KEY) != 0) GST_VIDEO_CODEC_FRAME_SET_SYNC_POINT(frame);
        else GST_VIDEO_CODEC_FRAME_UNSET_SYNC_POINT(frame);
        av_packet_free(&packet);
        const GstFlowReturn ret = gst_video_encoder_finish_frame(GST_VIDEO_ENCODER(enc), frame);
        if (ret != GST_FLOW_OK) return ret;
    }
    return GST_FLOW_OK;
}

// The first pass measures in windows of its own; the second reads that
// measure and spends what the file has beside the other streams over it.
bool PlanPasses(Mpeg4Enc* enc, GopSettings& settings) {
    if (enc->pass == 1) {
        settings.gopSize = kMeasureWindow;
        enc->costs = new PictureCosts(settings.frameRate.num, settings.frameRate.den);
        settings.measure = enc->costs;
        // Measured near where the second pass will code: at the data rate the
        // size leaves for the video, as the host reckons it.
        settings.measureBitsPerPicture = enc->bitrate / std::max(1.0, av_q2d(settings.frameRate));
        GST_INFO_OBJECT(enc, "measuring at %.0f bits a picture", settings.measureBitsPerPicture);
    } else if (enc->pass == 2) {
        std::string error;
        std::optional<PictureCosts> costs = PictureCosts::Load(enc->statsFile ? enc->statsFile : "", error);
        if (!costs) {
            GST_ELEMENT_ERROR(enc, RESOURCE, READ, (nullptr), ("cannot read the first pass's measure: %s", error.c_str()));
            return false;
        }
        const double videoBits = static_cast<double>(enc->fileBits) - enc->otherBitrate * costs->Seconds();
        GST_INFO_OBJECT(enc, "%" G_GINT64_FORMAT " pictures, %.0f s: %.0f bits of video", costs->Pictures(),
                        costs->Seconds(), videoBits);
        enc->budget = new SizeBudget(std::move(*costs), videoBits, enc->gopSize);
        settings.budget = enc->budget;
    }
    return true;
}

gboolean SetFormat(GstVideoEncoder* encoder, GstVideoCodecState* state) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    CloseEncoder(enc);
    const EncoderKind& kind = KindOf(enc);
    const GstVideoInfo& info = state->info;
    GopSettings settings;
    settings.codec = kind.codec;
    settings.width = GST_VIDEO_INFO_WIDTH(&info);
    settings.height = GST_VIDEO_INFO_HEIGHT(&info);
    if (GST_VIDEO_INFO_FPS_N(&info) > 0)
        settings.frameRate = AVRational{GST_VIDEO_INFO_FPS_N(&info), GST_VIDEO_INFO_FPS_D(&info)};
    settings.aspect = AVRational{GST_VIDEO_INFO_PAR_N(&info), GST_VIDEO_INFO_PAR_D(&info)};
    settings.bitRate = enc->bitrate;
    settings.gopSize = enc->gopSize;
    if (!PlanPasses(enc, settings)) return FALSE;
    const gsize gop_bytes = GST_VIDEO_INFO_SIZE(&info) * static_cast<gsize>(enc->gopSize);
    settings.workers = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    while (settings.workers > 1 && gop_bytes / 2 * static_cast<gsize>(settings.workers) > kParallelGopBytes)
        --settings.workers;
    std::string error;
    enc->encoders = GopEncoders::Open(settings, error).release();
    if (!enc->encoders) {
        GST_ELEMENT_ERROR(enc, LIBRARY, INIT, (nullptr), ("cannot open the %s: %s", kind.longName, error.c_str()));
        return FALSE;
    }
    GST_INFO_OBJECT(enc, "%d worker(s), GOPs of %d frames", settings.workers, settings.gopSize);
    enc->input = gst_video_codec_state_ref(state);

    GstCaps* caps = gst_caps_from_string(kind.outputCaps);
    GstVideoCodecState* output = gst_video_encoder_set_output_state(encoder, caps, state);
    gst_video_codec_state_unref(output);
    // The data rate aimed at, for a file header that sums its streams' rates.
    GstTagList* tags = gst_tag_list_new(GST_TAG_NOMINAL_BITRATE, static_cast<guint>(enc->bitrate), nullptr);
    gst_video_encoder_merge_tags(encoder, tags, GST_TAG_MERGE_REPLACE);
    gst_tag_list_unref(tags);
    return TRUE;
}

GstFlowReturn HandleFrame(GstVideoEncoder* encoder, GstVideoCodecFrame* frame) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    if (!enc->encoders) {
        gst_video_codec_frame_unref(frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    auto* mapped = new MappedFrame;
    AVFrame* picture = av_frame_alloc();
    if (!picture || !gst_video_frame_map(&mapped->frame, &enc->input->info, frame->input_buffer, GST_MAP_READ)) {
        delete mapped;
        av_frame_free(&picture);
        gst_video_codec_frame_unref(frame);
        GST_ELEMENT_ERROR(enc, STREAM, ENCODE, (nullptr), ("cannot read a video frame"));
        return GST_FLOW_ERROR;
    }
    gst_buffer_ref(frame->input_buffer);
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = GST_VIDEO_INFO_WIDTH(&enc->input->info);
    picture->height = GST_VIDEO_INFO_HEIGHT(&enc->input->info);
    for (int p = 0; p < 3; ++p) {
        picture->data[p] = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, p));
        picture->linesize[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, p);
    }
    picture->buf[0] = av_buffer_create(nullptr, 0, ReleaseMapped, mapped, 0);
    const bool key = GST_VIDEO_CODEC_FRAME_IS_FORCE_KEYFRAME(frame);
    gst_video_codec_frame_unref(frame);

    // The worker may take a while to make room; the stream lock stays held,
    // which only keeps upstream waiting, as it would for a slow encoder.
    if (!enc->encoders->Send(picture, key)) return Failed(enc);
    return PushPackets(enc);
}

GstFlowReturn Finish(GstVideoEncoder* encoder) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(encoder);
    if (!enc->encoders) return GST_FLOW_OK;
    if (!enc->encoders->Drain()) return Failed(enc);
    const GstFlowReturn pushed = PushPackets(enc);
    std::string error;
    if (enc->costs && !enc->costs->Save(enc->statsFile ? enc->statsFile : "", error)) {
        GST_ELEMENT_ERROR(enc, RESOURCE, WRITE, (nullptr), ("cannot keep the first pass's measure: %s", error.c_str()));
        return GST_FLOW_ERROR;
    }
    if (enc->budget) GST_INFO_OBJECT(enc, "the last quantiser: %.2f", enc->budget->Quantiser());
    return pushed;
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
    case PROP_PASS: enc->pass = g_value_get_int(value); break;
    case PROP_STATS_FILE:
        g_free(enc->statsFile);
        enc->statsFile = g_value_dup_string(value);
        break;
    case PROP_FILE_BITS: enc->fileBits = g_value_get_int64(value); break;
    case PROP_OTHER_BITRATE: enc->otherBitrate = g_value_get_int(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(object);
    switch (id) {
    case PROP_BITRATE: g_value_set_int(value, enc->bitrate); break;
    case PROP_GOP_SIZE: g_value_set_int(value, enc->gopSize); break;
    case PROP_PASS: g_value_set_int(value, enc->pass); break;
    case PROP_STATS_FILE: g_value_set_string(value, enc->statsFile); break;
    case PROP_FILE_BITS: g_value_set_int64(value, enc->fileBits); break;
    case PROP_OTHER_BITRATE: g_value_set_int(value, enc->otherBitrate); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
}

void Finalize(GObject* object) {
    Mpeg4Enc* enc = VOBCAST_MPEG4_ENC(object);
    CloseEncoder(enc);
    g_free(enc->statsFile);
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
        g_param_spec_int("bitrate", "Bitrate", "Target data rate in bit/s", 1000, G_MAXINT, kEncoderDefaultKbps * 1000,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        object_class, PROP_GOP_SIZE,
        g_param_spec_int("gop-size", "GOP size", "A key frame at least every this many frames", 1, G_MAXINT, kEncoderDefaultKeyFrames,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    constexpr auto kFlags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        object_class, PROP_PASS,
        g_param_spec_int("pass", "Pass", "0: one pass at the bitrate; 1: measure into stats-file; 2: code to file-bits",
                         0, 2, 0, kFlags));
    g_object_class_install_property(
        object_class, PROP_STATS_FILE,
        g_param_spec_string("stats-file", "Stats file", "Where the first pass leaves its measure", nullptr, kFlags));
    g_object_class_install_property(
        object_class, PROP_FILE_BITS,
        g_param_spec_int64("file-bits", "File bits", "The second pass: the whole file's size in bits", 0, G_MAXINT64,
                           0, kFlags));
    g_object_class_install_property(
        object_class, PROP_OTHER_BITRATE,
        g_param_spec_int("other-bitrate", "Other bitrate",
                         "The second pass: bit/s of the file that are not video (sound, headers, index)", 0, G_MAXINT,
                         0, kFlags));
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
    enc->encoders = nullptr;
    enc->input = nullptr;
    enc->bitrate = kEncoderDefaultKbps * 1000;
    enc->gopSize = kEncoderDefaultKeyFrames;
    enc->pass = 0;
    enc->statsFile = nullptr;
    enc->fileBits = 0;
    enc->otherBitrate = 0;
    enc->costs = nullptr;
    enc->budget = nullptr;
}

} // namespace

void RegisterMpeg4Encoders() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const EncoderKind& kind : kKinds) {
            if (avcodec_find_encoder(kind.codec) == nullptr) continue;
            const std::string name = std::string("Vobcast_") + kind.factory;
            RegisterElementType({kind.factory, name.c_str(), GST_TYPE_VIDEO_ENCODER, sizeof(Mpeg4EncClass), ClassInit,
                                 sizeof(Mpeg4Enc), InstanceInit, &kind});
        }
    });
}

bool CodesOnWorkers(const char* element) {
    return element != nullptr && (std::strcmp(element, kMpeg4EncoderName) == 0 || std::strcmp(element, kMsmpeg4EncoderName) == 0);
}

} // namespace media
