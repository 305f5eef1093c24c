// Reads the start of an MPEG program stream to learn which elementary streams
// it carries (the demuxer's pads) and how long it lasts.
#pragma once

#include "gst_ptr.h"

#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct ProbedStream {
    std::string padName;  // mpegpsdemux's pad, e.g. "video_e0", "audio_80"
    CapsPtr caps;
};

struct ProbeResult {
    bool ok = false;
    std::string error;  // why the stream could not be read, when !ok
    std::vector<ProbedStream> streams;  // in pad-name order
    std::int64_t durationNs = -1;       // -1 when unknown
};

// Blocks until about a second of the stream has been demultiplexed, the stream
// ends or fails, or a few seconds of wall time have gone by.
ProbeResult ProbeProgramStream(const std::string& path);

} // namespace media
