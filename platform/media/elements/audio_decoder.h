// "vobcastaudiodec": DVD sound decoded by libavcodec, as a GStreamer element
// registered within this process: AC-3, MPEG-1/2 audio (layers I to III) and
// DTS, framed by their parsers, out as interleaved 32-bit float in the
// stream's own channel layout, positioned for the downmix that follows.
// (LPCM needs no codec: GStreamer's dvdlpcmdec unpacks it.)
//
// With it and the WMA encoder beside it, a conversion does not load libav's
// GStreamer plugin, which maps all of libavformat and libavfilter (and what
// they link) into the process for codecs that libavcodec alone provides.
#pragma once

namespace media {

inline constexpr const char* kAudioDecoderName = "vobcastaudiodec";

// Registers the element when libavcodec has the AC-3 decoder. Safe to call often.
void RegisterAudioDecoder();

} // namespace media
