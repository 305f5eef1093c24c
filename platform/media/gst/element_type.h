// The element types of this process (its codecs, its DVD title reader),
// registered with GStreamer by factory name so that pipelines can name them.
#pragma once

#include <gst/gst.h>

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

} // namespace media
