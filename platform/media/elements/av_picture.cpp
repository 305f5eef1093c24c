#include "platform/media/elements/av_picture.h"

#include <atomic>
#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace media {
namespace {

void UnrefPlane(gpointer data) {
    auto* plane = static_cast<AVBufferRef*>(data);
    av_buffer_unref(&plane);
}

// A GStreamer picture mapped for libav: one reference a plane, the mapping
// let go with the last.
struct Lent {
    GstVideoFrame frame;
    std::atomic<int> planes{3};
};

void ReturnPlane(void* opaque, std::uint8_t*) {
    auto* lent = static_cast<Lent*>(opaque);
    if (lent->planes.fetch_sub(1) != 1) return;
    gst_video_frame_unmap(&lent->frame);
    delete lent;
}

} // namespace

GstBuffer* WrapPicture(const AVFrame* picture) {
    GstBuffer* buffer = gst_buffer_new();
    gsize offsets[GST_VIDEO_MAX_PLANES] = {};
    gint strides[GST_VIDEO_MAX_PLANES] = {};
    gsize offset = 0;
    for (int p = 0; p < 3; ++p) {
        AVBufferRef* owner = av_frame_get_plane_buffer(const_cast<AVFrame*>(picture), p);
        AVBufferRef* plane = owner ? av_buffer_ref(owner) : nullptr;
        if (!plane) {
            gst_buffer_unref(buffer);
            return nullptr;
        }
        const int rows = p == 0 ? picture->height : (picture->height + 1) / 2;
        const gsize size = static_cast<gsize>(picture->linesize[p]) * static_cast<gsize>(rows);
        gst_buffer_append_memory(buffer, gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, picture->data[p], size, 0,
                                                                size, plane, UnrefPlane));
        offsets[p] = offset;
        strides[p] = picture->linesize[p];
        offset += size;
    }
    gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_I420,
                                   static_cast<guint>(picture->width), static_cast<guint>(picture->height), 3, offsets,
                                   strides);
    return buffer;
}

bool LendPicture(GstBuffer* buffer, const GstVideoInfo& info, AVFrame* frame) {
    auto* lent = new Lent;
    if (!gst_video_frame_map(&lent->frame, &info, buffer, GST_MAP_READ)) {
        delete lent;
        return false;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = GST_VIDEO_INFO_WIDTH(&info);
    frame->height = GST_VIDEO_INFO_HEIGHT(&info);
    // Each plane its own reference over exactly its bytes, so that a filter
    // handing a picture on unchanged hands on planes WrapPicture can keep.
    for (int p = 0; p < 3; ++p) {
        auto* data = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&lent->frame, p));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&lent->frame, p);
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&lent->frame, p);
        frame->buf[p] = av_buffer_create(data, static_cast<std::size_t>(stride) * static_cast<std::size_t>(rows),
                                         ReturnPlane, lent, AV_BUFFER_FLAG_READONLY);
        if (!frame->buf[p]) {
            // The planes not made are returned here; those made, by the caller's unref.
            const int unmade = 3 - p;
            if (lent->planes.fetch_sub(unmade) == unmade) {
                gst_video_frame_unmap(&lent->frame);
                delete lent;
            }
            return false;
        }
        frame->data[p] = data;
        frame->linesize[p] = stride;
    }
    return true;
}

} // namespace media
