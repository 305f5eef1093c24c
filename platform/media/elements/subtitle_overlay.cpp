#include "platform/media/elements/subtitle_overlay.h"

#include "platform/media/elements/codec_element.h"
#include "platform/media/gst/runtime.h"

#include <gst/video/video.h>

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

namespace media {
namespace {

GstStaticPadTemplate kSinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                             GST_STATIC_CAPS("video/x-raw, format=(string)I420"));
GstStaticPadTemplate kSubpictureTemplate =
    GST_STATIC_PAD_TEMPLATE("subpicture", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("subpicture/x-dvd"));
GstStaticPadTemplate kSrcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                            GST_STATIC_CAPS("video/x-raw, format=(string)I420"));

// One subpicture as the decoder made it, and when it shows.
struct Shown {
    GstClockTime start = GST_CLOCK_TIME_NONE, end = GST_CLOCK_TIME_NONE;  // running time; end NONE: until the next
    AVSubtitle subtitle{};
};

struct Overlay {
    GstElement parent;
    GstPad* sink;
    GstPad* subpicture;
    GstPad* src;
    GMutex lock;
    GCond changed;
    GstSegment videoSegment;
    GstSegment subSegment;
    GstVideoInfo info;
    AVCodecContext* decoder;
    std::deque<Shown>* shown;
    GstClockTime subPosition;  // running time the subpicture stream has reached
    GstClockTime spuTime;      // running time of the subpicture being read
    GstClockTime gaveUpAt;     // a picture no longer waited for, until the stream passes it
    gboolean subSegmentSet, subEos, flushing;
    GstElement* feeder;  // the queue in front of the pictures, or null
    gchar* palette;
    gchar* ifo;
    gboolean forcedOnly;
    gint keepTop;  // rows cut from the picture after it, which subpictures keep out of
    gint keepBottom;
};

struct OverlayClass {
    GstElementClass parent;
};

enum { PROP_0, PROP_PALETTE, PROP_IFO, PROP_FORCED_ONLY, PROP_KEEP_TOP, PROP_KEEP_BOTTOM, PROP_FEEDER };

// A picture waits this long at most for the subpicture stream, whatever the
// cause; after that pictures pass unwaited until the stream has caught up.
constexpr gint64 kLongestWaitUs = 2 * G_TIME_SPAN_SECOND;
// How often a waiting picture looks whether its feeder has filled up.
constexpr gint64 kFeederLookUs = 10 * G_TIME_SPAN_MILLISECOND;

GstElementClass* g_parentClass = nullptr;

Overlay* Self(gpointer p) { return reinterpret_cast<Overlay*>(p); }

void ClearShown(Overlay* o) {
    for (Shown& s : *o->shown) avsubtitle_free(&s.subtitle);
    o->shown->clear();
}

bool OpenDecoder(Overlay* o) {
    if (o->decoder) return true;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE);
    o->decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!o->decoder) return false;
    AVDictionary* options = nullptr;
    if (o->palette && *o->palette) av_dict_set(&options, "palette", o->palette, 0);
    if (o->ifo && *o->ifo) av_dict_set(&options, "ifo_palette", o->ifo, 0);
    if (o->forcedOnly) av_dict_set(&options, "forced_subs_only", "1", 0);
    const int opened = avcodec_open2(o->decoder, codec, &options);
    av_dict_free(&options);
    if (opened < 0) avcodec_free_context(&o->decoder);
    return o->decoder != nullptr;
}

// The subpicture stream has got to position (running time).
void Reach(Overlay* o, GstClockTime position) {
    if (!GST_CLOCK_TIME_IS_VALID(position)) return;
    if (!GST_CLOCK_TIME_IS_VALID(o->subPosition) || position > o->subPosition) o->subPosition = position;
    if (GST_CLOCK_TIME_IS_VALID(o->gaveUpAt) && o->subPosition >= o->gaveUpAt) o->gaveUpAt = GST_CLOCK_TIME_NONE;
}

// A stream time of the demultiplexer's as running time: by the subpicture
// stream's segment once it has one, else by the pictures'.
GstClockTime SubRunningTime(Overlay* o, GstClockTime position) {
    return gst_segment_to_running_time(o->subSegmentSet ? &o->subSegment : &o->videoSegment, GST_FORMAT_TIME, position);
}

// Whether the queue in front of the pictures is full: its feeder, the
// demultiplexer, then waits for pictures to go and reads nothing more, so no
// subpicture can come before one does.
bool FeederFull(Overlay* o) {
    if (!o->feeder) return false;
    guint64 level = 0, most = 0;
    g_object_get(o->feeder, "current-level-time", &level, "max-size-time", &most, nullptr);
    return most > 0 && level >= most;
}

// Whether a picture at running time at must wait for the subpicture stream:
// that stream is there (its position known), has not ended, and is behind.
bool MustWait(const Overlay* o, GstClockTime at) {
    return GST_CLOCK_TIME_IS_VALID(at) && GST_CLOCK_TIME_IS_VALID(o->subPosition) && !o->subEos && !o->flushing &&
           !GST_CLOCK_TIME_IS_VALID(o->gaveUpAt) && o->subPosition < at;
}

// Waits, with the lock held, until a subpicture due at at would be known, or
// waiting can no longer bring it: the feeder is full, or the longest wait is
// over (then later pictures pass until the stream has caught up).
void WaitForSubpictures(Overlay* o, GstClockTime at) {
    const gint64 giveUp = g_get_monotonic_time() + kLongestWaitUs;
    while (MustWait(o, at)) {
        g_mutex_unlock(&o->lock);
        const bool full = FeederFull(o);
        g_mutex_lock(&o->lock);
        if (full || !MustWait(o, at)) return;
        const gint64 now = g_get_monotonic_time();
        if (now >= giveUp) {
            GST_WARNING_OBJECT(o, "the subpicture stream stays at %" GST_TIME_FORMAT " behind the picture at %" GST_TIME_FORMAT
                               ": pictures go on without waiting until it catches up",
                               GST_TIME_ARGS(o->subPosition), GST_TIME_ARGS(at));
            o->gaveUpAt = at;
            return;
        }
        g_cond_wait_until(&o->changed, &o->lock, std::min(giveUp, now + kFeederLookUs));
    }
}

GstFlowReturn SubpictureChain(GstPad*, GstObject* parent, GstBuffer* buffer) {
    Overlay* o = Self(parent);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    AVPacket* packet = av_packet_alloc();
    const bool copied = packet && CopyToPacket(buffer, packet);
    gst_buffer_unref(buffer);
    g_mutex_lock(&o->lock);
    const GstClockTime at = GST_CLOCK_TIME_IS_VALID(pts)
                                ? gst_segment_to_running_time(&o->subSegment, GST_FORMAT_TIME, pts)
                                : GST_CLOCK_TIME_NONE;
    // A subpicture may span several packets; only the first carries its time.
    if (GST_CLOCK_TIME_IS_VALID(at)) o->spuTime = at;
    if (copied && GST_CLOCK_TIME_IS_VALID(o->spuTime) && OpenDecoder(o)) {
        Shown shown;
        int got = 0;
        if (avcodec_decode_subtitle2(o->decoder, &shown.subtitle, &got, packet) >= 0 && got) {
            shown.start = o->spuTime + shown.subtitle.start_display_time * GST_MSECOND;
            if (shown.subtitle.end_display_time > shown.subtitle.start_display_time &&
                shown.subtitle.end_display_time != UINT32_MAX)
                shown.end = o->spuTime + shown.subtitle.end_display_time * GST_MSECOND;
            // A subpicture shown until further notice ends where the next starts.
            for (Shown& earlier : *o->shown)
                if (!GST_CLOCK_TIME_IS_VALID(earlier.end) || earlier.end > shown.start) earlier.end = shown.start;
            GST_INFO_OBJECT(o, "a subpicture shown from %" GST_TIME_FORMAT " to %" GST_TIME_FORMAT ", %u bitmap(s)",
                            GST_TIME_ARGS(shown.start), GST_TIME_ARGS(shown.end), shown.subtitle.num_rects);
            if (shown.subtitle.num_rects > 0) o->shown->push_back(shown);
            else avsubtitle_free(&shown.subtitle);
        }
    }
    Reach(o, at);
    g_cond_broadcast(&o->changed);
    const GstFlowReturn ret = o->flushing ? GST_FLOW_FLUSHING : GST_FLOW_OK;
    g_mutex_unlock(&o->lock);
    av_packet_free(&packet);
    return ret;
}

gboolean SubpictureEvent(GstPad*, GstObject* parent, GstEvent* event) {
    Overlay* o = Self(parent);
    g_mutex_lock(&o->lock);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_SEGMENT:
        gst_event_copy_segment(event, &o->subSegment);
        o->subSegmentSet = TRUE;
        break;
    case GST_EVENT_CUSTOM_DOWNSTREAM_OOB: {
        // The demultiplexer has read past position: nothing of the subpicture
        // stream comes before it (see SubpictureHorizonEvent).
        const GstStructure* s = gst_event_get_structure(event);
        GstClockTime position = GST_CLOCK_TIME_NONE;
        if (gst_structure_has_name(s, kSubpictureHorizon) && gst_structure_get_clock_time(s, "position", &position))
            Reach(o, SubRunningTime(o, position));
        break;
    }
    case GST_EVENT_GAP: {
        GstClockTime start = GST_CLOCK_TIME_NONE, duration = GST_CLOCK_TIME_NONE;
        gst_event_parse_gap(event, &start, &duration);
        if (GST_CLOCK_TIME_IS_VALID(start)) {
            if (GST_CLOCK_TIME_IS_VALID(duration)) start += duration;
            Reach(o, SubRunningTime(o, start));
        }
        break;
    }
    case GST_EVENT_EOS:
        o->subEos = TRUE;
        break;
    case GST_EVENT_FLUSH_STOP:
        gst_segment_init(&o->subSegment, GST_FORMAT_TIME);
        o->subPosition = o->spuTime = o->gaveUpAt = GST_CLOCK_TIME_NONE;
        o->subSegmentSet = o->subEos = FALSE;
        ClearShown(o);
        break;
    default:
        break;
    }
    g_cond_broadcast(&o->changed);
    g_mutex_unlock(&o->lock);
    // Nothing of the subpicture stream goes further than this element.
    gst_event_unref(event);
    return TRUE;
}

struct Yuva {
    int y, u, v, a;
};

Yuva FromArgb(std::uint32_t argb) {
    const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return {16 + (66 * r + 129 * g + 25 * b + 128) / 256, 128 + (-38 * r - 74 * g + 112 * b + 128) / 256,
            128 + (112 * r - 94 * g - 18 * b + 128) / 256, static_cast<int>(argb >> 24)};
}

std::uint8_t Mix(std::uint8_t under, int over, int alpha) {
    return static_cast<std::uint8_t>((under * (255 - alpha) + over * alpha + 127) / 255);
}

// Blends one bitmap into the picture; chroma takes each 2x2 block's top-left
// pixel. A bitmap that reaches into the rows to be cut (keepTop at the top,
// keepBottom at the bottom) moves into the rows that stay, as far as it fits.
void Blend(GstVideoFrame& frame, const AVSubtitleRect& rect, int keepTop, int keepBottom) {
    if (rect.type != SUBTITLE_BITMAP || !rect.data[0] || !rect.data[1]) return;
    const auto* argb = reinterpret_cast<const std::uint32_t*>(rect.data[1]);
    Yuva colours[256];
    for (int i = 0; i < std::min(rect.nb_colors, 256); ++i) colours[i] = FromArgb(argb[i]);
    const int width = GST_VIDEO_FRAME_WIDTH(&frame), height = GST_VIDEO_FRAME_HEIGHT(&frame);
    auto* luma = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    auto* cb = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 1));
    auto* cr = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 2));
    const int ls = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), cbs = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 1),
              crs = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 2);
    const int top = std::max(std::min(rect.y, height - keepBottom - rect.h), keepTop);
    for (int y = 0; y < rect.h; ++y) {
        const int py = top + y;
        if (py < 0 || py >= height) continue;
        for (int x = 0; x < rect.w; ++x) {
            const int px = rect.x + x;
            const int index = rect.data[0][y * rect.linesize[0] + x];
            if (px < 0 || px >= width || index >= rect.nb_colors) continue;
            const Yuva& c = colours[index];
            if (c.a == 0) continue;
            luma[py * ls + px] = Mix(luma[py * ls + px], c.y, c.a);
            if ((px & 1) == 0 && (py & 1) == 0) {
                cb[py / 2 * cbs + px / 2] = Mix(cb[py / 2 * cbs + px / 2], c.u, c.a);
                cr[py / 2 * crs + px / 2] = Mix(cr[py / 2 * crs + px / 2], c.v, c.a);
            }
        }
    }
}

GstFlowReturn VideoChain(GstPad*, GstObject* parent, GstBuffer* buffer) {
    Overlay* o = Self(parent);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    g_mutex_lock(&o->lock);
    const GstClockTime at = GST_CLOCK_TIME_IS_VALID(pts)
                                ? gst_segment_to_running_time(&o->videoSegment, GST_FORMAT_TIME, pts)
                                : GST_CLOCK_TIME_NONE;
    // Wait for the subpicture stream to pass this picture's time, so that a
    // subpicture due now is known.
    WaitForSubpictures(o, at);
    if (o->flushing) {
        g_mutex_unlock(&o->lock);
        gst_buffer_unref(buffer);
        return GST_FLOW_FLUSHING;
    }
    // What has ended goes; what is due now is drawn.
    while (!o->shown->empty() && GST_CLOCK_TIME_IS_VALID(at) && GST_CLOCK_TIME_IS_VALID(o->shown->front().end) &&
           o->shown->front().end <= at) {
        avsubtitle_free(&o->shown->front().subtitle);
        o->shown->pop_front();
    }
    std::vector<const Shown*> due;
    for (const Shown& s : *o->shown)
        if (GST_CLOCK_TIME_IS_VALID(at) && s.start <= at && (!GST_CLOCK_TIME_IS_VALID(s.end) || at < s.end))
            due.push_back(&s);
    if (!due.empty()) {
        buffer = gst_buffer_make_writable(buffer);
        GstVideoFrame frame;
        // The decoder's planes are shared and read-only: mapping them for
        // writing gives this picture planes of its own.
        if (gst_video_frame_map(&frame, &o->info, buffer, GST_MAP_WRITE)) {
            for (const Shown* s : due)
                for (unsigned r = 0; r < s->subtitle.num_rects; ++r) Blend(frame, *s->subtitle.rects[r], o->keepTop, o->keepBottom);
            gst_video_frame_unmap(&frame);
        }
    }
    g_mutex_unlock(&o->lock);
    return gst_pad_push(o->src, buffer);
}

gboolean VideoEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
    Overlay* o = Self(parent);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        g_mutex_lock(&o->lock);
        const bool ok = gst_video_info_from_caps(&o->info, caps);
        g_mutex_unlock(&o->lock);
        if (!ok) {
            gst_event_unref(event);
            return FALSE;
        }
        break;
    }
    case GST_EVENT_SEGMENT:
        g_mutex_lock(&o->lock);
        gst_event_copy_segment(event, &o->videoSegment);
        g_mutex_unlock(&o->lock);
        break;
    case GST_EVENT_FLUSH_START:
        g_mutex_lock(&o->lock);
        o->flushing = TRUE;
        g_cond_broadcast(&o->changed);
        g_mutex_unlock(&o->lock);
        break;
    case GST_EVENT_FLUSH_STOP:
        g_mutex_lock(&o->lock);
        o->flushing = FALSE;
        gst_segment_init(&o->videoSegment, GST_FORMAT_TIME);
        g_mutex_unlock(&o->lock);
        break;
    default:
        break;
    }
    return gst_pad_event_default(pad, parent, event);
}

// Pictures pass from "sink" to "src" alone: caps and allocation queries are
// answered along that way only, never by the subpicture pad.
GstIterator* PictureLinks(GstPad* pad, GstObject* parent) {
    Overlay* o = Self(parent);
    GValue other = G_VALUE_INIT;
    g_value_init(&other, GST_TYPE_PAD);
    g_value_set_object(&other, pad == o->src ? o->sink : o->src);
    GstIterator* it = gst_iterator_new_single(GST_TYPE_PAD, &other);
    g_value_unset(&other);
    return it;
}

gboolean SubpictureQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
    if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS || GST_QUERY_TYPE(query) == GST_QUERY_ACCEPT_CAPS)
        return gst_pad_query_default(pad, parent, query);
    return FALSE;
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
    Overlay* o = Self(element);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        g_mutex_lock(&o->lock);
        o->flushing = TRUE;
        g_cond_broadcast(&o->changed);
        g_mutex_unlock(&o->lock);
    } else if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        g_mutex_lock(&o->lock);
        o->flushing = FALSE;
        o->subSegmentSet = FALSE;
        o->subEos = FALSE;
        o->subPosition = o->spuTime = o->gaveUpAt = GST_CLOCK_TIME_NONE;
        gst_segment_init(&o->videoSegment, GST_FORMAT_TIME);
        gst_segment_init(&o->subSegment, GST_FORMAT_TIME);
        g_mutex_unlock(&o->lock);
    }
    const GstStateChangeReturn ret = g_parentClass->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        g_mutex_lock(&o->lock);
        ClearShown(o);
        avcodec_free_context(&o->decoder);
        g_mutex_unlock(&o->lock);
    }
    return ret;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    Overlay* o = Self(object);
    g_mutex_lock(&o->lock);
    if (id == PROP_PALETTE) {
        g_free(o->palette);
        o->palette = g_value_dup_string(value);
    } else if (id == PROP_IFO) {
        g_free(o->ifo);
        o->ifo = g_value_dup_string(value);
    } else if (id == PROP_FORCED_ONLY) {
        o->forcedOnly = g_value_get_boolean(value);
    } else if (id == PROP_KEEP_TOP) {
        o->keepTop = g_value_get_int(value);
    } else if (id == PROP_KEEP_BOTTOM) {
        o->keepBottom = g_value_get_int(value);
    } else if (id == PROP_FEEDER) {
        if (o->feeder) gst_object_unref(o->feeder);
        o->feeder = GST_ELEMENT(g_value_dup_object(value));
    } else {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
    g_mutex_unlock(&o->lock);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    Overlay* o = Self(object);
    g_mutex_lock(&o->lock);
    if (id == PROP_PALETTE) g_value_set_string(value, o->palette);
    else if (id == PROP_IFO) g_value_set_string(value, o->ifo);
    else if (id == PROP_FORCED_ONLY) g_value_set_boolean(value, o->forcedOnly);
    else if (id == PROP_KEEP_TOP) g_value_set_int(value, o->keepTop);
    else if (id == PROP_KEEP_BOTTOM) g_value_set_int(value, o->keepBottom);
    else if (id == PROP_FEEDER) g_value_set_object(value, o->feeder);
    else G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    g_mutex_unlock(&o->lock);
}

void Finalize(GObject* object) {
    Overlay* o = Self(object);
    ClearShown(o);
    delete o->shown;
    avcodec_free_context(&o->decoder);
    g_free(o->palette);
    g_free(o->ifo);
    if (o->feeder) gst_object_unref(o->feeder);
    g_mutex_clear(&o->lock);
    g_cond_clear(&o->changed);
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    g_parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    object_class->finalize = Finalize;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(object_class, PROP_PALETTE,
                                    g_param_spec_string("palette", "Palette", "16 colours, rrggbb, comma-separated",
                                                        nullptr, flags));
    g_object_class_install_property(object_class, PROP_IFO,
                                    g_param_spec_string("ifo", "IFO file", "The IFO file to read the colours from",
                                                        nullptr, flags));
    g_object_class_install_property(object_class, PROP_FORCED_ONLY,
                                    g_param_spec_boolean("forced-only", "Forced only",
                                                         "Draw only the subpictures marked forced", FALSE, flags));
    g_object_class_install_property(
        object_class, PROP_KEEP_TOP,
        g_param_spec_int("keep-top", "Keep top", "Rows at the top that subpictures move out of", 0, 4096, 0, flags));
    g_object_class_install_property(
        object_class, PROP_KEEP_BOTTOM,
        g_param_spec_int("keep-bottom", "Keep bottom", "Rows at the bottom that subpictures move out of", 0, 4096, 0,
                         flags));
    g_object_class_install_property(
        object_class, PROP_FEEDER,
        g_param_spec_object("feeder", "Feeder", "The queue in front of the pictures (current-level-time, max-size-time)",
                            GST_TYPE_ELEMENT, flags));
    auto* element_class = GST_ELEMENT_CLASS(klass);
    element_class->change_state = ChangeState;
    gst_element_class_add_static_pad_template(element_class, &kSinkTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSubpictureTemplate);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "DVD subtitles", "Filter/Editor/Video/Overlay/Subtitle",
                                          "DVD subpictures drawn into the pictures, decoded by libavcodec",
                                          "Marbleway developers");
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    Overlay* o = Self(instance);
    g_mutex_init(&o->lock);
    g_cond_init(&o->changed);
    o->shown = new std::deque<Shown>;
    o->decoder = nullptr;
    o->palette = nullptr;
    o->ifo = nullptr;
    o->forcedOnly = FALSE;
    o->keepTop = 0;
    o->keepBottom = 0;
    o->subSegmentSet = o->subEos = o->flushing = FALSE;
    o->subPosition = o->spuTime = o->gaveUpAt = GST_CLOCK_TIME_NONE;
    o->feeder = nullptr;
    gst_segment_init(&o->videoSegment, GST_FORMAT_TIME);
    gst_segment_init(&o->subSegment, GST_FORMAT_TIME);
    gst_video_info_init(&o->info);
    auto* element = GST_ELEMENT(instance);
    o->sink = gst_pad_new_from_static_template(&kSinkTemplate, "sink");
    gst_pad_set_chain_function(o->sink, VideoChain);
    gst_pad_set_event_function(o->sink, VideoEvent);
    gst_pad_set_iterate_internal_links_function(o->sink, PictureLinks);
    GST_PAD_SET_PROXY_CAPS(o->sink);
    GST_PAD_SET_PROXY_ALLOCATION(o->sink);
    gst_element_add_pad(element, o->sink);
    o->subpicture = gst_pad_new_from_static_template(&kSubpictureTemplate, "subpicture");
    gst_pad_set_chain_function(o->subpicture, SubpictureChain);
    gst_pad_set_event_function(o->subpicture, SubpictureEvent);
    gst_pad_set_query_function(o->subpicture, SubpictureQuery);
    gst_element_add_pad(element, o->subpicture);
    o->src = gst_pad_new_from_static_template(&kSrcTemplate, "src");
    gst_pad_set_iterate_internal_links_function(o->src, PictureLinks);
    GST_PAD_SET_PROXY_CAPS(o->src);
    gst_element_add_pad(element, o->src);
}

} // namespace

std::string DvdPaletteText(const std::array<std::uint32_t, 16>& ycrcb) {
    std::string text;
    for (const std::uint32_t entry : ycrcb) {
        const double y = (entry >> 16) & 0xFF, cr = ((entry >> 8) & 0xFF) - 128.0, cb = (entry & 0xFF) - 128.0;
        const auto clamp = [](double v) { return static_cast<int>(std::clamp(v + 0.5, 0.0, 255.0)); };
        const double luma = (y - 16) * 1.164;
        char rgb[8];
        std::snprintf(rgb, sizeof rgb, "%02x%02x%02x", clamp(luma + 1.596 * cr), clamp(luma - 0.392 * cb - 0.813 * cr),
                      clamp(luma + 2.017 * cb));
        text += (text.empty() ? "" : ",") + std::string(rgb);
    }
    return text;
}

GstEvent* SubpictureHorizonEvent(GstClockTime position) {
    return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM_OOB,
                                gst_structure_new(kSubpictureHorizon, "position", G_TYPE_UINT64, position, nullptr));
}

void RegisterSubtitleOverlay() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE) == nullptr) return;
        RegisterElementType({kSubtitleOverlayName, "VobcastSubtitles", GST_TYPE_ELEMENT, sizeof(OverlayClass), ClassInit,
                             sizeof(Overlay), InstanceInit});
    });
}

} // namespace media
