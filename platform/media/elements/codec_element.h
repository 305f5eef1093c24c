// What the libavcodec elements of this process (the MPEG-2 and AC-3 decoders,
// the MPEG-4 and WMA encoders) share: their element types' registration
// (element_type.h), and the hand-over of a GStreamer buffer to libavcodec as
// a packet.
#pragma once

#include "platform/media/gst/element_type.h"

#include <gst/gst.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace media {

// Fills packet with a copy of buffer's bytes, padded as libavcodec requires
// (it reads past the end). False when the buffer cannot be read.
bool CopyToPacket(GstBuffer* buffer, AVPacket* packet);

} // namespace media
