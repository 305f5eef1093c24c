// Owning handles for GStreamer objects.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace media {

struct GstObjectUnref {
    void operator()(gpointer p) const { if (p) gst_object_unref(p); }
};
struct GstCapsUnref {
    void operator()(GstCaps* c) const { if (c) gst_caps_unref(c); }
};
struct GstMessageUnref {
    void operator()(GstMessage* m) const { if (m) gst_message_unref(m); }
};

template <typename T>
using GstPtr = std::unique_ptr<T, GstObjectUnref>;
using CapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;
using MessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;

} // namespace media
