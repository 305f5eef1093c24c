#include "platform/media/gst/runtime.h"

#include "platform/media/gst/handles.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <mutex>

GST_DEBUG_CATEGORY(media::media_debug);

namespace media {

namespace {

GST_DEBUG_CATEGORY_STATIC(libav_debug);

// libav's own remarks (a damaged picture concealed, a stream joined midway)
// go to the developer log, as GStreamer's do, not to the program's output.
void LogLibav(void* context, int level, const char* format, va_list args) {
    if (level > av_log_get_level()) return;
    const GstDebugLevel to = level <= AV_LOG_ERROR     ? GST_LEVEL_WARNING
                             : level <= AV_LOG_WARNING ? GST_LEVEL_INFO
                                                       : GST_LEVEL_DEBUG;
    if (to > gst_debug_category_get_threshold(libav_debug)) return;
    char line[1024];
    int prefix = 1;
    av_log_format_line(context, level, format, args, line, sizeof line, &prefix);
    g_strchomp(line);
    gst_debug_log(libav_debug, to, "libav", "", 0, nullptr, "%s", line);
}

} // namespace

void EnsureGstInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        GST_DEBUG_CATEGORY_INIT(media_debug, "vobcast-media", 0, "DirectShow-style graph layer");
        GST_DEBUG_CATEGORY_INIT(libav_debug, "vobcast-libav", 0, "libavcodec and libavfilter");
        av_log_set_callback(LogLibav);
    });
}

void DrainPad(GstBin* bin, GstPad* pad) {
    GstElement* sink = MakeElement("fakesink");
    if (!sink || !gst_bin_add(bin, sink)) {
        if (sink) gst_object_unref(sink);
        GST_WARNING_OBJECT(pad, "no fake sink to drain the stream into; it may hold the demuxer up");
        return;
    }
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_element_sync_state_with_parent(sink);
    GstPtr<GstPad> sinkPad(gst_element_get_static_pad(sink, "sink"));
    if (GST_PAD_LINK_FAILED(gst_pad_link(pad, sinkPad.get())))
        GST_WARNING_OBJECT(pad, "the stream could not be drained; it may hold the demuxer up");
}

bool HasFactory(const char* factory) {
    EnsureGstInit();
    GstPtr<GstElementFactory> f(gst_element_factory_find(factory));
    return f != nullptr;
}

GstElement* MakeElement(const char* factory, const char* name) {
    EnsureGstInit();
    return gst_element_factory_make(factory, name);
}

} // namespace media
