// Mends what avimux writes into an AVI header so that every reader times the
// streams alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

// The samples one WMA block codes at a sample rate (the codec's frame length).
unsigned WmaBlockSamples(unsigned rate);

// What the multiplexer counted of each audio stream, in stream order.
struct AudioTotals {
    std::uint64_t bytes = 0;
};

// header: the RIFF header as avimux pushes it, from "RIFF" on. For a WMA
// stream avimux writes a whole number of blocks a second (23 for 48 kHz
// where there are 23.4375), which players that time audio by the header
// (libavformat, DirectShow) play 1.9 % slow. The stream header gets the
// exact block duration instead, one block a chunk, and the length in blocks.
// Returns whether anything was changed.
bool MendAviHeader(std::uint8_t* header, std::size_t size, const std::vector<AudioTotals>& audio);

// Whether data (a buffer leaving the multiplexer) is the file's main header.
bool IsAviHeader(const std::uint8_t* data, std::size_t size);

} // namespace media
