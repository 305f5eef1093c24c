// "vobcastac3dec": AC-3 decoding by libavcodec, as a GStreamer element
// registered within this process: interleaved 32-bit float in the stream's
// own channel layout, positioned for the downmix that follows.
//
// With it and the WMA encoder beside it, a conversion does not load libav's
// GStreamer plugin, which maps all of libavformat and libavfilter (and what
// they link) into the process for two codecs that libavcodec alone provides.
#pragma once

namespace media {

inline constexpr const char* kAc3DecoderName = "vobcastac3dec";

// Registers the element when libavcodec has the decoder. Safe to call often.
void RegisterAc3Decoder();

} // namespace media
