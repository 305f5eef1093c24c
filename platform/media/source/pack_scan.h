// What the pack layer of an MPEG program stream tells without demultiplexing:
// whether its payload is scrambled, and how long it plays when its clock
// starts again part-way through (one VOB holding several titles).
#pragma once

#include "platform/media/source/program_source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

// How a run of MPEG-2 pictures is meant to be shown.
struct PictureCadence {
    int pictures = 0;           // picture coding extensions seen
    int repeated = 0;           // progressive pictures that repeat their first field
    int interlaced = 0;         // pictures whose two fields are from different instants, as coded
    bool ntscSequence = false;  // a sequence header said 30000/1001
    // Repeat flags on at least 40 % of the pictures, as 3:2 pulldown of film
    // sets them on every other picture; minPictures before anything counts.
    bool Film(int minPictures) const { return pictures >= minPictures && repeated * 10 >= pictures * 4; }
};

// Adds what the MPEG-2 video bytes data[0, size) show: sequence headers and
// picture coding extensions. A header cut off at the end is not counted.
void CountPictures(const std::uint8_t* data, std::size_t size, PictureCadence& cadence);

struct PackScan {
    bool readable = false;
    // PES packets of video or audio streams whose scrambling bits are set
    // (CSS-encrypted sectors read without decryption), among those read.
    int scrambledPackets = 0;
    int packetsRead = 0;
    // The playing time summed over the file's clock runs, -1 when the file
    // holds too few packs to tell. clockRestarts counts where the system
    // clock jumps back or far ahead between two samples.
    std::int64_t durationNs = -1;
    int clockRestarts = 0;
    // Of the places sampled that hold MPEG-2 pictures, how many show a film
    // cadence (repeat-first-field flags on progressive pictures, as 3:2
    // pulldown sets them) and how many do not.
    int filmSamples = 0;
    int videoSamples = 0;
    // Of the places sampled, how many hold pictures coded as interlaced (their
    // fields may be from two instants: interlaced video, or film pulled down
    // into fields).
    int interlacedSamples = 0;
};

// The bytes of the first MPEG video stream's PES packets in a stretch of
// packs, joined: a piece of its elementary stream.
std::vector<std::uint8_t> VideoElementaryStream(const std::vector<std::uint8_t>& packs);

// Reads the PES headers of the first headBytes of the source and samples the
// pack clock and the pictures' flags at a few dozen places across it; never
// reads the whole source.
PackScan ScanPacks(SourceBytes& bytes, std::size_t headBytes = 4u << 20);

} // namespace media
