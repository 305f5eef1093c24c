// GStreamer in this process: started once (libav's remarks routed to its
// log), elements made by factory name, and the engine's debug category.
#pragma once

#include <gst/gst.h>

namespace media {

// Initialises GStreamer once per process.
void EnsureGstInit();

// Whether a GStreamer element factory is installed.
bool HasFactory(const char* factory);

// Creates an element of a factory, or null when the factory is not installed.
GstElement* MakeElement(const char* factory, const char* name = nullptr);

// Links pad to a new fake sink in bin that takes whatever comes as fast as it
// comes, so a stream nobody wants never holds its producer up.
void DrainPad(GstBin* bin, GstPad* pad);

// The engine's debug category ("vobcast-media"), for GST_DEBUG.
GST_DEBUG_CATEGORY_EXTERN(media_debug);

} // namespace media

#undef GST_CAT_DEFAULT
#define GST_CAT_DEFAULT media::media_debug
