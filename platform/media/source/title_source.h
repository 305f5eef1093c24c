// The GStreamer source element that reads a DVD title as a player plays it
// (dvd_nav.h), for the demultiplexer: the title's sectors in play order, and
// before them the title's sound and subpicture streams, as DVD sources
// announce them ("dvd-lang-codes").
#pragma once

#include "platform/media/source/program_source.h"

#include <gst/gst.h>

namespace media {

// A new element (floating) reading source's title and angle.
GstElement* MakeTitleSource(const ProgramSource& source);

} // namespace media
