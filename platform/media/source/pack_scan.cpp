#include "platform/media/source/pack_scan.h"

// The picture-header parser is stable in practice; GStreamer only marks it as
// an interface it may still change.
#define GST_USE_UNSTABLE_API 1
#include <gst/codecparsers/gstmpegvideoparser.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace media {
namespace {

constexpr int kSamples = 48;
constexpr std::size_t kSampleBytes = std::size_t{64} * 1024;

bool IsStartCode(const std::uint8_t* p, std::uint8_t id) { return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == id; }

// The system clock reference of the pack header at p (MPEG-2 or MPEG-1), in
// 90 kHz ticks; -1 when the header is malformed. n: bytes available.
std::int64_t PackClock(const std::uint8_t* p, std::size_t n) {
    if (n < 12) return -1;
    const std::uint64_t b4 = p[4], b5 = p[5], b6 = p[6], b7 = p[7], b8 = p[8];
    if ((b4 & 0xC0) == 0x40) {
        return static_cast<std::int64_t>(((b4 >> 3) & 0x07) << 30 | (b4 & 0x03) << 28 | b5 << 20 |
                                         ((b6 >> 3) & 0x1F) << 15 | (b6 & 0x03) << 13 | b7 << 5 | b8 >> 3);
    }
    if ((b4 & 0xF0) == 0x20)
        return static_cast<std::int64_t>(((b4 >> 1) & 0x07) << 30 | b5 << 22 | (b6 >> 1) << 15 | b7 << 7 | b8 >> 1);
    return -1;
}

std::size_t PackHeaderSize(const std::uint8_t* p, std::size_t n) {
    if (n < 14) return n;
    if ((p[4] & 0xC0) == 0x40) return 14 + (p[13] & 0x07);
    return 12;
}

bool IsMediaStream(std::uint8_t id) { return id == 0xBD || (id >= 0xC0 && id <= 0xEF); }

// Calls f(id, packet, available) for each PES packet of the packs in data:
// its stream id, its first byte and how many of its bytes data holds.
template <typename F>
void ForEachPes(const std::vector<std::uint8_t>& data, F&& f) {
    std::size_t at = 0;
    const std::size_t n = data.size();
    while (at + 6 <= n) {
        const std::uint8_t* p = data.data() + at;
        if (p[0] != 0 || p[1] != 0 || p[2] != 1) {
            ++at;
            continue;
        }
        const std::uint8_t id = p[3];
        if (id == 0xBA) {
            at += PackHeaderSize(p, n - at);
            continue;
        }
        if (id < 0xBB) {
            ++at;
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(p[4]) << 8 | p[5];
        f(id, p, std::min(n - at, 6 + length));
        at += 6 + length;
    }
}

// MPEG-2 PES headers carry '10' ahead of the scrambling control bits.
bool IsMpeg2Pes(const std::uint8_t* p, std::size_t available) { return available >= 7 && (p[6] & 0xC0) == 0x80; }

// Counts the PES packets of media streams in data and those among them that
// are scrambled.
void CountPackets(const std::vector<std::uint8_t>& data, PackScan& scan) {
    ForEachPes(data, [&](std::uint8_t id, const std::uint8_t* p, std::size_t available) {
        if (!IsMediaStream(id) || !IsMpeg2Pes(p, available)) return;
        ++scan.packetsRead;
        if (p[6] & 0x30) ++scan.scrambledPackets;
    });
}

// The pictures of the video packets in data. A start code split between two
// packets is missed; a sample holds dozens.
PictureCadence SamplePictures(const std::vector<std::uint8_t>& data) {
    PictureCadence cadence;
    ForEachPes(data, [&](std::uint8_t id, const std::uint8_t* p, std::size_t available) {
        if ((id & 0xF0) != 0xE0 || available < 9 || !IsMpeg2Pes(p, available)) return;
        const std::size_t payload = 9 + p[8];  // past the PES header's own fields
        if (payload < available) CountPictures(p + payload, available - payload, cadence);
    });
    return cadence;
}

struct ClockSample {
    std::uint64_t offset;
    std::int64_t ticks;
};

bool FirstClock(const std::vector<std::uint8_t>& data, std::uint64_t base, ClockSample& out) {
    for (std::size_t at = 0; at + 14 <= data.size(); ++at) {
        if (!IsStartCode(data.data() + at, 0xBA)) continue;
        const std::int64_t ticks = PackClock(data.data() + at, data.size() - at);
        if (ticks < 0) continue;
        out = {base + at, ticks};
        return true;
    }
    return false;
}

// Sums the clock's advance between samples. Where it goes back or leaps far
// ahead of what the bytes between two samples can hold, the span is timed by
// the file's usual byte rate instead.
void TimeRuns(const std::vector<ClockSample>& samples, std::uint64_t fileSize, PackScan& scan) {
    std::vector<double> rates;  // bytes per tick between samples whose clock advanced
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const std::int64_t ticks = samples[i].ticks - samples[i - 1].ticks;
        if (ticks > 0)
            rates.push_back(static_cast<double>(samples[i].offset - samples[i - 1].offset) / static_cast<double>(ticks));
    }
    if (rates.empty()) return;
    const auto middle = rates.begin() + static_cast<std::ptrdiff_t>(rates.size() / 2);
    std::nth_element(rates.begin(), middle, rates.end());
    const double bytesPerTick = *middle;
    if (bytesPerTick <= 0) return;
    double total = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double expected = static_cast<double>(samples[i].offset - samples[i - 1].offset) / bytesPerTick;
        const auto ticks = static_cast<double>(samples[i].ticks - samples[i - 1].ticks);
        // A stream may run at a tenth of its usual rate for a while (a still,
        // a dark scene); a clock that leaps much further has restarted.
        if (ticks >= 0 && ticks <= 10 * expected + 90000) {
            total += ticks;
        } else {
            total += expected;
            ++scan.clockRestarts;
        }
    }
    total += static_cast<double>(fileSize - samples.back().offset) / bytesPerTick;
    scan.durationNs = static_cast<std::int64_t>(total * 1e9 / 90000);
}

} // namespace

void CountPictures(const std::uint8_t* data, std::size_t size, PictureCadence& cadence) {
    GstMpegVideoPacket packet;
    guint offset = 0;
    while (offset < size && gst_mpeg_video_parse(&packet, data, size, offset)) {
        offset = packet.offset;
        if (packet.type == GST_MPEG_VIDEO_PACKET_SEQUENCE) {
            GstMpegVideoSequenceHdr header;
            if (gst_mpeg_video_packet_parse_sequence_header(&packet, &header))
                cadence.ntscSequence = header.fps_n == 30000 && header.fps_d == 1001;
        } else if (packet.type == GST_MPEG_VIDEO_PACKET_EXTENSION && packet.size > 0 &&
                   (packet.data[packet.offset] >> 4) == GST_MPEG_VIDEO_PACKET_EXT_PICTURE) {
            GstMpegVideoPictureExt ext;
            if (gst_mpeg_video_packet_parse_picture_extension(&packet, &ext)) {
                ++cadence.pictures;
                if (ext.repeat_first_field && ext.progressive_frame) ++cadence.repeated;
                if (!ext.progressive_frame) ++cadence.interlaced;
            }
        }
        if (packet.size < 0) break;  // the packet runs past the data
        offset += static_cast<guint>(packet.size);
    }
}

std::vector<std::uint8_t> VideoElementaryStream(const std::vector<std::uint8_t>& packs) {
    std::vector<std::uint8_t> es;
    ForEachPes(packs, [&](std::uint8_t id, const std::uint8_t* p, std::size_t available) {
        if (id != 0xE0 || available < 9 || !IsMpeg2Pes(p, available)) return;
        const std::size_t payload = 9 + p[8];
        if (payload < available) es.insert(es.end(), p + payload, p + available);
    });
    return es;
}

PackScan ScanPacks(SourceBytes& bytes, std::size_t headBytes) {
    PackScan scan;
    const std::uint64_t size = bytes.Size();
    scan.readable = true;

    CountPackets(bytes.ReadAt(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, headBytes))), scan);

    std::vector<ClockSample> samples;
    for (int i = 0; i <= kSamples; ++i) {
        const std::uint64_t at = i == kSamples ? (size > kSampleBytes ? size - kSampleBytes : 0) : size * i / kSamples;
        const std::vector<std::uint8_t> data = bytes.ReadAt(at, kSampleBytes);
        ClockSample sample{};
        if (FirstClock(data, at, sample) && (samples.empty() || sample.offset > samples.back().offset))
            samples.push_back(sample);
        // Too few pictures tell no cadence.
        constexpr int kMinPictures = 4;
        const PictureCadence cadence = SamplePictures(data);
        // One picture coded as interlaced is enough to look closer.
        if (cadence.interlaced > 0) ++scan.interlacedSamples;
        if (cadence.pictures < kMinPictures) continue;
        ++scan.videoSamples;
        if (cadence.Film(kMinPictures)) ++scan.filmSamples;
    }
    if (samples.size() >= 2) TimeRuns(samples, size, scan);
    return scan;
}

} // namespace media
