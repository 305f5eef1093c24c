// What the libavcodec elements of this process (the MPEG-2 and AC-3 decoders,
// the MPEG-4 and WMA encoders) share: their element types, registered with
// GStreamer by factory name so that pipeline descriptions can name them, and
// the hand-over of a GStreamer buffer to libavcodec as a packet.
#pragma once

#include <gst/gst.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace media {

struct ElementType {
    const char* factory;  // what descriptions call it
    const char* typeName;
    GType parent;
    guint classSize;
    GClassInitFunc classInit;
    guint instanceSize;
    GInstanceInitFunc instanceInit;
    gconstpointer classData = nullptr;  // given to classInit
};

// Registers the type and its factory; call once per process for each.
void RegisterElementType(const ElementType& type);

// Fills packet with a copy of buffer's bytes, padded as libavcodec requires
// (it reads past the end). False when the buffer cannot be read.
bool CopyToPacket(GstBuffer* buffer, AVPacket* packet);

} // namespace media
