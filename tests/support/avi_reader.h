// AVI files read chunk by chunk over their RIFF structure, as strict readers
// (standalone players, AVIFile tools, editors) read them: no decoding, every
// header value and index entry as written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_media {

struct AviStream {
    std::string type;     // "vids" or "auds"
    std::string handler;  // fccHandler, e.g. "DX50"
    std::uint32_t scale = 0, rate = 0, length = 0, sampleSize = 0, suggestedBuffer = 0;
    std::int16_t frame[4] = {};     // rcFrame: left, top, right, bottom
    std::uint32_t compression = 0;  // video: biCompression
    int width = 0, height = 0;
    int formatTag = 0, channels = 0, sampleRate = 0;  // audio: WAVEFORMATEX
    int blockAlign = 0;
    std::uint32_t frameAspect = 0;  // video: vprp's dwFrameAspectRatio, x << 16 | y
    int chunks = 0, keyFrames = 0;  // from idx1
    std::vector<std::uint32_t> indexFlags, indexSizes;  // idx1's entries in order
    // What the data chunks themselves say, over every RIFF of the file.
    std::vector<std::string> chunkIds;      // each id seen, once
    int dataChunks = 0, firstRiffChunks = 0, emptyChunks = 0;  // empty: a held picture
    std::uint64_t dataBytes = 0, largestChunk = 0;
    int superIndexEntries = -1;             // OpenDML indx: -1 when there is none
};

struct AviFile {
    bool valid = false;
    std::string error;
    std::uint64_t fileSize = 0;
    std::uint64_t riffBytes = 0;  // every RIFF with its own header
    std::uint32_t riffSize = 0;   // the first
    int extendedRiffs = 0;        // OpenDML "AVIX"
    bool hasIndex = false;
    // avih
    std::uint32_t microSecPerFrame = 0, maxBytesPerSec = 0, flags = 0, totalFrames = 0;
    std::uint32_t streamCount = 0, suggestedBuffer = 0, width = 0, height = 0;
    bool hasDmlh = false;
    std::uint32_t dmlhFrames = 0;
    std::vector<AviStream> streams;
};

AviFile ReadAvi(const std::string& path);

// What a strict reader would stumble on in the file, one line a fault (empty
// when there is none): chunk
// ids ("00dc" for compressed video, "01wb" for sound), index flags (every
// sound entry a key frame, video key frames exactly where the pictures are
// coded alone, as libavcodec decodes them), header values (rates, lengths
// against the chunks, rcFrame, buffer sizes) and the OpenDML parts.
std::string StrictReaderFaults(const std::string& path);

} // namespace testing_media
