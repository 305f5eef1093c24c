// Where a letterboxed film's black bars are, found from pictures decoded at
// places spread over the source, without playing it through.
#pragma once

#include "platform/media/source/program_source.h"

#include <string>

namespace media {

struct BlackBars {
    Crop crop;  // the bars, rounded down to even numbers
    int width = 0;
    int height = 0;
    int pictures = 0;  // looked at
    std::string error;  // why no picture could be read
};

// Decodes a few pictures at each of places places spread evenly over the
// source (a file, or source.title of a DVD). A bar is the run of dark rows or
// columns at an edge that every picture has: a dark scene, which shows more,
// never widens a bar that a brighter picture shows narrower. Bars come in
// pairs: one edge is cut at most a little more than three times the other.
BlackBars FindBlackBars(const ProgramSource& source, int places = 24);

} // namespace media
