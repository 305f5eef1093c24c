// "vobcastmpeg4enc": MPEG-4 Part 2 (DivX-compatible) video encoding by
// libavcodec, as a GStreamer element registered within this process.
//
// The libav wrapper element in GStreamer 1.22 opens this encoder with a clock of
// 65535 ticks a second (its nanosecond time base, scaled down), so the rate
// control spreads the data rate over 65535 frames a second and every frame
// gets the coarsest quantiser whatever the rate asked for; it also turns on
// four motion vectors per macroblock, which doubles the encoding time. This
// element opens the encoder with the stream's own frame rate as its time base
// and libavcodec's defaults otherwise, on every core (slices).
#pragma once

namespace media {

// The element's factory name, once registered.
inline constexpr const char* kMpeg4EncoderName = "vobcastmpeg4enc";

// Registers the element; true when it is available. Safe to call often.
bool RegisterMpeg4Encoder();

} // namespace media
