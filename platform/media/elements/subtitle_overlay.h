// "vobcastsubtitles": DVD subpictures drawn into the pictures. Its "sink" pad
// takes I420 pictures, its "subpicture" pad the subpicture stream as the
// demultiplexer gives it; libavcodec's DVD subtitle decoder makes each
// subpicture a bitmap with its colours, which is blended into every picture
// shown while it is due. A picture waits until the subpicture stream has
// reached its time (buffers, or gaps that say nothing comes before), once
// that stream has started.
//
// Properties: "palette", the title's 16 colours in the form the decoder takes
// ("rrggbb" each, comma-separated); "ifo", an IFO file to read them from
// instead; "forced-only", to draw only the subpictures the disc marks forced.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace media {

inline constexpr const char* kSubtitleOverlayName = "vobcastsubtitles";

// Registers the element; safe to call often.
void RegisterSubtitleOverlay();

// A program chain's colour table (entries 0x00YYCrCb) as the "palette" property takes it.
std::string DvdPaletteText(const std::array<std::uint32_t, 16>& ycrcb);

} // namespace media
