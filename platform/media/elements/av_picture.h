// libavcodec's and libavfilter's pictures as GStreamer buffers and back,
// without copying: planes are shared, kept alive by references on both sides.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libavutil/frame.h>
}

namespace media {

// The I420 picture's planes as read-only memories that keep its buffers
// alive, one memory a plane, their strides in a video meta; null when the
// picture has no buffers of its own.
GstBuffer* WrapPicture(const AVFrame* picture);

// Points frame at the I420 planes of buffer (mapped for reading as info
// describes it, strides from its video meta), holding the mapping until
// libav lets go of every plane. False when the buffer can't be mapped (the
// caller unrefs frame).
bool LendPicture(GstBuffer* buffer, const GstVideoInfo& info, AVFrame* frame);

} // namespace media
