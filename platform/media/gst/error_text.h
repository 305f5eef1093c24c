// What a GStreamer error or warning message says, in words for the user.
#pragma once

#include <gst/gst.h>

#include <string>

namespace media {

// The message's text; for an error about a resource (a file, a device), with
// the system's reason where the element gave one: "Could not open file \"x\"
// for writing. (No such file or directory)".
std::string ErrorText(GstMessage* error);

} // namespace media
