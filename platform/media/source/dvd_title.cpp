#include "platform/media/source/dvd_title.h"

#include "platform/media/gst/runtime.h"

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
struct FileCloser {
    void operator()(dvd_file_t* f) const { DVDCloseFile(f); }
};
using Reader = std::unique_ptr<dvd_reader_t, ReaderCloser>;
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;
using VobFile = std::unique_ptr<dvd_file_t, FileCloser>;

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

// The sectors of a title, in play order, as [first, last] ranges within the
// title set's VOB files.
struct Extent {
    std::uint32_t first, last;
};

class TitleBytes final : public SourceBytes {
public:
    TitleBytes(Reader dvd, VobFile file, std::vector<Extent> extents)
        : dvd_(std::move(dvd)), file_(std::move(file)), extents_(std::move(extents)) {
        for (const Extent& e : extents_) size_ += std::uint64_t{e.last - e.first + 1} * DVD_VIDEO_LB_LEN;
    }

    std::uint64_t Size() const override { return size_; }

    std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t bytes) override {
        std::vector<std::uint8_t> out;
        std::uint64_t base = 0;  // where the extent starts in the title's bytes
        for (const Extent& e : extents_) {
            const std::uint64_t length = std::uint64_t{e.last - e.first + 1} * DVD_VIDEO_LB_LEN;
            const std::uint64_t at = offset + out.size();
            if (out.size() < bytes && at >= base && at < base + length) {
                // The sectors of this extent that hold the rest of what was asked for.
                const std::uint64_t within = at - base;
                const std::uint64_t end = std::min(base + length, offset + bytes) - base;
                const std::uint64_t first = within / DVD_VIDEO_LB_LEN;
                const std::uint64_t count = (end + DVD_VIDEO_LB_LEN - 1) / DVD_VIDEO_LB_LEN - first;
                std::vector<unsigned char> blocks(count * DVD_VIDEO_LB_LEN);
                const ssize_t read = DVDReadBlocks(file_.get(), static_cast<int>(e.first + first), count, blocks.data());
                if (read <= 0) return out;
                const std::size_t skip = within % DVD_VIDEO_LB_LEN;
                const std::size_t got = static_cast<std::size_t>(read) * DVD_VIDEO_LB_LEN;
                const std::size_t take = std::min<std::size_t>(bytes - out.size(), got > skip ? got - skip : 0);
                out.insert(out.end(), blocks.begin() + static_cast<std::ptrdiff_t>(skip),
                           blocks.begin() + static_cast<std::ptrdiff_t>(skip + take));
                if (static_cast<std::uint64_t>(read) < count) return out;
            }
            base += length;
            if (out.size() >= bytes) break;
        }
        return out;
    }

private:
    Reader dvd_;
    VobFile file_;
    std::vector<Extent> extents_;
    std::uint64_t size_ = 0;
};

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

} // namespace

DvdDisc ReadDvd(const std::string& path) {
    DvdDisc disc;
    auto [dvd, vmg] = OpenWithTitles(path, disc.error);
    if (!vmg) return disc;
    disc.volumeLabel = VolumeLabel(dvd.get());
    std::vector<Ifo> sets(vmg->vts_atrt ? vmg->vts_atrt->nr_of_vtss + 1u : 1u);
    double longest = 0;
    for (int i = 0; i < vmg->tt_srpt->nr_of_srpts; ++i) {
        const title_info_t& info = vmg->tt_srpt->title[i];
        DvdTitle title;
        title.number = i + 1;
        title.chapters = info.nr_of_ptts;
        title.angles = info.nr_of_angles;
        title.titleSet = info.title_set_nr;
        if (info.title_set_nr >= 1 && info.title_set_nr < sets.size() && !sets[info.title_set_nr])
            sets[info.title_set_nr].reset(ifoOpen(dvd.get(), info.title_set_nr));
        const ifo_handle_t* vts = info.title_set_nr < sets.size() ? sets[info.title_set_nr].get() : nullptr;
        if (const pgc_t* pgc = vts ? TitleChain(vts, info) : nullptr) {
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
            // Bit 31: the track shows in this chain; its stream number for a
            // 4:3 picture in bits 24-28, for a wide one in bits 16-20.
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
        }
        if (title.seconds > longest) {
            longest = title.seconds;
            disc.mainTitle = title.number;
        }
        disc.titles.push_back(std::move(title));
    }
    return disc;
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

std::unique_ptr<SourceBytes> OpenTitleBytes(const std::string& path, int number, std::string& error) {
    auto [dvd, vmg] = OpenWithTitles(path, error);
    if (!vmg) return nullptr;
    if (number < 1 || number > vmg->tt_srpt->nr_of_srpts) {
        error = "the disc has no title " + std::to_string(number);
        return nullptr;
    }
    const title_info_t& info = vmg->tt_srpt->title[number - 1];
    Ifo vts(ifoOpen(dvd.get(), info.title_set_nr));
    const pgc_t* pgc = vts ? TitleChain(vts.get(), info) : nullptr;
    if (!pgc || !pgc->cell_playback) {
        error = "the IFO of title " + std::to_string(number) + " can't be read";
        return nullptr;
    }
    std::vector<Extent> extents;
    for (int i = 0; i < pgc->nr_of_cells; ++i) {
        const cell_playback_t& cell = pgc->cell_playback[i];
        // Of an angle block, the first angle's cell.
        if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL) continue;
        if (cell.last_sector >= cell.first_sector) extents.push_back({cell.first_sector, cell.last_sector});
    }
    VobFile file(DVDOpenFile(dvd.get(), info.title_set_nr, DVD_READ_TITLE_VOBS));
    if (!file || extents.empty()) {
        error = "the VOB files of title " + std::to_string(number) + " can't be read";
        return nullptr;
    }
    return std::make_unique<TitleBytes>(std::move(dvd), std::move(file), std::move(extents));
}

} // namespace media
