// Element types of this process's own (not a plugin's), registered with
// GStreamer by factory name so that pipeline descriptions can name them.
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
};

// Registers the type and its factory; call once per process.
void RegisterElementType(const ElementType& type);

} // namespace media
