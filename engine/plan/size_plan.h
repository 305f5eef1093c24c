// A conversion to a file size: what the size leaves the video, and whether it
// can be reached at all.
#pragma once

#include <string>

namespace vobcast::plan {

// The share of the time the first of two passes takes: it decodes all, but
// codes every other stretch and writes no file.
constexpr long kFirstPassPercent = 40;

// The video data rate (kbit/s) a file of sizeMB megabytes (10^6 bytes) leaves
// seconds of source, its sound, headers and index counted.
double VideoKbps(double sizeMB, double seconds);

// Why sizeMB can't be reached by seconds of source, before anything is coded
// (its video would get less than the least that codes a picture worth
// watching), naming the smallest size that works; "" when it can.
std::string SizeTooSmall(double sizeMB, double seconds);

} // namespace vobcast::plan
