// The titles of a DVD as its IFO files describe them (read with libdvdread),
// and the cells one title plays for one angle.
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
    // The title the disc plays for "Play" (its First Play program followed
    // through the menus' default buttons), else the longest title that does
    // not repeat another's cells; 0 when there is none.
    int mainTitle = 0;
    bool mainTitlePlayed = false;  // found by following the disc's program
};

// A cell as the title plays it: its sectors within the title set's VOB
// files, and the ids its navigation packs carry.
struct DvdCell {
    int pgc = 0;  // program chain number within the title set
    int number = 0;  // 1-based, within the program chain
    std::uint32_t first = 0, last = 0;
    int vobId = 0, cellId = 0;
    bool firstAngle = true;  // counts in a player's position: not a later angle of an angle block
    bool chosen = true;      // played for the angle asked for
    bool clockRestarts = false;  // the clock starts again at the cell (made apart from the one before)
};

struct DvdTitlePlan {
    DvdTitle title;
    int angle = 1;                // 1-based, within title.angles
    std::vector<DvdCell> cells;   // in play order, every angle's cells of an angle block
    std::uint64_t sectors = 0;    // of the first angle's cells, as a player counts its position
    int clockRestarts = 0;        // cells played after the first whose clock starts again
};

// The cells title number (1-based) plays for angle (1-based; 0 the first);
// false with error set when the disc, the title or the angle isn't there.
bool PlanTitle(const std::string& path, int number, int angle, DvdTitlePlan& plan, std::string& error);

// path: a mount point, a VIDEO_TS folder (or the folder holding one) or an ISO
// image file.
DvdDisc ReadDvd(const std::string& path);

// The IFO file of the title set a VOB file belongs to, beside it
// (VTS_01_0.IFO for VTS_01_1.VOB, in either letter case); "" when there is none.
std::string TitleSetIfo(const std::string& vob);

// The title's bytes as a player reads them (dvd_nav.h). Null with error set
// when the disc or the title can't be read.
std::unique_ptr<SourceBytes> OpenTitleBytes(const std::string& path, int title, int angle, std::string& error);

} // namespace media
