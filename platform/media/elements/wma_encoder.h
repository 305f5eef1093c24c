// "vobcastwmaenc": Windows Media Audio v2 encoding by libavcodec, as a
// GStreamer element registered within this process (see audio_decoder.h for
// why it is ours). One packet per block of the encoder's frame size, each
// output timed from the input samples it codes; its caps carry what an AVI
// stream format needs (block align, the codec's extra data, and the bit rate
// the blocks really take: the one asked for, moved to the nearest at which a
// second of sound is a whole number of bytes).
#pragma once

namespace media {

inline constexpr const char* kWmaEncoderName = "vobcastwmaenc";

// Registers the element when libavcodec has the encoder. Safe to call often.
void RegisterWmaEncoder();

// The samples one WMA block codes at a sample rate (the codec's frame length).
unsigned WmaBlockSamples(unsigned rate);

} // namespace media
