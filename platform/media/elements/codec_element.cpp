#include "platform/media/elements/codec_element.h"

#include <cstring>

namespace media {

bool CopyToPacket(GstBuffer* buffer, AVPacket* packet) {
    GstMapInfo in;
    if (!gst_buffer_map(buffer, &in, GST_MAP_READ)) return false;
    const bool made = av_new_packet(packet, static_cast<int>(in.size)) == 0;
    if (made) std::memcpy(packet->data, in.data, in.size);
    gst_buffer_unmap(buffer, &in);
    return made;
}

} // namespace media
