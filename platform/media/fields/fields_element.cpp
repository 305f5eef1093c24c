// "vobcastfields": a libavfilter graph between two pads. Pictures go in by
// reference (libavfilter reads GStreamer's planes in place) and come out by
// reference (GStreamer reads libavfilter's); only the filters copy.
//
// The stream it is fed is constant-rate (videorate is in front of it), so a
// picture's place is its count: input pictures are timed in frame periods,
// and output pictures from the first input's time at the rate the graph
// gives (film restoration gives 4 pictures for 5).
//
// A graph that begins with idet has each picture judged by idet's verdict on
// that picture alone: idet's own flags follow its verdict on the last four,
// which lags behind a cut (the pictures after a still or bright scene keep
// their comb). idet runs in a graph of its own, and the verdict is set on each
// picture before the rest of the graph sees it.
#include "fields_module.h"

#include "platform/media/elements/av_picture.h"

#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

GST_DEBUG_CATEGORY_STATIC(fields_debug);
#define GST_CAT_DEFAULT fields_debug

namespace {

struct Fields {
    GstElement parent;
    GstPad* sink;
    GstPad* src;
    gchar* filters;  // the graph's description
    AVFilterGraph* graph;
    AVFilterContext* in;
    AVFilterContext* out;
    AVFilterGraph* judgeGraph;  // idet alone, or null
    AVFilterContext* judgeIn;
    AVFilterContext* judgeOut;
    AVFrame* picture;
    GstVideoInfo info;           // what comes in
    GstClockTime first;          // the first picture's time
    gint64 taken;                // pictures in
    gint64 given;                // pictures out
    gint outNum, outDen;         // the rate out
};

#define VOBCAST_FIELDS(obj) (reinterpret_cast<Fields*>(obj))

enum { kPropFilters = 1 };

GstStaticPadTemplate kSinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=(string)I420"));
GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw, format=(string)I420"));

GstElementClass* g_parentClass = nullptr;

void FreeGraph(Fields* f) {
    avfilter_graph_free(&f->graph);
    avfilter_graph_free(&f->judgeGraph);
    f->in = f->out = f->judgeIn = f->judgeOut = nullptr;
}

// buffer source ! description ! buffer sink, for pictures as args describe them.
bool MakeGraph(const char* description, const char* args, AVFilterGraph*& graph, AVFilterContext*& in,
               AVFilterContext*& out) {
    graph = avfilter_graph_alloc();
    // One thread: the decoder and the encoders have the cores.
    if (graph) graph->nb_threads = 1;
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    bool ok = graph && outputs && inputs &&
              avfilter_graph_create_filter(&in, avfilter_get_by_name("buffer"), "in", args, nullptr, graph) >= 0 &&
              avfilter_graph_create_filter(&out, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph) >= 0;
    if (ok) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = in;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = out;
        ok = avfilter_graph_parse_ptr(graph, description, &inputs, &outputs, nullptr) >= 0 &&
             avfilter_graph_config(graph, nullptr) >= 0;
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return ok;
}

// Builds the graph (and idet's own, where it begins with idet) for the
// input's size, rate and aspect; false with an element error when
// libavfilter refuses.
bool BuildGraph(Fields* f) {
    FreeGraph(f);
    const GstVideoInfo& info = f->info;
    char args[256];
    std::snprintf(args, sizeof args,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d:frame_rate=%d/%d",
                  GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info), AV_PIX_FMT_YUV420P,
                  GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info), std::max(GST_VIDEO_INFO_PAR_N(&info), 1),
                  std::max(GST_VIDEO_INFO_PAR_D(&info), 1), GST_VIDEO_INFO_FPS_N(&info), GST_VIDEO_INFO_FPS_D(&info));
    const std::string description = f->filters ? f->filters : "null";
    constexpr std::string_view kJudge = "idet,";
    const bool judge = description.starts_with(kJudge);
    const bool ok = (!judge || MakeGraph("idet", args, f->judgeGraph, f->judgeIn, f->judgeOut)) &&
                    MakeGraph(description.c_str() + (judge ? kJudge.size() : 0), args, f->graph, f->in, f->out);
    if (!ok) {
        GST_ELEMENT_ERROR(f, LIBRARY, INIT, (nullptr), ("libavfilter refuses \"%s\" on %s", f->filters, args));
        FreeGraph(f);
        return false;
    }
    const AVRational rate = av_buffersink_get_frame_rate(f->out);
    f->outNum = rate.num > 0 ? rate.num : GST_VIDEO_INFO_FPS_N(&info);
    f->outDen = rate.num > 0 ? rate.den : GST_VIDEO_INFO_FPS_D(&info);
    GST_INFO_OBJECT(f, "\"%s\": %d/%d in, %d/%d out", f->filters, GST_VIDEO_INFO_FPS_N(&info),
                    GST_VIDEO_INFO_FPS_D(&info), f->outNum, f->outDen);
    return true;
}

GstClockTime OutputTime(const Fields* f, gint64 n) {
    return f->first + gst_util_uint64_scale(static_cast<guint64>(n), static_cast<guint64>(f->outDen) * GST_SECOND,
                                            static_cast<guint64>(f->outNum));
}

// idet's verdict on picture alone, as the flags the deinterlacer reads; where
// it can't tell, its verdict on the last four stands.
void TakeOwnVerdict(AVFrame* picture) {
    const AVDictionaryEntry* verdict = av_dict_get(picture->metadata, "lavfi.idet.single.current_frame", nullptr, 0);
    if (!verdict) return;
    const std::string_view v = verdict->value;
    if (v == "tff" || v == "bff") {
        picture->interlaced_frame = 1;
        picture->top_field_first = v == "tff";
    } else if (v == "progressive") {
        picture->interlaced_frame = 0;
    }
}

// Hands the pictures idet has judged on to the graph; false when it refuses one.
bool PassJudged(Fields* f) {
    while (f->judgeOut && av_buffersink_get_frame(f->judgeOut, f->picture) >= 0) {
        TakeOwnVerdict(f->picture);
        const int added = av_buffersrc_add_frame(f->in, f->picture);
        av_frame_unref(f->picture);
        if (added < 0) return false;
    }
    return true;
}

// Pushes every picture the graph has ready.
GstFlowReturn PushReady(Fields* f) {
    while (f->out && av_buffersink_get_frame(f->out, f->picture) >= 0) {
        GstBuffer* buffer = media::WrapPicture(f->picture);
        av_frame_unref(f->picture);
        if (!buffer) return GST_FLOW_ERROR;
        GST_BUFFER_PTS(buffer) = OutputTime(f, f->given);
        GST_BUFFER_DURATION(buffer) = OutputTime(f, f->given + 1) - GST_BUFFER_PTS(buffer);
        ++f->given;
        const GstFlowReturn ret = gst_pad_push(f->src, buffer);
        if (ret != GST_FLOW_OK) return ret;
    }
    return GST_FLOW_OK;
}

GstFlowReturn Chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
    Fields* f = VOBCAST_FIELDS(parent);
    if (!f->graph) {
        gst_buffer_unref(buffer);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    if (f->taken == 0) f->first = GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : 0;
    AVFrame* frame = av_frame_alloc();
    const bool lent = frame && media::LendPicture(buffer, f->info, frame);
    if (lent) {
        frame->pts = f->taken++;
        frame->sample_aspect_ratio = {std::max(GST_VIDEO_INFO_PAR_N(&f->info), 1), std::max(GST_VIDEO_INFO_PAR_D(&f->info), 1)};
        // MPEG-2's own word on each picture; the detection may overrule it.
        frame->interlaced_frame = GST_BUFFER_FLAG_IS_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED) ||
                                  GST_VIDEO_INFO_INTERLACE_MODE(&f->info) == GST_VIDEO_INTERLACE_MODE_INTERLEAVED;
        frame->top_field_first = GST_BUFFER_FLAG_IS_SET(buffer, GST_VIDEO_BUFFER_FLAG_TFF);
    }
    gst_buffer_unref(buffer);
    if (!lent) {
        av_frame_free(&frame);
        GST_ELEMENT_ERROR(f, STREAM, FAILED, (nullptr), ("a picture could not be read"));
        return GST_FLOW_ERROR;
    }
    const int added = av_buffersrc_add_frame(f->judgeIn ? f->judgeIn : f->in, frame);
    av_frame_free(&frame);
    if (added < 0 || !PassJudged(f)) {
        GST_ELEMENT_ERROR(f, STREAM, FAILED, (nullptr), ("libavfilter took no picture (%d)", added));
        return GST_FLOW_ERROR;
    }
    return PushReady(f);
}

gboolean SetCaps(Fields* f, GstCaps* caps) {
    if (!gst_video_info_from_caps(&f->info, caps) || GST_VIDEO_INFO_FPS_N(&f->info) <= 0) return FALSE;
    f->taken = f->given = 0;
    if (!BuildGraph(f)) return FALSE;
    GstCaps* out = gst_caps_copy(caps);
    gst_caps_set_simple(out, "framerate", GST_TYPE_FRACTION, f->outNum, f->outDen, "interlace-mode", G_TYPE_STRING,
                        "progressive", nullptr);
    const gboolean pushed = gst_pad_push_event(f->src, gst_event_new_caps(out));
    gst_caps_unref(out);
    return pushed;
}

gboolean SinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
    Fields* f = VOBCAST_FIELDS(parent);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        const gboolean ok = SetCaps(f, caps);
        gst_event_unref(event);
        return ok;
    }
    case GST_EVENT_EOS:
        // The pictures the filters still hold (they look one or two ahead).
        if (f->judgeIn && av_buffersrc_add_frame(f->judgeIn, nullptr) >= 0) PassJudged(f);
        if (f->in && av_buffersrc_add_frame(f->in, nullptr) >= 0) PushReady(f);
        break;
    case GST_EVENT_FLUSH_STOP:
        if (f->graph) BuildGraph(f);
        f->taken = f->given = 0;
        break;
    default: break;
    }
    return gst_pad_event_default(pad, parent, event);
}

gboolean SinkQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_ALLOCATION:
        // Pictures are read in place, by their strides.
        gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
        return TRUE;
    case GST_QUERY_CAPS: {
        GstCaps* filter = nullptr;
        gst_query_parse_caps(query, &filter);
        GstCaps* caps = gst_pad_get_pad_template_caps(pad);
        if (filter) {
            GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
            gst_caps_unref(caps);
            caps = both;
        }
        gst_query_set_caps_result(query, caps);
        gst_caps_unref(caps);
        return TRUE;
    }
    default: return gst_pad_query_default(pad, parent, query);
    }
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
    const GstStateChangeReturn ret = g_parentClass->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) FreeGraph(VOBCAST_FIELDS(element));
    return ret;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    Fields* f = VOBCAST_FIELDS(object);
    if (id != kPropFilters) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    g_free(f->filters);
    f->filters = g_value_dup_string(value);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    if (id != kPropFilters) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    g_value_set_string(value, VOBCAST_FIELDS(object)->filters);
}

void Finalize(GObject* object) {
    Fields* f = VOBCAST_FIELDS(object);
    FreeGraph(f);
    av_frame_free(&f->picture);
    g_free(f->filters);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* object_class = G_OBJECT_CLASS(klass);
    object_class->finalize = Finalize;
    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    g_object_class_install_property(
        object_class, kPropFilters,
        g_param_spec_string("filters", "Filters", "The libavfilter graph the pictures go through", "null",
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    auto* element_class = GST_ELEMENT_CLASS(klass);
    element_class->change_state = ChangeState;
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "Field filters", "Filter/Effect/Video/Deinterlace",
                                          "Detection, deinterlacing and film restoration by libavfilter",
                                          "Marbleway developers");
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    Fields* f = VOBCAST_FIELDS(instance);
    f->sink = gst_pad_new_from_static_template(&kSinkTemplate, "sink");
    gst_pad_set_chain_function(f->sink, Chain);
    gst_pad_set_event_function(f->sink, SinkEvent);
    gst_pad_set_query_function(f->sink, SinkQuery);
    gst_element_add_pad(GST_ELEMENT(f), f->sink);
    f->src = gst_pad_new_from_static_template(&kSrcTemplate, "src");
    gst_pad_use_fixed_caps(f->src);
    gst_element_add_pad(GST_ELEMENT(f), f->src);
    f->filters = g_strdup("null");
    f->graph = f->judgeGraph = nullptr;
    f->in = f->out = f->judgeIn = f->judgeOut = nullptr;
    f->picture = av_frame_alloc();
    gst_video_info_init(&f->info);
    f->first = 0;
    f->taken = f->given = 0;
    f->outNum = f->outDen = 1;
}

} // namespace

int32_t VobcastFieldsRegister(void) {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        GST_DEBUG_CATEGORY_INIT(fields_debug, "vobcast-fields", 0, "the field filters of libavfilter");
        const GTypeInfo info = {sizeof(GstElementClass), nullptr, nullptr, ClassInit, nullptr, nullptr,
                                sizeof(Fields), 0, InstanceInit, nullptr};
        const GType type = g_type_register_static(GST_TYPE_ELEMENT, "VobcastFields", &info, static_cast<GTypeFlags>(0));
        registered = gst_element_register(nullptr, VOBCAST_FIELDS_ELEMENT, GST_RANK_NONE, type) != FALSE;
    });
    return registered ? 0 : -1;
}
