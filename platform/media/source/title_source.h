// The GStreamer source element that reads a DVD title as a player plays it
// (dvd_nav.h), for the demultiplexer: the title's sectors in play order, and
// before them the title's sound and subpicture streams, as DVD sources
// announce them ("dvd-lang-codes").
#pragma once

#include "platform/media/source/dvd_title.h"
#include "platform/media/source/program_source.h"

#include <gst/gst.h>

#include <vector>

namespace media {

// A new element (floating) reading source's title and angle.
GstElement* MakeTitleSource(const ProgramSource& source);

// The event that tells the demultiplexer a source's sound and subpicture
// streams before its first data ("dvd-lang-codes"), as DVD sources send it:
// mpegpsdemux offers only the streams it meets in the first second or so
// otherwise. Languages are given where the tracks name one.
GstEvent* StreamAnnouncement(const std::vector<DvdAudio>& audio, const std::vector<DvdSubtitle>& subpictures);

} // namespace media
