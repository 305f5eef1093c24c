#include "avi_header.h"

#include <cstring>
#include <numeric>

namespace media {
namespace {

std::uint32_t Get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint16_t kWmaV1 = 0x160, kWmaV2 = 0x161;

struct Walk {
    const std::vector<AudioTotals>& audio;
    std::size_t audioSeen = 0;
    bool changed = false;
};

// The strh and strf chunks of one stream list.
void MendStream(std::uint8_t* begin, std::uint8_t* end, Walk& walk) {
    std::uint8_t* strh = nullptr;
    std::uint8_t* strf = nullptr;
    std::uint32_t strhSize = 0, strfSize = 0;
    for (std::uint8_t* at = begin; at + 8 <= end;) {
        const std::uint32_t size = Get32(at + 4);
        if (size > static_cast<std::size_t>(end - at - 8)) break;
        if (std::memcmp(at, "strh", 4) == 0) strh = at + 8, strhSize = size;
        if (std::memcmp(at, "strf", 4) == 0) strf = at + 8, strfSize = size;
        at += 8 + size + (size & 1);
    }
    if (!strh || strhSize < 48 || std::memcmp(strh, "auds", 4) != 0) return;
    const std::size_t index = walk.audioSeen++;
    if (!strf || strfSize < 16) return;
    const std::uint16_t tag = Get16(strf);
    const std::uint32_t rate = Get32(strf + 4);
    const std::uint16_t blockAlign = Get16(strf + 12);
    if ((tag != kWmaV1 && tag != kWmaV2) || rate == 0 || blockAlign == 0) return;
    std::uint32_t scale = WmaBlockSamples(rate), perSecond = rate;
    const std::uint32_t common = std::gcd(scale, perSecond);
    scale /= common;
    perSecond /= common;
    Put32(strh + 20, scale);
    Put32(strh + 24, perSecond);
    if (index < walk.audio.size() && walk.audio[index].bytes > 0)
        Put32(strh + 32, static_cast<std::uint32_t>(walk.audio[index].bytes / blockAlign));
    // Each chunk is one block, of the duration above. A sample size of a block
    // would say the same to libavformat and DirectShow, but GStreamer then
    // times the bytes by nAvgBytesPerSec (16000, where a block and a half in
    // a hundred are missing: 0.6 s late after ten minutes).
    Put32(strh + 44, 0);
    walk.changed = true;
}

void WalkList(std::uint8_t* begin, std::uint8_t* end, Walk& walk) {
    for (std::uint8_t* at = begin; at + 12 <= end;) {
        const std::uint32_t size = Get32(at + 4);
        if (size > static_cast<std::size_t>(end - at - 8)) return;
        if (std::memcmp(at, "LIST", 4) == 0) {
            if (std::memcmp(at + 8, "strl", 4) == 0) MendStream(at + 12, at + 8 + size, walk);
            else if (std::memcmp(at + 8, "hdrl", 4) == 0) WalkList(at + 12, at + 8 + size, walk);
        }
        at += 8 + size + (size & 1);
    }
}

} // namespace

unsigned WmaBlockSamples(unsigned rate) {
    if (rate <= 16000) return 512;
    if (rate <= 22050) return 1024;
    return 2048;
}

bool IsAviHeader(const std::uint8_t* data, std::size_t size) {
    return size >= 24 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "AVI ", 4) == 0 &&
           std::memcmp(data + 12, "LIST", 4) == 0 && std::memcmp(data + 20, "hdrl", 4) == 0;
}

bool MendAviHeader(std::uint8_t* header, std::size_t size, const std::vector<AudioTotals>& audio) {
    if (!IsAviHeader(header, size)) return false;
    Walk walk{audio};
    WalkList(header + 12, header + size, walk);
    return walk.changed;
}

} // namespace media
