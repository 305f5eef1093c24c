// Reads the start of an MPEG program stream to learn which elementary streams
// it carries (the demuxer's pads), how long it lasts and how its pictures are
// meant to be shown.
#pragma once

#include "platform/media/gst/handles.h"
#include "platform/media/source/program_source.h"

#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct ProbedStream {
    std::string padName;  // mpegpsdemux's pad, e.g. "video_e0", "audio_80"
    CapsPtr caps;
};

struct ProbeResult {
    bool ok = false;
    std::string error;  // why the stream could not be read, when !ok
    bool scrambled = false;  // CSS-encrypted: the payload can't be decoded
    std::vector<ProbedStream> streams;  // in pad-name order
    std::int64_t durationNs = -1;       // -1 when unknown
    std::int64_t firstNs = -1;          // the earliest timestamp of any stream, -1 when none was read
    int clockRestarts = 0;              // where the pack clock starts again
    // NTSC film carried as 23.976 pictures with 3:2 repeat-field flags: the
    // pictures are whole film frames, best kept at their own rate.
    bool film = false;
    // The libavfilter graph that makes the pictures progressive ("" when they
    // are), when asked for.
    std::string fieldFilters;
};

bool IsMpegVideo(const GstCaps* caps);
bool IsAc3(const GstCaps* caps);

// Blocks until the video and audio streams have been found (they may start
// seconds into the file) and about a second has been read past them, the
// stream ends or fails, or a few seconds of wall time have gone by.
// judgeFields: also decode pictures at a few places to tell interlaced video
// and film pulled down into fields (field_filters.h), where the pictures are
// coded as interlaced.
ProbeResult ProbeProgramStream(const ProgramSource& source, bool judgeFields = false);

// The GStreamer element that reads the source (floating): filesrc, or the
// title reader (title_source.h) for a title; null when it can't be made.
GstElement* MakeSourceElement(const ProgramSource& source);

// The demuxer's pad of the sound the "AC3" pin carries: the stream of DVD
// stream number audioStream (0-7) whatever its format (AC-3 0x80+n, DTS
// 0x88+n, LPCM 0xA0+n, MPEG 0xC0+n); when audioStream is -1, the first AC-3
// stream, else the first MPEG or LPCM stream (DTS only when chosen). Where no
// stream has that number (a file that numbers each format from 0), the
// audioStream-th audio stream in pad order. Empty when there is none.
// streams: in pad-name order.
std::string ChosenAudioPad(const std::vector<ProbedStream>& streams, int audioStream);

// The DVD stream id of an audio pad of mpegpsdemux ("audio_82": 0x82; AC-3
// 0x80-0x87, DTS 0x88-0x8f, LPCM 0xa0-0xa7, MPEG 0xc0-0xc7), -1 for any other pad.
int AudioStreamId(const std::string& padName);

} // namespace media
