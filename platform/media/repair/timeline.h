// What the decoders and the audio compressor do to the streams' timing, as
// pad probes on their elements: the AC-3 decoder's downmix to stereo and its
// level guard, and the audio compressor's trim of its own start-up delay.
#pragma once

#include <gst/gst.h>

namespace media {

// Sets the stereo mix matrix of audioconvert mixer from each channel layout
// that reaches it: fronts at full level, centre and surrounds at -3 dB, LFE
// left out (the usual downmix of multi-channel DVD sound).
void MixToStereo(GstElement* mixer);

// Keeps interleaved 32-bit float stereo leaving pad 1 dB below full scale: the
// gain drops at once for a block that would clip and comes back slowly.
void GuardLevel(GstPad* pad);

// Holds the last picture through the gaps the demultiplexer announces where
// the picture stream pauses while the sound goes on (a still, a slideshow):
// videorate, which ignores gaps, is handed the same picture again at the
// gap's end and repeats it up to there at the stream's rate.
void HoldPicturesThroughGaps(GstElement* videorate);

// Drops the first samples fed to an audio encoder whose output starts that
// many samples late (WMA's overlap of one block), so its sound keeps its
// place. delayAt: the delay in samples at a sample rate.
void TrimEncoderDelay(GstElement* encoder, guint (*delayAt)(guint rate));

} // namespace media
