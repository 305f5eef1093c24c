#include "platform/media/gst/element_type.h"

#include "platform/media/gst/runtime.h"

namespace media {

void RegisterElementType(const ElementType& type) {
    EnsureGstInit();
    const GTypeInfo info = {static_cast<guint16>(type.classSize), nullptr, nullptr, type.classInit, nullptr,
                            type.classData, static_cast<guint16>(type.instanceSize), 0, type.instanceInit, nullptr};
    const GType registered = g_type_register_static(type.parent, type.typeName, &info, static_cast<GTypeFlags>(0));
    gst_element_register(nullptr, type.factory, GST_RANK_NONE, registered);
}

} // namespace media
