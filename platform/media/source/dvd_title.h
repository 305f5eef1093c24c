// The titles of a DVD as its IFO files describe them (read with libdvdread),
// and the bytes of one title: its cells in play order.
#pragma once

#include "platform/media/source/program_source.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

struct DvdAudio {
    int stream = 0;        // DVD stream number: AC-3 substream 0x80 + stream
    std::string language;  // ISO 639-1, empty when the disc names none
    std::string format;    // "AC-3", "MPEG-1", "MPEG-2", "LPCM", "DTS", "SDDS"
    int channels = 0;
};

struct DvdSubtitle {
    int stream = 0;        // DVD subpicture stream number: substream 0x20 + stream
    std::string language;  // ISO 639-1, empty when the disc names none
};

struct DvdTitle {
    int number = 0;  // 1-based, across the disc
    double seconds = 0;
    int chapters = 0;
    int angles = 0;
    int titleSet = 0;
    std::vector<DvdAudio> audio;  // track 1 first
    std::vector<DvdSubtitle> subtitles;  // track 1 first
    std::array<std::uint32_t, 16> palette{};  // the subpictures' colours, 0x00YYCrCb
};

struct DvdDisc {
    std::string error;        // why the disc can't be read; empty when it can
    std::string volumeLabel;  // empty when the disc has none
    std::vector<DvdTitle> titles;
    int mainTitle = 0;        // the longest title, 0 when there is none
};

// path: a mount point, a VIDEO_TS folder (or the folder holding one) or an ISO
// image file.
DvdDisc ReadDvd(const std::string& path);

// The IFO file of the title set a VOB file belongs to, beside it
// (VTS_01_0.IFO for VTS_01_1.VOB, in either letter case); "" when there is none.
std::string TitleSetIfo(const std::string& vob);

// The title's bytes as one stream: the first angle's cells, in program chain
// order. Null with error set when the disc or the title can't be read.
std::unique_ptr<SourceBytes> OpenTitleBytes(const std::string& path, int title, std::string& error);

} // namespace media
