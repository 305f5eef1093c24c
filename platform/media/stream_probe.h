// Reads the start of an MPEG program stream to learn which elementary streams
// it carries (the demuxer's pads), how long it lasts and how its pictures are
// meant to be shown.
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
    bool scrambled = false;  // CSS-encrypted: the payload can't be decoded
    std::vector<ProbedStream> streams;  // in pad-name order
    std::int64_t durationNs = -1;       // -1 when unknown
    // NTSC film carried as 23.976 pictures with 3:2 repeat-field flags: the
    // pictures are whole film frames, best kept at their own rate.
    bool film = false;
};

bool IsMpegVideo(const GstCaps* caps);
bool IsAc3(const GstCaps* caps);

// Blocks until the video and AC-3 streams have been found (they may start
// seconds into the file) and about a second has been read past them, the
// stream ends or fails, or a few seconds of wall time have gone by.
ProbeResult ProbeProgramStream(const std::string& path);

} // namespace media
