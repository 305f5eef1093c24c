// Owning handles for GStreamer objects.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>

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

// Creates an element of a factory, or null when the factory is not installed.
GstElement* MakeElement(const char* factory, const char* name = nullptr);

// Links pad to a new fake sink in bin that takes whatever comes as fast as it
// comes, so a stream nobody wants never holds its producer up.
void DrainPad(GstBin* bin, GstPad* pad);

// The text of an error (or warning) message, with the system's reason where the framework
// gives one: "Could not open file \"x\" for writing. (No such file or directory)".
std::string ErrorText(GstMessage* error);

// Whether a GStreamer element factory is installed.
bool HasFactory(const char* factory);

// Initialises GStreamer once per process.
void EnsureGstInit();

// The engine's debug category ("vobcast-media"), for GST_DEBUG.
GST_DEBUG_CATEGORY_EXTERN(media_debug);

} // namespace media

#undef GST_CAT_DEFAULT
#define GST_CAT_DEFAULT media::media_debug
