// "vobcastmpeg4enc" and "vobcastmsmpeg4enc": MPEG-4 Part 2 (DivX-compatible)
// and Microsoft MPEG-4 v3 video encoding by libavcodec, as GStreamer elements
// registered within this process.
//
// The libav wrapper element in GStreamer 1.22 opens this encoder with a clock of
// 65535 ticks a second (its nanosecond time base, scaled down), so the rate
// control spreads the data rate over 65535 frames a second and every frame
// gets the coarsest quantiser whatever the rate asked for; it also turns on
// four motion vectors per macroblock, which doubles the encoding time. This
// element opens the encoder with the stream's own frame rate as its time base
// and libavcodec's defaults otherwise, and codes whole GOPs on every core at
// once while they are short enough to wait in memory (see gop_encoders.h).
#pragma once

namespace media {

// The elements' factory names, once registered.
inline constexpr const char* kMpeg4EncoderName = "vobcastmpeg4enc";
inline constexpr const char* kMsmpeg4EncoderName = "vobcastmsmpeg4enc";

// What the encoders are set to when nobody says otherwise.
inline constexpr long kEncoderDefaultKbps = 1800;
inline constexpr long kEncoderDefaultKeyFrames = 250;  // a key frame at least every this many frames

// Registers the elements whose encoders libavcodec has. Safe to call often.
void RegisterMpeg4Encoders();

// Whether element is one of these: it takes a picture in the caller's thread
// only to hand it to a worker of its own, so a queue in front of it would
// add a thread hop a frame and nothing else.
bool CodesOnWorkers(const char* element);

} // namespace media
