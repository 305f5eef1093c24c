// "vobcastmpeg2dec": MPEG-1/2 video decoding by libavcodec, as a GStreamer
// element registered within this process.
//
// The libav wrapper element decodes into buffers it keeps mapped for writing
// while libavcodec holds them as reference pictures; GStreamer's decoder base
// class then copies every I- and P-picture into new memory before passing it
// on. This element hands libavcodec's own pictures on by reference instead,
// read-only, with their strides in a video meta; only when the element
// downstream cannot read such a meta does it copy.
#pragma once

namespace media {

inline constexpr const char* kMpeg2DecoderName = "vobcastmpeg2dec";

// Registers the element when libavcodec has the decoder. Safe to call often.
void RegisterMpeg2Decoder();

} // namespace media
