// What a DVD video file holds, for callers that do not deal in GStreamer: its
// length and its streams, in words a user can act on.
#pragma once

#include "platform/media/source/program_source.h"

#include <string>
#include <vector>

namespace media {

struct SourceInfo {
    bool programStream = false;  // an MPEG program stream was found in it
    bool encrypted = false;      // CSS-scrambled sectors
    bool hasVideo = false;       // an MPEG video stream
    bool hasAudio = false;           // the sound the "AC3" pin would carry (ChosenAudioPad)
    std::vector<std::string> audio;  // every audio stream's format: "AC-3", "MPEG-1 Layer II", "LPCM", "DTS"
    double seconds = 0;              // 0 when it can't be told
    std::string problem;             // why no program stream could be read, when none could
};

SourceInfo DescribeSource(const ProgramSource& source);

} // namespace media
