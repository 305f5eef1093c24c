#include "platform/media/elements/codec_element.h"

#include "platform/media/gst/runtime.h"

#include <cstring>

namespace media {

void RegisterElementType(const ElementType& type) {
    EnsureGstInit();
    const GTypeInfo info = {static_cast<guint16>(type.classSize), nullptr, nullptr, type.classInit, nullptr,
                            type.classData, static_cast<guint16>(type.instanceSize), 0, type.instanceInit, nullptr};
    const GType registered = g_type_register_static(type.parent, type.typeName, &info, static_cast<GTypeFlags>(0));
    gst_element_register(nullptr, type.factory, GST_RANK_NONE, registered);
}

bool CopyToPacket(GstBuffer* buffer, AVPacket* packet) {
    GstMapInfo in;
    if (!gst_buffer_map(buffer, &in, GST_MAP_READ)) return false;
    const bool made = av_new_packet(packet, static_cast<int>(in.size)) == 0;
    if (made) std::memcpy(packet->data, in.data, in.size);
    gst_buffer_unmap(buffer, &in);
    return made;
}

} // namespace media
