// The Video for Windows compression manager calls the engine uses:
// ICCompressorChoose, ICGetInfo and ICCompressorChooseFree.
//
// The compressors are the video compressors of the media catalogue (the
// installed GStreamer encoders that AVI can carry). With a QApplication the
// chooser is a modal Qt dialog; a caller without one (a command-line tool, a
// test) installs a chooser hook that answers instead.
#pragma once

#include "platform/media/filters/factories.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vfw {

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

constexpr std::uint32_t ICTYPE_VIDEO = MakeFourCC('v', 'i', 'd', 'c');
constexpr std::uint32_t ICMF_CHOOSE_KEYFRAME = 0x0001;
constexpr std::uint32_t ICMF_CHOOSE_DATARATE = 0x0002;
constexpr std::uint32_t ICMF_COMPVARS_VALID = 0x0001;

struct Compressor;               // an open compressor
using Hic = Compressor*;

// The chooser's state. lKey is the key-frame interval in frames; lDataRate the
// data rate in kbit/s (where Video for Windows counted KB/s). 0 means the
// compressor's default.
struct CompVars {
    std::int32_t cbSize;
    std::uint32_t dwFlags;
    Hic hic;
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::int32_t lKey;
    std::int32_t lDataRate;
    std::int32_t lQ;
};

struct IcInfo {
    std::uint32_t dwSize;
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t dwFlags;
    std::uint32_t dwVersion;
    std::uint32_t dwVersionICM;
    char16_t szName[16];
    char16_t szDescription[128];
    char16_t szDriver[128];
};
static_assert(sizeof(IcInfo) == 568);

// Shows the chooser. TRUE (true) when the user confirmed a choice: cv->hic is
// then the open compressor, or null for the "Full Frames (Uncompressed)" entry.
// Every installed compressor is offered, whatever the frames it would get, so
// the format and data arguments of the Windows call are left out.
bool ICCompressorChoose(std::uintptr_t owner, std::uint32_t flags, CompVars* cv, const char* title);
// Copies what is known of hic into info (at most cb bytes); returns the bytes
// copied, 0 for no compressor.
std::uint32_t ICGetInfo(Hic hic, IcInfo* info, std::uint32_t cb);
// Closes the compressor the chooser opened.
void ICCompressorChooseFree(CompVars* cv);

struct CompressorListing {
    std::string description;  // UTF-8
    std::string fourcc;
};

// The installed compressors, in the order the chooser lists them.
std::vector<CompressorListing> InstalledCompressors();

constexpr long kDefaultKeyFrames = media::kDefaultKeyFrames;
constexpr long kDefaultDataRateKbps = media::kDefaultDataRateKbps;

struct ChooserRequest {
    std::uintptr_t owner = 0;
    std::vector<CompressorListing> compressors;
    bool keyFrameControl = false;
    bool dataRateControl = false;
};

struct ChooserAnswer {
    bool accepted = false;
    int index = 0;  // into compressors; -1 for uncompressed frames
    long keyFrames = kDefaultKeyFrames;
    long dataRateKbps = kDefaultDataRateKbps;
};

using ChooserHook = std::function<ChooserAnswer(const ChooserRequest&)>;

// Answers every later ICCompressorChoose instead of the dialog; empty restores it.
void SetChooserHook(ChooserHook hook);

// The answer of a chooser without a dialog and without a hook: the first
// compressor with its defaults.
ChooserAnswer DefaultAnswer(const ChooserRequest& request);

} // namespace vfw
