// How long a DVD video file plays, for callers that do not deal in GStreamer.
#pragma once

#include <string>

namespace media {

// The program stream's length in seconds; 0 when it cannot be read or told.
double ProgramStreamSeconds(const std::string& path);

} // namespace media
