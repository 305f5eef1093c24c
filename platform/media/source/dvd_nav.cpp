#include "platform/media/source/dvd_nav.h"

#include "platform/media/gst/runtime.h"

#include <dvdnav/dvdnav.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace media {
namespace {

constexpr std::size_t kSector = kDvdSector;
static_assert(kDvdSector == DVD_VIDEO_LB_LEN);
// Events in a row without a sector before a title counts as playing nothing
// more (a program that goes round its stills).
constexpr int kEventLimit = 10000;
// Sectors a seek may read past before it reaches a unit of the chosen angle
// or branch, and the tries it makes.
constexpr int kLandingSectors = 2048;
constexpr int kLandingTries = 8;
// Unreadable stretches in a row before the rest of a title counts as lost,
// and how far past each one reading goes on.
constexpr int kReadFailures = 32;
constexpr std::uint64_t kDamageSkip = 64;

void Log(void*, dvdnav_logger_level_t level, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (level == DVDNAV_LOGGER_LEVEL_ERROR) GST_WARNING("libdvdnav: %s", text);
    else GST_DEBUG("libdvdnav: %s", text);
}

dvdnav_t* OpenNav(const std::string& path) {
    EnsureGstInit();
    static const dvdnav_logger_cb logger = {Log};
    dvdnav_t* nav = nullptr;
    if (dvdnav_open2(&nav, nullptr, &logger, path.c_str()) != DVDNAV_STATUS_OK) return nullptr;
    // Every region, and the languages a player in its first setting has.
    dvdnav_set_region_mask(nav, 0xff);
    dvdnav_menu_language_select(nav, const_cast<char*>("en"));
    dvdnav_audio_language_select(nav, const_cast<char*>("en"));
    dvdnav_spu_language_select(nav, const_cast<char*>("en"));
    return nav;
}

// A cell's sectors, as a player's position counts them.
std::uint64_t Sectors(const DvdCell& c) { return c.last >= c.first ? c.last - c.first + 1u : 0; }

// The cell a cell change event names; the event lies in a sector buffer at
// any alignment.
int CellNumber(const std::uint8_t* event) {
    dvdnav_cell_change_event_t change;
    std::memcpy(&change, event, sizeof change);
    return change.cellN;
}

} // namespace

TitleReader::~TitleReader() {
    if (nav_) dvdnav_close(nav_);
}

std::unique_ptr<TitleReader> TitleReader::Open(const std::string& path, int title, int angle, std::string& error) {
    DvdTitlePlan plan;
    if (!PlanTitle(path, title, angle, plan, error)) return nullptr;
    std::unique_ptr<TitleReader> reader(new TitleReader(std::move(plan)));
    reader->nav_ = OpenNav(path);
    if (!reader->nav_) {
        error = "no DVD could be opened there";
        return nullptr;
    }
    // Positions and seeks count over the whole program chain, not a chapter.
    dvdnav_set_PGC_positioning_flag(reader->nav_, 1);
    dvdnav_set_readahead_flag(reader->nav_, 1);
    if (dvdnav_title_play(reader->nav_, title) != DVDNAV_STATUS_OK) {
        error = "title " + std::to_string(title) + " can't be played (" + dvdnav_err_to_string(reader->nav_) + ")";
        return nullptr;
    }
    if (reader->plan_.angle > 1 && dvdnav_angle_change(reader->nav_, reader->plan_.angle) != DVDNAV_STATUS_OK) {
        error = "angle " + std::to_string(reader->plan_.angle) + " of title " + std::to_string(title) +
                " can't be played";
        return nullptr;
    }
    // Its first sector, kept for the first read: a title set whose VOB files
    // are missing or unreadable says so here.
    Step step = Step::Event;
    for (int events = 0; step == Step::Event && events < kEventLimit; ++events) step = reader->Next(reader->heldBlock_);
    if (step == Step::Failed) {
        char set[8];
        std::snprintf(set, sizeof set, "%02d", reader->plan_.title.titleSet);
        error = "the VOB files of title " + std::to_string(title) + " (VTS_" + set + "_*.VOB) can't be read";
        return nullptr;
    }
    if (step != Step::Sector) {
        error = "title " + std::to_string(title) + " plays nothing: the disc's program leaves it at once";
        return nullptr;
    }
    reader->held_ = true;
    return reader;
}

bool TitleReader::Chosen(int vobId, int cellId) const {
    return std::any_of(plan_.cells.begin(), plan_.cells.end(), [&](const DvdCell& c) {
        return c.chosen && c.vobId == vobId && c.cellId == cellId;
    });
}

TitleReader::Step TitleReader::Next(std::uint8_t* block) {
    if (ended_) return Step::End;
    std::int32_t event = 0, length = 0;
    if (dvdnav_get_next_block(nav_, block, &event, &length) != DVDNAV_STATUS_OK) {
        error_ = std::string("the disc can't be read (") + dvdnav_err_to_string(nav_) + ")";
        return Step::Failed;
    }
    switch (event) {
    case DVDNAV_BLOCK_OK:
    case DVDNAV_NAV_PACKET:  // a navigation pack, which the demultiplexer reads past
        positioned_ = true;
        navPack_ = event == DVDNAV_NAV_PACKET;
        return Step::Sector;
    case DVDNAV_STILL_FRAME:
        dvdnav_still_skip(nav_);
        return Step::Event;
    case DVDNAV_WAIT:
        dvdnav_wait_skip(nav_);
        return Step::Event;
    case DVDNAV_STOP:
        ended_ = true;
        return Step::End;
    case DVDNAV_VTS_CHANGE:
    case DVDNAV_CELL_CHANGE: {
        // The title's program may go on to a menu or another title, or back
        // to a cell it played: the title ends there.
        std::int32_t title = 0, pgcn = 0, pgn = 0;
        if (!dvdnav_is_domain_vts(nav_) || dvdnav_current_title_program(nav_, &title, &pgcn, &pgn) != DVDNAV_STATUS_OK ||
            title != plan_.title.number) {
            ended_ = true;
            return Step::End;
        }
        if (event == DVDNAV_CELL_CHANGE) {
            pgc_ = pgcn;
            if (!played_.insert({pgc_, CellNumber(block)}).second) {
                ended_ = true;
                return Step::End;
            }
        }
        return Step::Event;
    }
    default:
        return Step::Event;
    }
}

std::size_t TitleReader::Read(std::uint8_t* out, std::size_t count) {
    std::size_t got = 0;
    if (held_ && count > 0) {
        std::memcpy(out, heldBlock_, kSector);
        held_ = false;
        got = 1;
    }
    int events = 0;
    while (got < count && !ended_) {
        switch (Next(out + got * kSector)) {
        case Step::Sector:
            ++got;
            events = 0;
            readFailures_ = 0;
            break;
        case Step::Event:
            if (++events > kEventLimit) ended_ = true;
            break;
        case Step::End:
            break;
        case Step::Failed: {
            // A stretch that can't be read: go on a little past it, as a
            // player does, and give up after many in a row.
            std::uint32_t position = 0, length = 0;
            if (++readFailures_ > kReadFailures || dvdnav_get_position(nav_, &position, &length) != DVDNAV_STATUS_OK ||
                !Seek(ChainStart(pgc_) + position + kDamageSkip * static_cast<std::uint64_t>(readFailures_))) {
                ended_ = true;
                lost_ = true;
            }
            GST_WARNING("title %d: %s; reading on past it", plan_.title.number, error_.c_str());
            if (held_ && got < count) {
                std::memcpy(out + got * kSector, heldBlock_, kSector);
                held_ = false;
                ++got;
            }
            break;
        }
        }
    }
    return got;
}

bool TitleReader::Seek(std::uint64_t sector) {
    if (sector >= plan_.sectors) return false;
    std::uint64_t target = sector;
    for (int attempt = 0; attempt < kLandingTries; ++attempt) {
        if (target >= plan_.sectors) return false;
        if (Land(target)) return true;
        if (ended_) return false;
        // Landed in a unit of another branch: try past its interleaved unit.
        const dsi_t* dsi = dvdnav_get_current_nav_dsi(nav_);
        target += std::max<std::uint64_t>({dsi ? dsi->sml_pbi.ilvu_ea : 0u, dsi ? dsi->dsi_gi.vobu_ea : 0u, 16u}) + 1;
    }
    // Navigation packs that name no cell of the title: take what is there.
    return held_;
}

std::uint64_t TitleReader::ChainStart(int pgc) const {
    std::uint64_t before = 0;
    for (const DvdCell& c : plan_.cells) {
        if (c.pgc == pgc) break;
        if (c.firstAngle) before += Sectors(c);
    }
    return before;
}

bool TitleReader::Land(std::uint64_t sector) {
    held_ = false;
    ended_ = false;
    played_.clear();  // cells played before the seek may be played again
    // The program chain holding sector.
    int pgc = 0;
    std::uint64_t before = 0;
    for (const DvdCell& c : plan_.cells) {
        if (!c.firstAngle) continue;
        pgc = c.pgc;
        before += Sectors(c);
        if (sector < before) break;
    }
    // The player must stand in that chain before it can seek within it.
    if (pgc != pgc_ || !positioned_) {
        if (dvdnav_program_play(nav_, plan_.title.number, pgc, 1) != DVDNAV_STATUS_OK) return false;
        Step step = Step::Event;
        for (int events = 0; step == Step::Event && events < kEventLimit; ++events) step = Next(heldBlock_);
        if (step != Step::Sector) return false;
    }
    // Seeks land by the first angle's cells; the angle chosen is taken again
    // at the next interleaved unit.
    const bool otherAngle = plan_.angle > 1;
    if (otherAngle) dvdnav_angle_change(nav_, 1);
    const bool sought =
        dvdnav_sector_search(nav_, static_cast<std::int64_t>(sector - ChainStart(pgc)), SEEK_SET) == DVDNAV_STATUS_OK;
    if (otherAngle) dvdnav_angle_change(nav_, plan_.angle);
    if (!sought) return false;
    played_.clear();
    for (int read = 0, events = 0; read < kLandingSectors && events < kEventLimit;) {
        const Step step = Next(heldBlock_);
        if (step == Step::End || step == Step::Failed) return false;
        if (step == Step::Event) {
            ++events;
            continue;
        }
        if (navPack_) {
            const dsi_t* dsi = dvdnav_get_current_nav_dsi(nav_);
            held_ = true;
            if (dsi && Chosen(dsi->dsi_gi.vobu_vob_idn, dsi->dsi_gi.vobu_c_idn)) return true;
            // A unit of another angle: the player goes on to the chosen
            // one's at the end of the interleaved unit. Of another branch,
            // it does not.
            if (!otherAngle) return false;
        }
        ++read;
    }
    held_ = false;
    return false;
}

namespace {

// The title's bytes for the probe and the samplers: read on from where the
// last read ended, sought afresh anywhere else.
class NavBytes final : public SourceBytes {
public:
    explicit NavBytes(std::unique_ptr<TitleReader> reader) : reader_(std::move(reader)) {}
    std::uint64_t Size() const override { return reader_->Plan().sectors * kSector; }
    std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t bytes) override {
        const std::uint64_t first = offset / kSector;
        if (first != next_ && !reader_->Seek(first)) return {};
        const std::size_t skip = offset % kSector;
        const std::size_t sectors = (skip + bytes + kSector - 1) / kSector;
        std::vector<std::uint8_t> data(sectors * kSector);
        const std::size_t got = reader_->Read(data.data(), sectors);
        next_ = first + got;
        data.resize(std::min(got * kSector, skip + bytes));
        data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(skip, data.size())));
        return data;
    }

private:
    std::unique_ptr<TitleReader> reader_;
    std::uint64_t next_ = 0;
};

} // namespace

std::unique_ptr<SourceBytes> OpenTitleBytes(const std::string& path, int title, int angle, std::string& error) {
    std::unique_ptr<TitleReader> reader = TitleReader::Open(path, title, angle, error);
    if (!reader) return nullptr;
    return std::make_unique<NavBytes>(std::move(reader));
}

int PlayedTitle(const std::string& path, const std::vector<double>& seconds) {
    dvdnav_t* nav = OpenNav(path);
    if (!nav) return 0;
    dvdnav_set_PGC_positioning_flag(nav, 1);
    // A player's steps from First Play to the film: menus and intros are
    // short, and a program that reaches no film within this reaches none.
    constexpr int kSteps = 40000;
    constexpr int kPresses = 16;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    const double longest = seconds.empty() ? 0 : *std::max_element(seconds.begin(), seconds.end());
    std::vector<std::uint8_t> block(kSector);
    std::set<std::pair<int, int>> skipped;  // title and program chain of the intros passed
    int found = 0, presses = 0;
    for (int step = 0; step < kSteps && !found && std::chrono::steady_clock::now() < deadline; ++step) {
        std::int32_t event = 0, length = 0;
        if (dvdnav_get_next_block(nav, block.data(), &event, &length) != DVDNAV_STATUS_OK || event == DVDNAV_STOP) break;
        std::int32_t title = 0, pgcn = 0, pgn = 0;
        if (dvdnav_is_domain_vts(nav) && dvdnav_current_title_program(nav, &title, &pgcn, &pgn) == DVDNAV_STATUS_OK &&
            title > 0) {
            // A title much shorter than the disc's longest (a warning, a
            // studio's logo, a trailer) is an intro the program goes on from:
            // passed by its last unit, once.
            const bool film = title > static_cast<int>(seconds.size()) ||
                              seconds[static_cast<std::size_t>(title - 1)] * 2 >= longest;
            if (film) {
                found = title;
                continue;
            }
            std::uint32_t position = 0, sectors = 0;
            if (event != DVDNAV_BLOCK_OK && event != DVDNAV_NAV_PACKET) continue;  // not placed yet
            if (skipped.count({title, pgcn}) != 0) continue;                      // reading to its end
            if (!skipped.insert({title, pgcn}).second || dvdnav_get_position(nav, &position, &sectors) != DVDNAV_STATUS_OK ||
                (sectors > 1 && dvdnav_sector_search(nav, sectors - 1, SEEK_SET) != DVDNAV_STATUS_OK))
                break;
        } else if (event == DVDNAV_STILL_FRAME) {
            dvdnav_still_skip(nav);
        } else if (event == DVDNAV_WAIT) {
            dvdnav_wait_skip(nav);
        } else if (event == DVDNAV_NAV_PACKET && presses < kPresses) {
            // A menu's buttons: the one it activates by itself, else the one
            // it highlights, else its first.
            pci_t* pci = dvdnav_get_current_nav_pci(nav);
            const int buttons = pci && (pci->hli.hl_gi.hli_ss & 3) ? pci->hli.hl_gi.btn_ns & 0x3f : 0;
            if (buttons == 0) continue;
            std::int32_t button = pci->hli.hl_gi.foac_btnn & 0x3f;
            if (button < 1 || button > buttons) dvdnav_get_current_highlight(nav, &button);
            if (button < 1 || button > buttons) button = pci->hli.hl_gi.fosl_btnn & 0x3f;
            if (button < 1 || button > buttons) button = 1;
            ++presses;
            dvdnav_button_select_and_activate(nav, pci, button);
        }
    }
    dvdnav_close(nav);
    return found;
}

} // namespace media
