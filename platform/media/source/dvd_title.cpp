#include "platform/media/source/dvd_title.h"

#include "platform/media/gst/runtime.h"
#include "platform/media/source/dvd_nav.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace media {
namespace {

// libdvdread's notes ("encrypted DVD support unavailable") go to the debug
// log, not to the user's terminal.
void Log(void*, dvd_logger_level_t level, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (level == DVD_LOGGER_LEVEL_ERROR) GST_WARNING("libdvdread: %s", text);
    else GST_DEBUG("libdvdread: %s", text);
}

struct ReaderCloser {
    void operator()(dvd_reader_t* dvd) const { DVDClose(dvd); }
};
struct IfoCloser {
    void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using Reader = std::unique_ptr<dvd_reader_t, ReaderCloser>;
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;

Reader Open(const std::string& path) {
    EnsureGstInit();
    static const dvd_logger_cb logger = {Log};
    return Reader(DVDOpen2(nullptr, &logger, path.c_str()));
}

double Seconds(const dvd_time_t& t) {
    auto bcd = [](std::uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); };
    const double rate = (t.frame_u >> 6) == 1 ? 25.0 : 30000.0 / 1001.0;
    return bcd(t.hour) * 3600.0 + bcd(t.minute) * 60.0 + bcd(t.second) + bcd(t.frame_u & 0x3F) / rate;
}

// An IFO's language code: two ISO 639-1 letters in a 16-bit word; "" for
// anything else (a real disc names its sound 0xFF 0xFF).
std::string LanguageCode(std::uint16_t code) {
    const auto letter = [](int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const int first = code >> 8, second = code & 0xFF;
    if (!letter(first) || !letter(second)) return {};
    return {static_cast<char>(std::tolower(first)), static_cast<char>(std::tolower(second))};
}

const char* AudioFormat(unsigned format) {
    switch (format) {
    case 0: return "AC-3";
    case 2: return "MPEG-1";
    case 3: return "MPEG-2";
    case 4: return "LPCM";
    case 5: return "SDDS";
    case 6: return "DTS";
    default: return "unknown";
    }
}

// The program chain that plays title (a VMG title number) within its title
// set's IFO, null when the IFO does not hold it.
const pgc_t* TitleChain(const ifo_handle_t* vts, const title_info_t& info) {
    if (!vts->vts_ptt_srpt || !vts->vts_pgcit || info.vts_ttn < 1 || info.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts)
        return nullptr;
    const ttu_t& ttu = vts->vts_ptt_srpt->title[info.vts_ttn - 1];
    if (ttu.nr_of_ptts < 1) return nullptr;
    const int pgcn = ttu.ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp) return nullptr;
    return vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
}

std::string VolumeLabel(dvd_reader_t* dvd) {
    char label[33] = {};
    if (DVDUDFVolumeInfo(dvd, label, sizeof label, nullptr, 0) != 0 || !label[0])
        DVDISOVolumeInfo(dvd, label, sizeof label, nullptr, 0);
    std::string text(label);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The disc at path with its title table (VIDEO_TS.IFO); dvd or vmg null with
// error set when either can't be read.
struct OpenDisc {
    Reader dvd;
    Ifo vmg;
};

OpenDisc OpenWithTitles(const std::string& path, std::string& error) {
    OpenDisc disc{Open(path), nullptr};
    if (!disc.dvd) {
        error = "no DVD could be opened there";
        return disc;
    }
    disc.vmg.reset(ifoOpen(disc.dvd.get(), 0));
    if (!disc.vmg || !disc.vmg->tt_srpt) {
        disc.vmg.reset();
        error = "its VIDEO_TS.IFO can't be read";
    }
    return disc;
}

// Title number (1-based) as its title set's IFO describes it; vts null when
// that IFO can't be read.
DvdTitle DescribeTitle(const ifo_handle_t& vmg, const ifo_handle_t* vts, int number) {
    const title_info_t& info = vmg.tt_srpt->title[number - 1];
    DvdTitle title;
    title.number = number;
    title.chapters = info.nr_of_ptts;
    title.angles = info.nr_of_angles;
    title.titleSet = info.title_set_nr;
    const pgc_t* pgc = vts ? TitleChain(vts, info) : nullptr;
    if (!pgc) return title;
    title.seconds = Seconds(pgc->playback_time);
    for (std::size_t i = 0; i < title.palette.size(); ++i) title.palette[i] = pgc->palette[i];
    const vtsi_mat_t* mat = vts->vtsi_mat;
    for (int track = 0; mat && track < mat->nr_of_vts_audio_streams && track < 8; ++track) {
        // Bit 15: the track plays in this chain; bits 8-12: its stream number.
        if (!(pgc->audio_control[track] & 0x8000)) continue;
        const audio_attr_t& attr = mat->vts_audio_attr[track];
        DvdAudio audio;
        audio.stream = (pgc->audio_control[track] >> 8) & 0x1F;
        if (attr.lang_type == 1 && attr.lang_code >= 0x2000) audio.language = LanguageCode(attr.lang_code);
        audio.format = AudioFormat(attr.audio_format);
        audio.channels = attr.channels + 1;
        title.audio.push_back(audio);
    }
    // Bit 31: the track shows in this chain; its stream number for a 4:3
    // picture in bits 24-28, for a wide one in bits 16-20.
    const bool wide = mat && mat->vts_video_attr.display_aspect_ratio == 3;
    for (int track = 0; mat && track < mat->nr_of_vts_subp_streams && track < 32; ++track) {
        const std::uint32_t control = pgc->subp_control[track];
        if (!(control & 0x80000000u)) continue;
        const subp_attr_t& attr = mat->vts_subp_attr[track];
        DvdSubtitle subtitle;
        subtitle.stream = static_cast<int>((control >> (wide ? 16 : 24)) & 0x1F);
        if (attr.type == 1 && attr.lang_code >= 0x2000) subtitle.language = LanguageCode(attr.lang_code);
        title.subtitles.push_back(subtitle);
    }
    return title;
}

// The program chains a title plays, in the order of its chapters.
std::vector<int> TitleChains(const ifo_handle_t& vts, const title_info_t& info) {
    std::vector<int> chains;
    if (!vts.vts_ptt_srpt || !vts.vts_pgcit || info.vts_ttn < 1 || info.vts_ttn > vts.vts_ptt_srpt->nr_of_srpts)
        return chains;
    const ttu_t& ttu = vts.vts_ptt_srpt->title[info.vts_ttn - 1];
    for (int i = 0; i < ttu.nr_of_ptts; ++i) {
        const int pgcn = ttu.ptt[i].pgcn;
        if (pgcn >= 1 && pgcn <= vts.vts_pgcit->nr_of_pgci_srp &&
            std::find(chains.begin(), chains.end(), pgcn) == chains.end())
            chains.push_back(pgcn);
    }
    return chains;
}

// The cells of a title's program chains, every angle's, with the ones of
// angle marked chosen.
std::vector<DvdCell> TitleCells(const ifo_handle_t& vts, const title_info_t& info, int angle) {
    std::vector<DvdCell> cells;
    for (const int pgcn : TitleChains(vts, info)) {
        const pgc_t* pgc = vts.vts_pgcit->pgci_srp[pgcn - 1].pgc;
        if (!pgc || !pgc->cell_playback) continue;
        int inBlock = 0;  // the cell's angle, within an angle block
        for (int i = 0; i < pgc->nr_of_cells; ++i) {
            const cell_playback_t& playback = pgc->cell_playback[i];
            const bool block = playback.block_type == BLOCK_TYPE_ANGLE_BLOCK;
            inBlock = !block || playback.block_mode == BLOCK_MODE_FIRST_CELL ? 1 : inBlock + 1;
            DvdCell cell;
            cell.pgc = pgcn;
            cell.number = i + 1;
            cell.first = playback.first_sector;
            cell.last = playback.last_sector;
            if (pgc->cell_position) {
                cell.vobId = pgc->cell_position[i].vob_id_nr;
                cell.cellId = pgc->cell_position[i].cell_nr;
            }
            cell.firstAngle = inBlock == 1;
            cell.chosen = !block || inBlock == angle;
            cell.clockRestarts = playback.stc_discontinuity != 0;
            cells.push_back(cell);
        }
    }
    return cells;
}

// A title's cells (title set, first and last sector each) as a set, and
// whether it plays them in the order they lie on the disc.
struct CellSet {
    std::vector<std::uint64_t> sorted;
    bool inOrder = true;
};

// Whether title repeats another's cells, as protection schemes copy a film
// under dozens of numbers with its cells shuffled: another title plays the
// same cells, in the disc's order where this one does not, or alike and
// listed first.
bool RepeatsCells(const std::vector<CellSet>& sets, std::size_t title) {
    const CellSet& mine = sets[title];
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (i == title || sets[i].sorted.empty() || sets[i].sorted != mine.sorted) continue;
        if (sets[i].inOrder != mine.inOrder ? sets[i].inOrder : i < title) return true;
    }
    return false;
}

} // namespace

DvdDisc ReadDvd(const std::string& path) {
    DvdDisc disc;
    auto [dvd, vmg] = OpenWithTitles(path, disc.error);
    if (!vmg) return disc;
    disc.volumeLabel = VolumeLabel(dvd.get());
    std::vector<Ifo> sets(vmg->vts_atrt ? vmg->vts_atrt->nr_of_vtss + 1u : 1u);
    std::vector<CellSet> cellsOf;
    for (int i = 0; i < vmg->tt_srpt->nr_of_srpts; ++i) {
        const title_info_t& info = vmg->tt_srpt->title[i];
        if (info.title_set_nr >= 1 && info.title_set_nr < sets.size() && !sets[info.title_set_nr])
            sets[info.title_set_nr].reset(ifoOpen(dvd.get(), info.title_set_nr));
        const ifo_handle_t* vts = info.title_set_nr < sets.size() ? sets[info.title_set_nr].get() : nullptr;
        disc.titles.push_back(DescribeTitle(*vmg, vts, i + 1));
        CellSet& set = cellsOf.emplace_back();
        if (vts)
            for (const DvdCell& cell : TitleCells(*vts, info, 1))
                set.sorted.push_back(std::uint64_t{info.title_set_nr} << 48 | std::uint64_t{cell.first} << 24 | cell.last);
        set.inOrder = std::is_sorted(set.sorted.begin(), set.sorted.end());
        std::sort(set.sorted.begin(), set.sorted.end());
    }
    std::vector<double> seconds;
    for (const DvdTitle& title : disc.titles) seconds.push_back(title.seconds);
    disc.mainTitle = PlayedTitle(path, seconds);
    disc.mainTitlePlayed = disc.mainTitle >= 1 && disc.mainTitle <= static_cast<int>(disc.titles.size());
    if (!disc.mainTitlePlayed) {
        disc.mainTitle = 0;
        double longest = 0;
        for (std::size_t i = 0; i < disc.titles.size(); ++i) {
            if (disc.titles[i].seconds <= longest || RepeatsCells(cellsOf, i)) continue;
            longest = disc.titles[i].seconds;
            disc.mainTitle = disc.titles[i].number;
        }
    }
    return disc;
}

bool PlanTitle(const std::string& path, int number, int angle, DvdTitlePlan& plan, std::string& error) {
    auto [dvd, vmg] = OpenWithTitles(path, error);
    if (!vmg) return false;
    if (number < 1 || number > vmg->tt_srpt->nr_of_srpts) {
        error = "the disc has no title " + std::to_string(number);
        return false;
    }
    const title_info_t& info = vmg->tt_srpt->title[number - 1];
    const Ifo vts(ifoOpen(dvd.get(), info.title_set_nr));
    if (!vts || !TitleChain(vts.get(), info)) {
        error = "the IFO of title " + std::to_string(number) + " can't be read";
        return false;
    }
    plan = DvdTitlePlan{};
    plan.title = DescribeTitle(*vmg, vts.get(), number);
    plan.angle = angle < 1 ? 1 : angle;
    if (plan.angle > std::max(plan.title.angles, 1)) {
        error = "title " + std::to_string(number) + " has no angle " + std::to_string(plan.angle) + " (it has " +
                std::to_string(std::max(plan.title.angles, 1)) + ")";
        return false;
    }
    plan.cells = TitleCells(*vts, info, plan.angle);
    bool first = true;
    for (const DvdCell& cell : plan.cells) {
        if (cell.firstAngle && cell.last >= cell.first) plan.sectors += cell.last - cell.first + 1u;
        if (!cell.chosen) continue;
        if (!first && cell.clockRestarts) ++plan.clockRestarts;
        first = false;
    }
    if (plan.sectors == 0) {
        error = "title " + std::to_string(number) + " has no video";
        return false;
    }
    return true;
}

std::string TitleSetIfo(const std::string& vob) {
    namespace fs = std::filesystem;
    const auto upper = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
        return text;
    };
    const fs::path path(vob);
    const std::string name = upper(path.filename().string());
    if (name.size() != 12 || name.compare(0, 4, "VTS_") != 0 || name.compare(8, 4, ".VOB") != 0) return {};
    const std::string ifo = name.substr(0, 7) + "0.IFO";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path.parent_path().empty() ? fs::path(".") : path.parent_path(), ec))
        if (upper(entry.path().filename().string()) == ifo) return entry.path().string();
    return {};
}

} // namespace media
