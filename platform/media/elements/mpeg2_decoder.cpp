#include "platform/media/elements/mpeg2_decoder.h"

#include "platform/media/elements/av_picture.h"
#include "platform/media/elements/codec_element.h"
#include "platform/media/gst/runtime.h"

#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include <mutex>

namespace media {
namespace {

struct Mpeg2Dec {
    GstVideoDecoder parent;
    AVCodecContext* context;
    AVPacket* packet;
    AVFrame* picture;
    GstVideoCodecState* input;
    gboolean downstreamMeta;  // downstream reads strides from a video meta
};

#define VOBCAST_MPEG2_DEC(obj) (reinterpret_cast<Mpeg2Dec*>(obj))

GstStaticPadTemplate kSinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("video/mpeg, mpegversion=(int)[1, 2], systemstream=(boolean)false, "
                                            "parsed=(boolean)true"));
GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=(string)I420"));

GstElementClass* g_parentClass = nullptr;

void CloseDecoder(Mpeg2Dec* dec) {
    avcodec_free_context(&dec->context);
    if (dec->input) {
        gst_video_codec_state_unref(dec->input);
        dec->input = nullptr;
    }
}

gboolean SetFormat(GstVideoDecoder* decoder, GstVideoCodecState* state) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
    CloseDecoder(dec);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
    dec->context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!dec->context) return FALSE;
    // One thread: the encoder after it has the other cores.
    dec->context->thread_count = 1;
    if (avcodec_open2(dec->context, codec, nullptr) < 0) {
        GST_ELEMENT_ERROR(dec, LIBRARY, INIT, (nullptr), ("cannot open libavcodec's MPEG-2 decoder"));
        avcodec_free_context(&dec->context);
        return FALSE;
    }
    dec->input = gst_video_codec_state_ref(state);
    return TRUE;
}

gboolean DecideAllocation(GstVideoDecoder* decoder, GstQuery* query) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
    dec->downstreamMeta = gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    GST_INFO_OBJECT(dec, "pictures go on %s", dec->downstreamMeta ? "by reference" : "as copies");
    return GST_VIDEO_DECODER_CLASS(g_parentClass)->decide_allocation(decoder, query);
}

// The picture copied into a buffer of the negotiated layout.
GstFlowReturn CopyPicture(Mpeg2Dec* dec, GstVideoCodecFrame* frame, const AVFrame* picture) {
    const GstFlowReturn ret = gst_video_decoder_allocate_output_frame(GST_VIDEO_DECODER(dec), frame);
    if (ret != GST_FLOW_OK) return ret;
    GstVideoCodecState* state = gst_video_decoder_get_output_state(GST_VIDEO_DECODER(dec));
    GstVideoFrame out;
    const bool mapped = gst_video_frame_map(&out, &state->info, frame->output_buffer, GST_MAP_WRITE);
    gst_video_codec_state_unref(state);
    if (!mapped) return GST_FLOW_ERROR;
    std::uint8_t* planes[4] = {};
    int linesizes[4] = {};
    for (int p = 0; p < 3; ++p) {
        planes[p] = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&out, p));
        linesizes[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&out, p);
    }
    av_image_copy(planes, linesizes, const_cast<const std::uint8_t**>(picture->data), picture->linesize,
                  AV_PIX_FMT_YUV420P, picture->width, picture->height);
    gst_video_frame_unmap(&out);
    return GST_FLOW_OK;
}

// Negotiates the picture's size, keeping the rate and aspect of the stream.
bool EnsureOutput(Mpeg2Dec* dec, const AVFrame* picture) {
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(dec);
    GstVideoCodecState* current = gst_video_decoder_get_output_state(decoder);
    const bool same = current && GST_VIDEO_INFO_WIDTH(&current->info) == picture->width &&
                      GST_VIDEO_INFO_HEIGHT(&current->info) == picture->height;
    if (current) gst_video_codec_state_unref(current);
    if (same) return true;
    GstVideoCodecState* state =
        gst_video_decoder_set_output_state(decoder, GST_VIDEO_FORMAT_I420, static_cast<guint>(picture->width),
                                           static_cast<guint>(picture->height), dec->input);
    if (!state) return false;
    gst_video_codec_state_unref(state);
    return gst_video_decoder_negotiate(decoder);
}

GstFlowReturn PushPicture(Mpeg2Dec* dec, const AVFrame* picture) {
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(dec);
    GstVideoCodecFrame* frame = gst_video_decoder_get_frame(decoder, static_cast<int>(picture->pts));
    if (!frame) return GST_FLOW_OK;
    // Output comes in display order: a frame shown earlier that is still
    // waiting was never decoded (the B-pictures of an open GOP that starts
    // the stream, damage) and will not be.
    GList* frames = gst_video_decoder_get_frames(decoder);
    for (GList* l = frames; l; l = l->next) {
        auto* older = static_cast<GstVideoCodecFrame*>(l->data);
        if (older != frame && GST_CLOCK_TIME_IS_VALID(older->pts) && GST_CLOCK_TIME_IS_VALID(frame->pts) &&
            older->pts < frame->pts && older->system_frame_number < frame->system_frame_number) {
            gst_video_decoder_drop_frame(decoder, gst_video_codec_frame_ref(older));
        }
    }
    g_list_free_full(frames, reinterpret_cast<GDestroyNotify>(gst_video_codec_frame_unref));

    if (!EnsureOutput(dec, picture)) {
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    if (dec->downstreamMeta) {
        frame->output_buffer = WrapPicture(picture);
        if (!frame->output_buffer) {
            gst_video_decoder_drop_frame(decoder, frame);
            return GST_FLOW_ERROR;
        }
    } else if (const GstFlowReturn ret = CopyPicture(dec, frame, picture); ret != GST_FLOW_OK) {
        gst_video_decoder_drop_frame(decoder, frame);
        return ret;
    }
    if (picture->interlaced_frame) GST_BUFFER_FLAG_SET(frame->output_buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED);
    if (picture->top_field_first) GST_BUFFER_FLAG_SET(frame->output_buffer, GST_VIDEO_BUFFER_FLAG_TFF);
    if (picture->repeat_pict) GST_BUFFER_FLAG_SET(frame->output_buffer, GST_VIDEO_BUFFER_FLAG_RFF);
    return gst_video_decoder_finish_frame(decoder, frame);
}

GstFlowReturn ReceivePictures(Mpeg2Dec* dec) {
    for (;;) {
        const int res = avcodec_receive_frame(dec->context, dec->picture);
        if (res == AVERROR(EAGAIN) || res == AVERROR_EOF) return GST_FLOW_OK;
        if (res < 0) {
            GST_WARNING_OBJECT(dec, "a picture could not be decoded (%d)", res);
            return GST_FLOW_OK;
        }
        const GstFlowReturn ret = PushPicture(dec, dec->picture);
        av_frame_unref(dec->picture);
        if (ret != GST_FLOW_OK) return ret;
    }
}

GstFlowReturn HandleFrame(GstVideoDecoder* decoder, GstVideoCodecFrame* frame) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
    if (!dec->context) {
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    if (!CopyToPacket(frame->input_buffer, dec->packet)) {
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_ERROR;
    }
    // The picture comes back with its frame's number, in display order.
    dec->packet->pts = frame->system_frame_number;
    const int res = avcodec_send_packet(dec->context, dec->packet);
    av_packet_unref(dec->packet);
    if (res < 0) {
        // Damage: the picture is skipped, the stream goes on.
        GST_WARNING_OBJECT(dec, "a damaged picture was skipped (%d)", res);
        gst_video_decoder_drop_frame(decoder, frame);
        return ReceivePictures(dec);
    }
    gst_video_codec_frame_unref(frame);
    return ReceivePictures(dec);
}

GstFlowReturn Drain(GstVideoDecoder* decoder) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
    if (!dec->context) return GST_FLOW_OK;
    avcodec_send_packet(dec->context, nullptr);
    const GstFlowReturn ret = ReceivePictures(dec);
    avcodec_flush_buffers(dec->context);
    return ret;
}

// The demultiplexer sends a gap where the picture stream pauses while the
// sound goes on (a still, a slideshow). libavcodec keeps the last reference
// picture until the next one arrives, seconds later: it is let out now, so
// the picture is shown from its own time and held until the next.
gboolean SinkEvent(GstVideoDecoder* decoder, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_GAP) {
        Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
        GST_VIDEO_DECODER_STREAM_LOCK(decoder);
        GList* pending = gst_video_decoder_get_frames(decoder);
        if (pending && dec->context) {
            GST_DEBUG_OBJECT(dec, "a gap in the pictures: the held picture goes out");
            Drain(decoder);
        }
        g_list_free_full(pending, reinterpret_cast<GDestroyNotify>(gst_video_codec_frame_unref));
        GST_VIDEO_DECODER_STREAM_UNLOCK(decoder);
    }
    return GST_VIDEO_DECODER_CLASS(g_parentClass)->sink_event(decoder, event);
}

gboolean Flush(GstVideoDecoder* decoder) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(decoder);
    if (dec->context) avcodec_flush_buffers(dec->context);
    return TRUE;
}

gboolean Stop(GstVideoDecoder* decoder) {
    CloseDecoder(VOBCAST_MPEG2_DEC(decoder));
    return TRUE;
}

void Finalize(GObject* object) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(object);
    CloseDecoder(dec);
    av_frame_free(&dec->picture);
    av_packet_free(&dec->packet);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "MPEG-2 video decoder", "Codec/Decoder/Video",
                                          "MPEG-1 and MPEG-2 video by libavcodec, its pictures passed on in place",
                                          "Marbleway developers");
    auto* video_class = GST_VIDEO_DECODER_CLASS(klass);
    video_class->set_format = SetFormat;
    video_class->handle_frame = HandleFrame;
    video_class->decide_allocation = DecideAllocation;
    video_class->drain = Drain;
    video_class->finish = Drain;
    video_class->flush = Flush;
    video_class->sink_event = SinkEvent;
    video_class->stop = Stop;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    Mpeg2Dec* dec = VOBCAST_MPEG2_DEC(instance);
    dec->context = nullptr;
    dec->packet = av_packet_alloc();
    dec->picture = av_frame_alloc();
    dec->input = nullptr;
    dec->downstreamMeta = FALSE;
    // Parsed input: one picture a buffer.
    gst_video_decoder_set_packetized(GST_VIDEO_DECODER(instance), TRUE);
}

} // namespace

void RegisterMpeg2Decoder() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO) == nullptr) return;
        RegisterElementType({kMpeg2DecoderName, "VobcastMpeg2Dec", GST_TYPE_VIDEO_DECODER,
                             sizeof(GstVideoDecoderClass), ClassInit, sizeof(Mpeg2Dec), InstanceInit});
    });
}

} // namespace media
