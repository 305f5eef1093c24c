// What the decoders and the audio compressor do to the streams' timing, as
// pad probes on their elements: pictures held through the demultiplexer's
// gaps, and the audio compressor's trim of its own start-up delay.
#pragma once

#include <gst/gst.h>

namespace media {

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
