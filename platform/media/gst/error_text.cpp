#include "platform/media/gst/error_text.h"

#include <cstring>

namespace media {

std::string ErrorText(GstMessage* msg) {
    GError* err = nullptr;
    gchar* debug = nullptr;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_WARNING) gst_message_parse_warning(msg, &err, &debug);
    else gst_message_parse_error(msg, &err, &debug);
    std::string text = err && err->message ? err->message : "Unknown streaming error.";
    // Elements put the system's reason for a resource error in its debug
    // string, after the place in their source: "...gstfilesink.c(..):
    // ...:\nFile too large", or "... system error: No such file or directory".
    // Other errors' debug strings are for developers.
    if (err && err->domain == GST_RESOURCE_ERROR && debug) {
        std::string detail = debug;
        if (const auto at = detail.find("system error: "); at != std::string::npos)
            detail = detail.substr(at + std::strlen("system error: "));
        else if (const auto nl = detail.rfind('\n'); nl != std::string::npos)
            detail = detail.substr(nl + 1);
        else
            detail.clear();
        if (!detail.empty() && text.find(detail) == std::string::npos) text += " (" + detail + ")";
    }
    g_clear_error(&err);
    g_free(debug);
    return text;
}

} // namespace media
