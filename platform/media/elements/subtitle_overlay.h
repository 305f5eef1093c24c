// "vobcastsubtitles": DVD subpictures drawn into the pictures. Its "sink" pad
// takes I420 pictures, its "subpicture" pad the subpicture stream as the
// demultiplexer gives it; libavcodec's DVD subtitle decoder makes each
// subpicture a bitmap with its colours, which is blended into every picture
// shown while it is due.
//
// A picture waits until the subpicture stream has reached its time, once that
// stream's position is known: its buffers, its gaps, and the horizon events
// the demultiplexer's side sends (SubpictureHorizonEvent) say how far it has
// got. The wait never outlasts its use: it ends when the queue in front of
// the pictures ("feeder") is full, since the demultiplexer then reads nothing
// more until pictures go, and after two seconds whatever the cause. The
// subpicture pad never blocks.
//
// Properties: "palette", the title's 16 colours in the form the decoder takes
// ("rrggbb" each, comma-separated); "ifo", an IFO file to read them from
// instead; "forced-only", to draw only the subpictures the disc marks forced;
// "keep-top", "keep-bottom", rows that subpictures move out of; "feeder", the
// queue in front of the pictures (a GStreamer queue).
#pragma once

#include <gst/gst.h>

#include <array>
#include <cstdint>
#include <string>

namespace media {

inline constexpr const char* kSubtitleOverlayName = "vobcastsubtitles";
inline constexpr const char* kSubpictureHorizon = "vobcast-subpicture-horizon";

// An out-of-band event for the subpicture pad: nothing of the subpicture
// stream comes before position (the demultiplexer's stream time) any more.
GstEvent* SubpictureHorizonEvent(GstClockTime position);

// Registers the element; safe to call often.
void RegisterSubtitleOverlay();

// A program chain's colour table (entries 0x00YYCrCb) as the "palette" property takes it.
std::string DvdPaletteText(const std::array<std::uint32_t, 16>& ycrcb);

} // namespace media
