#include "size_plan.h"

#include "vobcast/vobcast_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vobcast::plan {

double VideoKbps(double sizeMB, double seconds) {
    return (sizeMB * 1e6 - VOBCAST_SIZE_HEADER_BYTES) * 8 / 1000 / seconds - VOBCAST_SIZE_OTHER_KBPS;
}

std::string SizeTooSmall(double sizeMB, double seconds) {
    constexpr double kLeastVideoKbps = 150;
    const double videoKbps = VideoKbps(sizeMB, seconds);
    if (seconds <= 0 || videoKbps >= kLeastVideoKbps) return {};
    const double least = ((kLeastVideoKbps + VOBCAST_SIZE_OTHER_KBPS) * 1000 / 8 * seconds + VOBCAST_SIZE_HEADER_BYTES) / 1e6;
    char text[256];
    std::snprintf(text, sizeof text,
                  "%g MB is too small for its %.0f seconds: the video would get %.0f kbit/s, and needs at least %.0f; "
                  "the smallest size that works is %.0f MB",
                  sizeMB, seconds, std::max(0.0, videoKbps), kLeastVideoKbps, std::ceil(least));
    return text;
}

} // namespace vobcast::plan
