#include "platform/media/elements/avi_writer.h"

#include "platform/media/elements/codec_element.h"
#include "platform/media/elements/wma_encoder.h"
#include "platform/media/gst/handles.h"
#include "platform/media/gst/runtime.h"

#include <gst/base/gstaggregator.h>
#include <gst/gst.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace media {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

// What each kind of compressed stream is called in an AVI file.
struct AviCodec {
    const char* caps;     // structure name
    const char* field;    // a field telling versions apart, or null
    int version;
    AVCodecID codec;
    const char* fourcc;   // null: the codec's usual WAVE format tag
};

constexpr AviCodec kCodecs[] = {
    {"video/x-divx", "divxversion", 5, AV_CODEC_ID_MPEG4, "DX50"},
    {"video/x-divx", "divxversion", 4, AV_CODEC_ID_MPEG4, "DIVX"},
    {"video/x-divx", "divxversion", 3, AV_CODEC_ID_MSMPEG4V3, "DIV3"},
    {"video/x-xvid", nullptr, 0, AV_CODEC_ID_MPEG4, "XVID"},
    {"video/mpeg", "mpegversion", 4, AV_CODEC_ID_MPEG4, "FMP4"},
    {"video/x-msmpeg", "msmpegversion", 43, AV_CODEC_ID_MSMPEG4V3, "MP43"},
    {"video/x-h264", nullptr, 0, AV_CODEC_ID_H264, "H264"},
    {"image/jpeg", nullptr, 0, AV_CODEC_ID_MJPEG, "MJPG"},
    {"audio/x-wma", "wmaversion", 2, AV_CODEC_ID_WMAV2, nullptr},
    {"audio/x-wma", "wmaversion", 1, AV_CODEC_ID_WMAV1, nullptr},
    {"audio/mpeg", "mpegversion", 1, AV_CODEC_ID_MP3, nullptr},
    {"audio/x-ac3", nullptr, 0, AV_CODEC_ID_AC3, nullptr},
};

GstStaticPadTemplate kVideoTemplate = GST_STATIC_PAD_TEMPLATE(
    "video_%u", GST_PAD_SINK, GST_PAD_REQUEST,
    GST_STATIC_CAPS("video/x-divx, divxversion=(int)[3, 5]; video/x-xvid; "
                    "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false; "
                    "video/x-msmpeg, msmpegversion=(int)43; "
                    "video/x-h264, stream-format=(string)byte-stream, alignment=(string)au; image/jpeg"));
GstStaticPadTemplate kAudioTemplate = GST_STATIC_PAD_TEMPLATE(
    "audio_%u", GST_PAD_SINK, GST_PAD_REQUEST,
    GST_STATIC_CAPS("audio/x-wma, wmaversion=(int)[1, 2]; audio/mpeg, mpegversion=(int)1, layer=(int)3; audio/x-ac3"));
GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-msvideo"));

// One input and the AVI stream it became.
struct Input {
    GstPtr<GstAggregatorPad> pad;
    bool video = false;
    int stream = -1;
    std::int64_t next = 0;  // the next packet's place in the stream: a frame, or a block
};

struct Writer {
    AVFormatContext* format = nullptr;
    AVPacket* packet = nullptr;
    std::vector<Input> inputs;
    std::mutex lock;                             // guards bitrates
    std::map<GstPad*, std::int64_t> bitrates;    // bit/s, from the streams' tags
    GstFlowReturn flow = GST_FLOW_OK;            // how the last push downstream went
    std::int64_t position = 0, size = 0;         // bytes, where the next write goes and the file's end
    bool finished = false;
};

struct AviWriter {
    GstAggregator parent;
    Writer* writer;
};

Writer& Of(GstAggregator* aggregator) { return *reinterpret_cast<AviWriter*>(aggregator)->writer; }

GstAggregatorClass* g_parentClass = nullptr;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The muxer's bytes leave here, in the order it writes them.
int WriteBytes(void* opaque, std::uint8_t* data, int size) {
    auto* aggregator = static_cast<GstAggregator*>(opaque);
    Writer& w = Of(aggregator);
    if (w.flow != GST_FLOW_OK) return AVERROR(EIO);
    GstBuffer* buffer = gst_buffer_new_memdup(data, static_cast<gsize>(size));
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(w.position);
    w.flow = gst_aggregator_finish_buffer(aggregator, buffer);
    if (w.flow != GST_FLOW_OK) return AVERROR(EIO);
    w.position += size;
    w.size = std::max(w.size, w.position);
    return size;
}

// The muxer goes back to a header or an index: the sink is told where the
// next bytes belong.
std::int64_t SeekBytes(void* opaque, std::int64_t offset, int whence) {
    auto* aggregator = static_cast<GstAggregator*>(opaque);
    Writer& w = Of(aggregator);
    if (whence & AVSEEK_SIZE) return w.size;
    std::int64_t to = -1;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: to = offset; break;
    case SEEK_CUR: to = w.position + offset; break;
    case SEEK_END: to = w.size + offset; break;
    default: return AVERROR(EINVAL);
    }
    if (to < 0) return AVERROR(EINVAL);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_BYTES);
    segment.start = segment.position = static_cast<guint64>(to);
    segment.time = 0;
    if (!gst_pad_push_event(GST_AGGREGATOR_SRC_PAD(aggregator), gst_event_new_segment(&segment))) {
        if (w.flow == GST_FLOW_OK) w.flow = GST_FLOW_ERROR;
        return AVERROR(EIO);
    }
    w.position = to;
    return to;
}

const AviCodec* CodecOf(const GstStructure* s) {
    for (const AviCodec& c : kCodecs) {
        if (!gst_structure_has_name(s, c.caps)) continue;
        int version = 0;
        if (c.field && (!gst_structure_get_int(s, c.field, &version) || version != c.version)) continue;
        return &c;
    }
    return nullptr;
}

void SetExtraData(AVCodecParameters* par, const GstStructure* s) {
    const GValue* value = gst_structure_get_value(s, "codec_data");
    if (!value || !GST_VALUE_HOLDS_BUFFER(value)) return;
    GstMapInfo map;
    GstBuffer* data = gst_value_get_buffer(value);
    if (!gst_buffer_map(data, &map, GST_MAP_READ)) return;
    par->extradata = static_cast<std::uint8_t*>(av_mallocz(map.size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (par->extradata) {
        std::memcpy(par->extradata, map.data, map.size);
        par->extradata_size = static_cast<int>(map.size);
    }
    gst_buffer_unmap(data, &map);
}

// The stream's parameters from the caps it was negotiated with. False when
// an AVI cannot carry it.
bool Describe(AVStream* st, GstCaps* caps, std::int64_t bitrate) {
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const AviCodec* codec = CodecOf(s);
    if (!codec) return false;
    AVCodecParameters* par = st->codecpar;
    par->codec_id = codec->codec;
    par->bit_rate = bitrate;
    SetExtraData(par, s);
    if (g_str_has_prefix(codec->caps, "audio/")) {
        int rate = 0, channels = 0, blockAlign = 0, bits = 0;
        gst_structure_get_int(s, "rate", &rate);
        gst_structure_get_int(s, "channels", &channels);
        if (rate <= 0 || channels <= 0) return false;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->sample_rate = rate;
        av_channel_layout_default(&par->ch_layout, channels);
        if (gst_structure_get_int(s, "block_align", &blockAlign)) par->block_align = blockAlign;
        if (gst_structure_get_int(s, "bitrate", &bits) && bits > 0) par->bit_rate = bits;
        // A WMA block codes a fixed number of samples: the stream header
        // then times one block a chunk.
        if (codec->codec == AV_CODEC_ID_WMAV1 || codec->codec == AV_CODEC_ID_WMAV2)
            par->frame_size = static_cast<int>(WmaBlockSamples(static_cast<unsigned>(rate)));
        return true;
    }
    int width = 0, height = 0, fpsN = 0, fpsD = 1, parN = 1, parD = 1;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    if (!gst_structure_get_fraction(s, "framerate", &fpsN, &fpsD) || fpsN <= 0 || fpsD <= 0 || width <= 0 || height <= 0)
        return false;
    gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD);
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_tag = MKTAG(codec->fourcc[0], codec->fourcc[1], codec->fourcc[2], codec->fourcc[3]);
    par->width = width;
    par->height = height;
    par->sample_aspect_ratio = st->sample_aspect_ratio = AVRational{parN, parD};
    st->time_base = AVRational{fpsD, fpsN};
    st->avg_frame_rate = st->r_frame_rate = AVRational{fpsN, fpsD};
    return true;
}

GstFlowReturn Failed(GstAggregator* aggregator, const char* what, int code) {
    Writer& w = Of(aggregator);
    // A refusal downstream (a full disk, a stop) has been told already.
    if (w.flow != GST_FLOW_OK) return w.flow;
    GST_ELEMENT_ERROR(aggregator, STREAM, MUX, (nullptr), ("libavformat cannot %s: %s", what, AvError(code).c_str()));
    return GST_FLOW_ERROR;
}

void Close(Writer& w) {
    if (w.format) {
        if (w.format->pb) av_freep(&w.format->pb->buffer);
        avio_context_free(&w.format->pb);
        avformat_free_context(w.format);
        w.format = nullptr;
    }
    av_packet_free(&w.packet);
    w.inputs.clear();
    w.flow = GST_FLOW_OK;
    w.position = w.size = 0;
    w.finished = false;
}

// The inputs as the file will list them: video first, then sound, each in the
// order its pad was made; inputs that ended before any data are left out.
std::vector<Input> TakeInputs(GstAggregator* aggregator) {
    std::vector<Input> inputs;
    GST_OBJECT_LOCK(aggregator);
    for (GList* l = GST_ELEMENT(aggregator)->sinkpads; l; l = l->next) {
        Input in;
        in.pad.reset(GST_AGGREGATOR_PAD(gst_object_ref(l->data)));
        GstPadTemplate* templ = GST_PAD_PAD_TEMPLATE(l->data);
        in.video = templ && g_str_has_prefix(GST_PAD_TEMPLATE_NAME_TEMPLATE(templ), "video");
        inputs.push_back(std::move(in));
    }
    GST_OBJECT_UNLOCK(aggregator);
    std::stable_sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.video > b.video; });
    return inputs;
}

GstFlowReturn Open(GstAggregator* aggregator) {
    Writer& w = Of(aggregator);
    int res = avformat_alloc_output_context2(&w.format, nullptr, "avi", nullptr);
    if (res < 0 || !w.format) return Failed(aggregator, "make an AVI file", res);
    w.packet = av_packet_alloc();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    w.format->pb = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, aggregator, nullptr, WriteBytes, SeekBytes)
                          : nullptr;
    if (!w.format->pb || !w.packet) {
        av_free(buffer);
        return Failed(aggregator, "make an AVI file", AVERROR(ENOMEM));
    }
    for (Input& in : TakeInputs(aggregator)) {
        CapsPtr caps(gst_pad_get_current_caps(GST_PAD(in.pad.get())));
        if (!caps) {
            if (gst_aggregator_pad_has_buffer(in.pad.get())) return GST_FLOW_NOT_NEGOTIATED;
            continue;
        }
        std::int64_t bitrate = 0;
        {
            std::lock_guard guard(w.lock);
            if (auto it = w.bitrates.find(GST_PAD(in.pad.get())); it != w.bitrates.end()) bitrate = it->second;
        }
        AVStream* st = avformat_new_stream(w.format, nullptr);
        if (!st) return Failed(aggregator, "add a stream", AVERROR(ENOMEM));
        if (!Describe(st, caps.get(), bitrate)) {
            GST_ELEMENT_ERROR(aggregator, STREAM, FORMAT, (nullptr), ("an AVI file cannot carry %" GST_PTR_FORMAT, caps.get()));
            return GST_FLOW_NOT_NEGOTIATED;
        }
        in.stream = st->index;
        w.inputs.push_back(std::move(in));
    }
    if (w.inputs.empty()) return GST_FLOW_EOS;
    CapsPtr avi(gst_caps_new_empty_simple("video/x-msvideo"));
    gst_aggregator_set_src_caps(aggregator, avi.get());
    res = avformat_write_header(w.format, nullptr);
    if (res < 0) return Failed(aggregator, "write the AVI header", res);
    return GST_FLOW_OK;
}

// The running time a buffer is due at, on its pad's segment.
GstClockTime DueAt(GstAggregatorPad* pad, GstBuffer* buffer) {
    const GstClockTime ts = GST_BUFFER_DTS_IS_VALID(buffer) ? GST_BUFFER_DTS(buffer) : GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(ts)) return 0;
    GST_OBJECT_LOCK(pad);
    const GstClockTime rt = gst_segment_to_running_time(&pad->segment, GST_FORMAT_TIME, ts);
    GST_OBJECT_UNLOCK(pad);
    return GST_CLOCK_TIME_IS_VALID(rt) ? rt : 0;
}

GstFlowReturn WritePacket(GstAggregator* aggregator, Input& in, GstBuffer* buffer) {
    Writer& w = Of(aggregator);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_FLOW_ERROR;
    AVPacket* p = w.packet;
    p->data = map.data;
    p->size = static_cast<int>(map.size);
    p->stream_index = in.stream;
    // Every frame is one chunk at its place in the stream, every sound
    // chunk a key frame; video key frames are the encoder's.
    p->pts = p->dts = in.next++;
    p->duration = 1;
    p->flags = !in.video || !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT) ? AV_PKT_FLAG_KEY : 0;
    const int res = av_write_frame(w.format, p);
    p->data = nullptr;
    p->size = 0;
    gst_buffer_unmap(buffer, &map);
    return res < 0 ? Failed(aggregator, "write a chunk", res) : GST_FLOW_OK;
}

GstFlowReturn Aggregate(GstAggregator* aggregator, gboolean) {
    Writer& w = Of(aggregator);
    if (w.finished) return GST_FLOW_EOS;
    if (!w.format) {
        const GstFlowReturn opened = Open(aggregator);
        if (opened != GST_FLOW_OK) return opened;
    }
    // The earliest waiting buffer goes first: the file is interleaved by time.
    Input* next = nullptr;
    GstClockTime nextAt = 0;
    for (Input& in : w.inputs) {
        GstBuffer* buffer = gst_aggregator_pad_peek_buffer(in.pad.get());
        if (!buffer) continue;
        const GstClockTime at = DueAt(in.pad.get(), buffer);
        gst_buffer_unref(buffer);
        if (!next || at < nextAt) next = &in, nextAt = at;
    }
    if (next) {
        GstBuffer* buffer = gst_aggregator_pad_pop_buffer(next->pad.get());
        const GstFlowReturn written = WritePacket(aggregator, *next, buffer);
        gst_buffer_unref(buffer);
        return written;
    }
    for (Input& in : w.inputs)
        if (!gst_aggregator_pad_is_eos(in.pad.get())) return GST_FLOW_OK;
    // Every input has ended: the index, the lengths and the OpenDML parts.
    const int res = av_write_trailer(w.format);
    if (res >= 0) avio_flush(w.format->pb);
    w.finished = true;
    return res < 0 ? Failed(aggregator, "finish the AVI file", res) : GST_FLOW_EOS;
}

// Streams tell their data rate in tags; the main header sums them.
gboolean SinkEvent(GstAggregator* aggregator, GstAggregatorPad* pad, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_TAG) {
        GstTagList* tags = nullptr;
        gst_event_parse_tag(event, &tags);
        guint bitrate = 0;
        if (gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate) ||
            gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate)) {
            Writer& w = Of(aggregator);
            std::lock_guard guard(w.lock);
            w.bitrates[GST_PAD(pad)] = bitrate;
        }
    }
    return g_parentClass->sink_event(aggregator, pad, event);
}

gboolean Start(GstAggregator* aggregator) {
    Close(Of(aggregator));
    std::lock_guard guard(Of(aggregator).lock);
    Of(aggregator).bitrates.clear();
    return TRUE;
}

gboolean Stop(GstAggregator* aggregator) {
    Close(Of(aggregator));
    return TRUE;
}

void Finalize(GObject* object) {
    auto* self = reinterpret_cast<AviWriter*>(object);
    Close(*self->writer);
    delete self->writer;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_AGGREGATOR_CLASS(g_type_class_peek_parent(klass));
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template_with_gtype(element_class, &kVideoTemplate, GST_TYPE_AGGREGATOR_PAD);
    gst_element_class_add_static_pad_template_with_gtype(element_class, &kAudioTemplate, GST_TYPE_AGGREGATOR_PAD);
    gst_element_class_add_static_pad_template_with_gtype(element_class, &kSrcTemplate, GST_TYPE_AGGREGATOR_PAD);
    gst_element_class_set_static_metadata(element_class, "AVI writer", "Codec/Muxer",
                                          "AVI files by libavformat, OpenDML past 1 GB", "Marbleway developers");
    auto* aggregator_class = GST_AGGREGATOR_CLASS(klass);
    aggregator_class->aggregate = Aggregate;
    aggregator_class->sink_event = SinkEvent;
    aggregator_class->start = Start;
    aggregator_class->stop = Stop;
}

void InstanceInit(GTypeInstance* instance, gpointer) { reinterpret_cast<AviWriter*>(instance)->writer = new Writer; }

} // namespace

void RegisterAviWriter() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_guess_format("avi", nullptr, nullptr) == nullptr) return;
        RegisterElementType({kAviWriterName, "VobcastAviWriter", GST_TYPE_AGGREGATOR, sizeof(GstAggregatorClass),
                             ClassInit, sizeof(AviWriter), InstanceInit});
    });
}

} // namespace media
