// The DVD test media, made by make_test_media.sh before the tests run (a CTest
// fixture), and the AVI files made of them, read back as Windows players read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_media {

// Where the media made by make_test_media.sh are.
std::string MediaPath(const std::string& file);

// What an AVI file says about itself (RIFF structure, no decoding).
struct AviStream {
    std::string type;     // "vids" or "auds"
    std::string handler;  // fccHandler, e.g. "DX50"
    std::uint32_t scale = 0, rate = 0, length = 0, sampleSize = 0;
    std::uint32_t compression = 0;  // video: biCompression
    int width = 0, height = 0;
    int formatTag = 0, channels = 0, sampleRate = 0;  // audio: WAVEFORMATEX
    int blockAlign = 0;
    std::uint32_t frameAspect = 0;  // video: vprp's dwFrameAspectRatio, x << 16 | y
    int chunks = 0, keyFrames = 0;                     // from idx1
};

struct AviFile {
    bool valid = false;
    std::string error;
    std::uint64_t fileSize = 0;
    std::uint32_t riffSize = 0;
    bool hasIndex = false;
    std::uint32_t microSecPerFrame = 0, totalFrames = 0;  // avih
    std::vector<AviStream> streams;
};

AviFile ReadAvi(const std::string& path);

} // namespace testing_media
