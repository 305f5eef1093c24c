// Whole titles from a DVD made with dvdauthor (two titles in one title set,
// title 1 across two VOB files, an English track humming at 300 Hz and a
// German one at 700 Hz), as a VIDEO_TS folder and as an ISO image: listed,
// converted one AVI a title, read back by libavformat and GStreamer.
#include "avi_reader.h"
#include "damaged_media.h"
#include "temp_folder.h"
#include "test_media.h"
#include "tool_run.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <regex>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testing_tools;
using testing_media::BandLevel;
using testing_media::CommandOutput;
using testing_media::MediaPath;
using testing_support::TempFolder;

constexpr double kFrame = 1001.0 / 30000.0;

// The German track hums at 700 Hz, the English one at 300 Hz.
std::string Language(const fs::path& avi) { return BandLevel(avi, 700) > BandLevel(avi, 300) + 6 ? "de" : "en"; }

void ExpectTitle(const fs::path& avi, double seconds, std::size_t flashes) {
    EXPECT_EQ(testing_media::StrictReaderFaults(avi), "") << avi;
    for (const auto& marks : {testing_media::MarksByLibav(avi), testing_media::MarksByGStreamer(avi)}) {
        ASSERT_TRUE(marks.ok) << avi << ": " << marks.error;
        EXPECT_NEAR(marks.videoEnd, seconds, kFrame + 0.001) << avi;
        EXPECT_EQ(marks.flashes.size(), flashes) << avi;
        EXPECT_EQ(marks.beeps.size(), flashes) << avi;
        EXPECT_LE(testing_media::MaxOffset(marks), 0.040) << avi;
        // A flash every 2.002 s from 1.001 s: the second cell follows the first
        // without a pause.
        for (std::size_t i = 0; i < marks.flashes.size(); ++i)
            EXPECT_NEAR(marks.flashes[i], 1.001 + 2.002 * static_cast<double>(i), kFrame + 0.001) << avi << " #" << i;
    }
}

TEST(DiscTitles, ListedFromTheFolderAndTheImageAlike) {
    const Result iso = RunTool("--list-titles " + Q(MediaPath("disc.iso")));
    ExpectSays(iso, 0, {"MY_FILM, 2 titles"});
    const std::regex title1("title 01  0:00:14  2 chapters  audio: 1 en \\(AC-3, 2 ch\\), 2 de \\(AC-3, 2 ch\\)  "
                            "subtitles: 1 en, 2 de  \\(main title\\)");
    const std::regex title2("title 02  0:00:05  1 chapter  audio: 1 en \\(AC-3, 2 ch\\), 2 de \\(AC-3, 2 ch\\)  "
                            "subtitles: none\n");
    EXPECT_TRUE(std::regex_search(iso.out, title1)) << iso.out;
    EXPECT_TRUE(std::regex_search(iso.out, title2)) << iso.out;

    const Result folder = RunTool("--list-titles " + Q(fs::path(MediaPath("disc")) / "VIDEO_TS"));
    ExpectSays(folder, 0, {"disc, 2 titles"});  // no label: the folder's name
    EXPECT_TRUE(std::regex_search(folder.out, title1)) << folder.out;

    TempFolder empty;
    ExpectSays(RunTool("--list-titles " + Q(empty.path())), 1, {empty.path().string() + ": "});
}

// Real discs' IFO files, made by others (../shared/real-media, where it is
// beside the checkout): each lists its titles, in printable words; a
// language that is no two letters reads "--".
TEST(DiscTitles, RealDiscsListTheirTitlesInPlainText) {
    const fs::path real = REAL_MEDIA_DIR;
    if (!fs::is_directory(real)) GTEST_SKIP() << "no " << real;
    int discs = 0;
    for (const auto& entry : fs::directory_iterator(real)) {
        if (!fs::is_directory(entry.path() / "VIDEO_TS")) continue;
        ++discs;
        const Result r = RunTool("--list-titles " + Q(entry.path() / "VIDEO_TS"));
        ExpectSays(r, 0, {" title", "(main title)"});
        EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); }))
            << r.out;
        // Their title sets' VOB files were not kept: the main title is
        // refused, naming them, and nothing is written.
        bool titleVobs = false;
        for (const auto& file : fs::directory_iterator(entry.path() / "VIDEO_TS"))
            titleVobs |= std::regex_match(file.path().filename().string(), std::regex("VTS_[0-9][0-9]_[1-9]\\.VOB"));
        if (titleVobs) continue;
        TempFolder out;
        const Result refused = RunTool("-q -o " + Q(out.path()) + " --main-title " + Q(entry.path()));
        ExpectSays(refused, 1, {"_*.VOB) can't be read"});
        // The reason is the engine's, without the DVD libraries' own remarks.
        const auto reason = refused.out.rfind("can't be read");
        EXPECT_EQ(refused.out.find("libdvd", reason), std::string::npos) << refused.out;
        EXPECT_TRUE(fs::is_empty(out.path())) << entry.path();
    }
    EXPECT_GT(discs, 0);
    if (fs::is_directory(real / "ext_dvdts_pal_hammond"))
        ExpectSays(RunTool("--list-titles " + Q(real / "ext_dvdts_pal_hammond" / "VIDEO_TS")), 0,
                   {"title 01  1:09:37  1 chapter  audio: 1 -- (AC-3, 2 ch)  subtitles: none"});
}

TEST(DiscTitles, EveryTitleOfTheImageInTheChosenLanguageOneAviEachInSync) {
    TempFolder out;
    const Result r = RunTool("-q -j 2 -o " + Q(out.path()) + " --all-titles --audio-lang DE " + Q(MediaPath("disc.iso")));
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path first = out.path() / "MY_FILM title 01.avi", second = out.path() / "MY_FILM title 02.avi";
    ASSERT_TRUE(fs::exists(first) && fs::exists(second)) << r.out;
    ExpectTitle(first, 14.0, 7);
    ExpectTitle(second, 5.0, 2);
    EXPECT_EQ(Language(first), "de");
    EXPECT_EQ(Language(second), "de");
}

// The main title from the folder with the first track, or the one named; a
// VOB file numbers its tracks in stream order, whatever their format: the
// second is the DTS track here (its hum at 700 Hz), the first the AC-3 one.
TEST(DiscTitles, TheMainTitleAndTheTrackChosenOrTheFirst) {
    TempFolder out;
    const fs::path disc = MediaPath("disc");
    const struct {
        const char* folder;
        std::string args;
        const char* avi;
        const char* language;
    } cases[] = {
        {"main", "--main-title " + Q(disc / "VIDEO_TS"), "disc title 01.avi", "en"},
        {"two", "--title 2 --audio-track 2 " + Q(disc), "disc title 02.avi", "de"},
        {"dts", "--audio-track 2 " + Q(MediaPath("ac3-dts.vob")), "ac3-dts.avi", "de"},
        {"first", Q(MediaPath("ac3-dts.vob")), "ac3-dts.avi", "en"},
    };
    for (const auto& c : cases) {
        fs::create_directory(out.path() / c.folder);
        const Result r = RunTool("-q -o " + Q(out.path() / c.folder) + " " + c.args);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Language(out.path() / c.folder / c.avi), c.language) << c.args;
    }
}

TEST(DiscTitles, WhatTheDiscLacksIsNamedWithWhatItHas) {
    TempFolder out;
    const std::string to = "-q -o " + Q(out.path()) + " ", iso = " " + Q(MediaPath("disc.iso")),
                      flash = " " + Q(MediaPath("flash.vob"));
    ExpectSays(RunTool(to + "--title 1 --audio-lang fr" + iso), 1,
               {"title 1 has no audio in \"fr\"; its tracks: 1 en (AC-3, 2 ch), 2 de (AC-3, 2 ch)"});
    ExpectSays(RunTool(to + "--title 3" + iso), 1, {"has no title 3 (it has 2)"});
    ExpectSays(RunTool(to + "--title 1 --audio-track 3" + iso), 1, {"title 1 has no audio track 3"});
    ExpectSays(RunTool(to + "--title 1" + flash), 1, {"is not a readable DVD"});
    EXPECT_EQ(RunTool(to + "--audio-lang de" + flash).status, 2);
    EXPECT_TRUE(fs::is_empty(out.path()));
}

// The colours of an AVI's pictures in runs, as libavformat decodes them: each
// picture's mean colour as G(reen), R(ed), B(lue) or Y(ellow) with the number
// of pictures in a row ("G60 R90 Y60").
std::string ColourRuns(const fs::path& avi) {
    const std::string rgb = CommandOutput("ffmpeg -nostdin -v error -i " + Q(avi) +
                                          " -vf scale=1:1,format=rgb24 -f rawvideo - 2>/dev/null");
    std::string runs, last;
    int count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const auto on = [&](std::size_t c) { return static_cast<unsigned char>(rgb[i + c]) > 100; };
        const std::string colour = on(0) && on(1) ? "Y" : on(0) ? "R" : on(1) ? "G" : on(2) ? "B" : "-";
        if (colour != last && count > 0) runs += (runs.empty() ? "" : " ") + last + std::to_string(count), count = 0;
        last = colour;
        ++count;
    }
    return count > 0 ? runs + (runs.empty() ? "" : " ") + last + std::to_string(count) : runs;
}

// The hand-made disc's angles and branches (interleave_dvd.py): green 2 s,
// then red at 500 Hz or blue at 900 Hz 3 s, then yellow 2 s. Each converts
// alone: no picture or sound of the other angle or branch, nothing twice.
TEST(DiscTitles, EachAngleAndEachBranchConvertsAlone) {
    TempFolder out;
    const struct {
        const char* folder;
        std::string args;
        const char* avi;
        const char* colours;
        int hz;
    } cases[] = {
        {"angle1", "--title 1 " + Q(MediaPath("angles")), "angles title 01.avi", "G60 R90 Y60", 500},
        {"angle2", "--title 1 --angle 2 " + Q(MediaPath("angles")), "angles title 01 angle 2.avi", "G60 B90 Y60", 900},
        {"branch1", "--title 2 " + Q(MediaPath("angles.iso")), "ANGLES title 02.avi", "G60 R90 Y60", 500},
        {"branch2", "--title 3 " + Q(MediaPath("angles.iso")), "ANGLES title 03.avi", "G60 B90 Y60", 900},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        fs::create_directory(out.path() / c.folder);
        const Result r = RunTool("-q -o " + Q(out.path() / c.folder) + " " + c.args);
        ASSERT_EQ(r.status, 0) << r.out;
        const fs::path avi = out.path() / c.folder / c.avi;
        EXPECT_EQ(testing_media::StrictReaderFaults(avi), "");
        EXPECT_EQ(ColourRuns(avi), c.colours);
        const int other = c.hz == 500 ? 900 : 500;
        // The middle cell's tone, from 2.5 to 4.5 s.
        EXPECT_GT(BandLevel(avi, c.hz, "-ss 2.5 -t 2"), BandLevel(avi, other, "-ss 2.5 -t 2") + 15);
    }
}

// The decoy disc's First Play goes through its menu's highlighted button to
// title 3 (yellow, green: 4 s), past three longer titles; the disc whose
// program never reaches a title gives the longest one that plays its cells in
// the disc's order.
TEST(DiscTitles, TheMainTitleIsTheFilmTheDiscPlays) {
    ExpectSays(RunTool("--list-titles " + Q(MediaPath("decoys"))), 0,
               {"title 01  0:00:05  2 chapters  audio: 1 en (AC-3, 1 ch)  subtitles: none\n",
                "title 03  0:00:04  2 chapters  audio: 1 en (AC-3, 1 ch)  subtitles: none  (main title)\n"});
    ExpectSays(RunTool("--list-titles " + Q(MediaPath("repeats"))), 0,
               {"title 01  0:00:07  3 chapters  audio: 1 en (AC-3, 1 ch)  subtitles: none\n",
                "title 03  0:00:07  3 chapters  audio: 1 en (AC-3, 1 ch)  subtitles: none  (main title)\n"});
    ExpectSays(RunTool("--list-titles " + Q(MediaPath("angles.iso"))), 0,
               {"title 01  0:00:07  4 chapters  2 angles  audio: 1 en (AC-3, 1 ch)  subtitles: none  (main title)\n"});
    TempFolder out;
    const Result r = RunTool("-q -o " + Q(out.path()) + " --main-title " + Q(MediaPath("decoys")) + " " +
                             Q(MediaPath("repeats")));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ColourRuns(out.path() / "decoys title 03.avi"), "Y60 G60");
    EXPECT_EQ(ColourRuns(out.path() / "repeats title 03.avi"), "G60 R90 Y60");
    ExpectSays(RunTool("-q -o " + Q(out.path()) + " --title 1 --angle 3 " + Q(MediaPath("angles"))), 1,
               {"has no angle 3 in title 1 (it has 2)"});
    ExpectSays(RunTool("-q -o " + Q(out.path()) + " --title 1 --angle 10 " + Q(MediaPath("angles"))), 2,
               {"--angle takes 1 to 9"});
}

TEST(DiscTitles, AnEncryptedDiscIsRefusedWithTheCause) {
    TempFolder out;
    const fs::path copy = out.path() / "CSS_DISC" / "VIDEO_TS";
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(fs::path(MediaPath("disc")) / "VIDEO_TS")) {
        if (entry.path().extension() == ".VOB")
            testing_media::WriteChanged(entry.path(), copy / entry.path().filename(), testing_media::Scramble);
        else
            fs::copy_file(entry.path(), copy / entry.path().filename());
    }
    ExpectSays(RunTool("-q -o " + Q(out.path()) + " --main-title " + Q(copy)), 1, {"encrypted (CSS)"});
    EXPECT_FALSE(fs::exists(out.path() / "CSS_DISC title 01.avi"));
    EXPECT_FALSE(fs::exists(out.path() / "CSS_DISC title 01.avi.part"));
}

// The mean colour of a band of every picture of path, as libavformat decodes
// it: one RGB triple a picture, in order.
std::vector<std::array<int, 3>> BandColours(const fs::path& path, int y) {
    const std::string rgb = CommandOutput("ffmpeg -nostdin -v error -i " + Q(path) + " -vf 'crop=480:36:120:" +
                                          std::to_string(y) + ",scale=1:1:flags=area' -f rawvideo -pix_fmt rgb24 -");
    std::vector<std::array<int, 3>> colours;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        colours.push_back({static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
                           static_cast<unsigned char>(rgb[i + 2])});
    return colours;
}

struct Shown {
    int y;                     // the band: English low, German high
    double from, to;           // seconds
    std::array<int, 3> colour;
};

// Checks that the bands of with differ from those of without (the same title
// without subtitles) exactly while a subtitle shows, in its colour; a frame
// at each edge is left unjudged.
void ExpectSubtitles(const fs::path& with, const fs::path& without, const std::vector<Shown>& shown) {
    for (const int y : {48, 400}) {
        const auto a = BandColours(with, y), b = BandColours(without, y);
        ASSERT_EQ(a.size(), b.size()) << with;
        ASSERT_GT(a.size(), 250u) << with;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const double t = static_cast<double>(i) * kFrame;
            const Shown* due = nullptr;
            bool edge = false;
            for (const Shown& s : shown) {
                if (s.y != y) continue;
                if (t > s.from + kFrame && t < s.to - kFrame) due = &s;
                if (std::abs(t - s.from) <= kFrame || std::abs(t - s.to) <= kFrame) edge = true;
            }
            if (edge && !due) continue;
            int change = 0;
            for (int c = 0; c < 3; ++c) change = std::max(change, std::abs(a[i][static_cast<std::size_t>(c)] - b[i][static_cast<std::size_t>(c)]));
            if (due) {
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(a[i][static_cast<std::size_t>(c)], due->colour[static_cast<std::size_t>(c)], 24)
                        << with.filename() << " band " << y << " at " << t << " s, channel " << c;
            } else {
                EXPECT_LT(change, 16) << with.filename() << " band " << y << " at " << t << " s: a subtitle where none is due";
            }
        }
    }
}

struct SubtitleCase {
    const char* folder;  // below the test's output folder
    std::string args;
    std::vector<Shown> shown;
};

// Converts each case into its folder; every run must succeed, in the disc's colours.
void ConvertEach(const fs::path& out, const std::vector<SubtitleCase>& cases) {
    for (const SubtitleCase& c : cases) {
        fs::create_directory(out / c.folder);
        const Result r = RunTool("-q -o " + Q(out / c.folder) + " " + c.args);
        ASSERT_EQ(r.status, 0) << c.args << "\n" << r.out;
        EXPECT_FALSE(Contains(r.out, "default colours")) << r.out;
    }
}

// English: a yellow bar low from 1 to 3 s, a forced white one from 5 to 7 s;
// German: a cyan bar high from 2 to 4 s (title 1's first cell). Drawn at their
// place and time in their colours, from the title's colour table (the image)
// or from the IFO file beside a title set's VOB file.
TEST(DiscTitles, SubtitlesAreDrawnByLanguageTrackOrForcedOnly) {
    TempFolder out;
    const std::string iso = Q(MediaPath("disc.iso"));
    const fs::path vob = fs::path(MediaPath("disc")) / "VIDEO_TS" / "VTS_01_1.VOB";
    const Shown yellow{400, 1.0, 3.0, {235, 235, 16}}, white{400, 5.0, 7.0, {235, 235, 235}},
        cyan{48, 2.0, 4.0, {16, 235, 235}};
    const std::vector<SubtitleCase> cases = {
        {"none", "--title 1 " + iso, {}},
        {"en", "--title 1 --subtitle-lang en " + iso, {yellow, white}},
        {"de", "--title 1 --subtitle-track 2 " + iso, {cyan}},
        {"forced", "--title 1 --forced-subtitles " + iso, {white}},
        {"file", "--subtitle-track 1 " + Q(vob), {yellow, white}},
        {"file-en", "--subtitle-lang en " + Q(vob), {yellow, white}},
        {"file-none", Q(vob), {}},
        {"cut", "--title 1 --subtitle-lang en --crop 0:64:0:0 " + iso, {}},
    };
    ConvertEach(out.path(), cases);
    if (HasFatalFailure()) return;
    const fs::path title = "MY_FILM title 01.avi";
    for (const SubtitleCase& c : cases) {
        if (std::string(c.folder).starts_with("file") || std::string(c.folder) == "cut") continue;
        SCOPED_TRACE(c.folder);
        ExpectSubtitles(out.path() / c.folder / title, out.path() / "none" / title, c.shown);
    }
    for (const char* folder : {"file", "file-en"})
        ExpectSubtitles(out.path() / folder / "VTS_01_1.avi", out.path() / "file-none" / "VTS_01_1.avi", {yellow, white});
    // With the bottom 64 rows cut, the English bar (rows 400-436) moves up into the rows that stay.
    const auto cut = BandColours(out.path() / "cut" / title, 380);
    ASSERT_GT(cut.size(), 90u);
    for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(cut[60][c], yellow.colour[c], 24) << "at 2 s, channel " << c;

    const std::string to = "-q -o " + Q(out.path()) + " ", other = " " + Q(MediaPath("lpcm-ac3-sub.vob"));
    ExpectSays(RunTool(to + "--title 1 --subtitle-lang fr " + iso), 1,
               {"title 1 has no subtitles in \"fr\"; its subtitle tracks: 1 en, 2 de"});
    ExpectSays(RunTool(to + "--subtitle-lang fr " + Q(vob)), 1,
               {"VTS_01_1.VOB has no subtitles in \"fr\"; its subtitle tracks: 1 en, 2 de"});
    ExpectSays(RunTool(to + "--subtitle-lang en" + other), 1, {"names no subtitle languages"});
    // A VOB file with no IFO beside it: drawn in the default colours, and said once.
    const Result r = RunTool(to + "--subtitle-track 1" + other);
    const std::string note = "lpcm-ac3-sub.vob: no title set IFO file beside it; its subtitles are drawn in the default colours";
    ExpectSays(r, 0, {note});
    EXPECT_EQ(r.out.find(note), r.out.rfind(note)) << r.out;
}

// A title whose subtitle tracks come late, once, or never: a picture waits
// for a subpicture only while one may still come, so every choice converts
// (each run stopped at 200 s fails as itself) and shows what is due when due.
TEST(DiscTitles, SubtitlesThatComeLateOnceOrNeverShowWhenDue) {
    TempFolder out;
    const std::string iso = Q(MediaPath("subs.iso"));
    const fs::path vob = fs::path(MediaPath("subs")) / "VIDEO_TS" / "VTS_01_1.VOB";
    const Shown yellow{400, 2.0, 4.0, {235, 235, 16}}, cyan{48, 6.0, 8.0, {16, 235, 235}};
    const std::vector<SubtitleCase> cases = {
        {"none", "--main-title " + iso, {}},
        {"de", "--main-title --subtitle-lang de " + iso, {cyan}},
        {"en", "--main-title --subtitle-lang en " + iso, {yellow}},
        {"fr", "--main-title --subtitle-track 3 " + iso, {}},
        {"forced", "--main-title --forced-subtitles " + iso, {}},
        {"file", "--subtitle-track 2 " + Q(vob), {cyan}},
        {"file-none", Q(vob), {}},
    };
    ConvertEach(out.path(), cases);
    if (HasFatalFailure()) return;
    for (const SubtitleCase& c : cases) {
        SCOPED_TRACE(c.folder);
        const bool file = std::string(c.folder).starts_with("file");
        const fs::path avi = file ? "VTS_01_1.avi" : "SUBS title 01.avi";
        ExpectSubtitles(out.path() / c.folder / avi, out.path() / (file ? "file-none" : "none") / avi, c.shown);
        const auto marks = testing_media::MarksByLibav(out.path() / c.folder / avi);
        ASSERT_TRUE(marks.ok) << marks.error;
        EXPECT_NEAR(marks.videoEnd, 12.0, kFrame + 0.001);
        EXPECT_EQ(marks.beeps.size(), 6u);
    }
}

} // namespace
