// A DVD title read as a player plays it, through libdvdnav: its navigation
// packs followed from unit to unit, so that an angle block gives one angle
// and a seamless branch one branch, cells come in play order, stills and
// waits go by, and the title ends where its program leaves it.
#pragma once

#include "platform/media/source/dvd_title.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct dvdnav_s;

namespace media {

// The bytes of a DVD sector.
constexpr std::size_t kDvdSector = 2048;

class TitleReader {
public:
    // Null with error set when the disc, the title or the angle can't be had.
    static std::unique_ptr<TitleReader> Open(const std::string& path, int title, int angle, std::string& error);
    ~TitleReader();
    TitleReader(const TitleReader&) = delete;
    TitleReader& operator=(const TitleReader&) = delete;

    const DvdTitlePlan& Plan() const { return plan_; }

    // Up to count sectors (2048 bytes each) of the title from where reading
    // stands; fewer, down to none, at its end or when the disc can't be read
    // further (Error() then says why).
    std::size_t Read(std::uint8_t* out, std::size_t count);

    // Goes on from about sector sectors into the title, as Plan().sectors
    // counts them, at the start of a unit of the chosen angle and branch.
    bool Seek(std::uint64_t sector);

    const std::string& Error() const { return error_; }
    // Reading ended on sectors that can't be read, not at the title's end.
    bool Lost() const { return lost_; }

private:
    explicit TitleReader(DvdTitlePlan plan) : plan_(std::move(plan)) {}
    enum class Step { Sector, Event, End, Failed };
    // One step of the player: a sector into block, or an event handled.
    Step Next(std::uint8_t* block);
    bool Land(std::uint64_t sector);
    // The sectors of the title's program chains before chain pgc.
    std::uint64_t ChainStart(int pgc) const;
    bool Chosen(int vobId, int cellId) const;

    DvdTitlePlan plan_;
    dvdnav_s* nav_ = nullptr;
    std::string error_;
    bool ended_ = false;
    bool lost_ = false;
    bool positioned_ = false;  // a sector has been read since the title was opened
    // The sector a seek landed on, given before the next one read.
    bool held_ = false;
    std::uint8_t heldBlock_[kDvdSector];
    int pgc_ = 0;                           // the program chain the player is in
    bool navPack_ = false;                  // the last sector read is a navigation pack
    std::set<std::pair<int, int>> played_;  // program chain and cell, so that a title that loops ends
    int readFailures_ = 0;
};

// The title the disc's program plays for "Play": from First Play through
// menus (their default buttons pressed, stills and waits skipped) and past
// intros (titles under half the longest's length, given in seconds by
// number) to the first film it reaches, within a bounded number of steps;
// 0 when it reaches none.
int PlayedTitle(const std::string& path, const std::vector<double>& seconds);

} // namespace media
