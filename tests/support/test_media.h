// DVD-style test media, made with GStreamer by make-test-media before the
// tests run (a CTest fixture), and read back by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_media {

struct Clip {
    const char* file;
    int width;
    int height;
    int fpsNum;
    int fpsDen;
    int frames;
    // gst-launch description of the audio branches, each ending in "mx."
    const char* audio;
    const char* pattern = "ball";  // videotestsrc pattern and its settings
};

// The clips every test can count on.
const std::vector<Clip>& Clips();
const Clip& ClipNamed(const std::string& file);

// Where the clips are (made once per build tree).
std::string MediaDir();
std::string MediaPath(const std::string& file);

// Makes one clip at path; false with a reason when GStreamer can't.
bool MakeClip(const Clip& clip, const std::string& path, std::string& error);

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

// What a player sees: the file decoded through GStreamer.
struct Decoded {
    bool ok = false;
    std::string error;
    int videoFrames = 0;
    double videoSeconds = 0;  // end of the last frame
    double audioSeconds = 0;  // end of the last sample
    int audioChannels = 0;
};

Decoded DecodeAvi(const std::string& path);

} // namespace testing_media
