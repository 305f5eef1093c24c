// The audio decoder's stereo: its downmix of multi-channel DVD sound and its
// level guard, as pad probes on the elements of its chain.
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

} // namespace media
