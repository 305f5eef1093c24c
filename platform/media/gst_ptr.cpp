#include "gst_ptr.h"

#include <mutex>

GST_DEBUG_CATEGORY(media::media_debug);

namespace media {

void EnsureGstInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        GST_DEBUG_CATEGORY_INIT(media_debug, "vobcast-media", 0, "DirectShow-style graph layer");
    });
}

bool HasFactory(const char* factory) {
    EnsureGstInit();
    GstPtr<GstElementFactory> f(gst_element_factory_find(factory));
    return f != nullptr;
}

GstElement* MakeElement(const char* factory, const char* name) {
    EnsureGstInit();
    return gst_element_factory_make(factory, name);
}

} // namespace media
