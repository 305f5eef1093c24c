// Titles read as a player plays them, on the test disc whose angle block and
// seamless branch were interleaved by hand (interleave_dvd.py): every unit of
// the chosen angle or branch once, in play order, none of the others, from
// the start or from wherever a seek lands; and the main title of discs whose
// program reaches the film through a menu, or reaches nothing.
#include "platform/media/source/dvd_nav.h"
#include "platform/media/source/stream_probe.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using testing_media::MediaPath;

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
bool IsNav(const std::uint8_t* s) { return s[38] == 0 && s[39] == 0 && s[40] == 1 && s[41] == 0xBF && s[0x2C] == 0; }

struct Unit {
    int vob;
    std::uint32_t lbn;
};

Unit UnitOf(const std::uint8_t* nav) { return {nav[1055] << 8 | nav[1056], Be32(nav + 1035)}; }

// The navigation packs of the title from where reading stands to its end.
std::vector<Unit> ReadUnits(media::TitleReader& reader) {
    std::vector<Unit> units;
    std::vector<std::uint8_t> sectors(32 * media::kDvdSector);
    for (std::size_t n; (n = reader.Read(sectors.data(), 32)) > 0;)
        for (std::size_t i = 0; i < n; ++i)
            if (IsNav(&sectors[i * media::kDvdSector])) units.push_back(UnitOf(&sectors[i * media::kDvdSector]));
    return units;
}

// Every VOBU of the title set, by VOB id: the sectors of their navigation packs.
std::map<int, std::set<std::uint32_t>> UnitsOnDisc() {
    std::ifstream vob(MediaPath("angles/VIDEO_TS/VTS_01_1.VOB"), std::ios::binary);
    std::map<int, std::set<std::uint32_t>> units;
    std::vector<std::uint8_t> s(media::kDvdSector);
    while (vob.read(reinterpret_cast<char*>(s.data()), static_cast<std::streamsize>(s.size())))
        if (IsNav(s.data())) units[UnitOf(s.data()).vob].insert(UnitOf(s.data()).lbn);
    return units;
}

// The VOBs the disc's titles play: green (1), the angles red (2) and blue
// (3), yellow (4), the branches red (5) and blue (6).
const struct Case {
    int title, angle;
    std::vector<int> vobs;
} kCases[] = {
    {1, 0, {1, 2, 4}},
    {1, 2, {1, 3, 4}},
    {2, 0, {1, 5, 4}},
    {3, 0, {1, 6, 4}},
};

std::string Name(const Case& c) { return "title " + std::to_string(c.title) + " angle " + std::to_string(c.angle); }

TEST(TitleReader, PlaysOneAngleOrOneBranchWholeInPlayOrder) {
    const auto onDisc = UnitsOnDisc();
    ASSERT_EQ(onDisc.size(), 6u);
    for (const std::string disc : {"angles", "angles.iso"}) {
        for (const Case& c : kCases) {
            std::string error;
            const auto reader = media::TitleReader::Open(MediaPath(disc), c.title, c.angle, error);
            ASSERT_TRUE(reader) << disc << " " << Name(c) << ": " << error;
            const std::vector<Unit> units = ReadUnits(*reader);
            std::vector<int> runs;
            std::map<int, std::set<std::uint32_t>> read;
            for (const Unit& u : units) {
                if (runs.empty() || runs.back() != u.vob) runs.push_back(u.vob);
                EXPECT_TRUE(read[u.vob].insert(u.lbn).second) << disc << " " << Name(c) << ": unit " << u.lbn << " twice";
            }
            EXPECT_EQ(runs, c.vobs) << disc << " " << Name(c);
            for (const int vob : c.vobs) EXPECT_EQ(read[vob], onDisc.at(vob)) << disc << " " << Name(c) << " VOB " << vob;
            EXPECT_TRUE(reader->Error().empty() && !reader->Lost()) << reader->Error();
        }
    }
}

TEST(TitleReader, SeeksLandOnUnitsOfTheChosenAngleOrBranch) {
    for (const Case& c : kCases) {
        std::string error;
        const auto reader = media::TitleReader::Open(MediaPath("angles"), c.title, c.angle, error);
        ASSERT_TRUE(reader) << error;
        const std::set<int> chosen(c.vobs.begin(), c.vobs.end());
        std::vector<std::uint8_t> sector(media::kDvdSector);
        int landed = 0;
        for (int i = 0; i < 24; ++i) {
            if (!reader->Seek(reader->Plan().sectors * static_cast<std::uint64_t>(i) / 24)) continue;
            ASSERT_EQ(reader->Read(sector.data(), 1), 1u) << Name(c) << " place " << i;
            ASSERT_TRUE(IsNav(sector.data())) << Name(c) << " place " << i;
            EXPECT_TRUE(chosen.count(UnitOf(sector.data()).vob)) << Name(c) << " place " << i << " landed in VOB "
                                                                 << UnitOf(sector.data()).vob;
            ++landed;
        }
        EXPECT_GE(landed, 20) << Name(c);
        // What the conversion is told of the title: its program chain's
        // length and the two places its clock starts again.
        media::ProgramSource source;
        source.path = MediaPath("angles");
        source.title = c.title;
        source.angle = c.angle;
        const media::ProbeResult probe = media::ProbeProgramStream(source);
        ASSERT_TRUE(probe.ok) << probe.error;
        EXPECT_NEAR(static_cast<double>(probe.durationNs) / 1e9, 7.0, 0.05) << Name(c);
        EXPECT_GE(probe.clockRestarts, 2) << Name(c);
    }
}

TEST(TitleReader, RefusesWhatTheDiscLacks) {
    const struct {
        int title, angle;
        const char* error;
    } cases[] = {
        {1, 3, "title 1 has no angle 3 (it has 2)"},
        {2, 2, "title 2 has no angle 2 (it has 1)"},
        {4, 0, "the disc has no title 4"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(media::TitleReader::Open(MediaPath("angles"), c.title, c.angle, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(DvdDiscs, TheMainTitleIsTheFilmTheDiscPlays) {
    const struct {
        const char* disc;
        int main;
        bool played;
    } cases[] = {
        // First Play, the menu's highlighted button (its second), title 3;
        // titles 1, 2 and 4 are longer.
        {"decoys", 3, true},
        // dvdauthor's First Play starts title 1.
        {"angles", 1, true},
        // The program goes round its menu for good: the longest title, of
        // two alike the one that plays its cells in the disc's order.
        {"repeats", 3, false},
    };
    for (const auto& c : cases) {
        const media::DvdDisc disc = media::ReadDvd(MediaPath(c.disc));
        ASSERT_TRUE(disc.error.empty()) << c.disc << ": " << disc.error;
        EXPECT_EQ(disc.mainTitle, c.main) << c.disc;
        EXPECT_EQ(disc.mainTitlePlayed, c.played) << c.disc;
    }
    EXPECT_EQ(media::ReadDvd(MediaPath("angles")).titles[0].angles, 2);
}

} // namespace
