// What host programs make of a title before converting it, on titles as
// VobcastReadDisc gives them: the tracks a wish picks or the problem that
// names what there is, the words for tracks and titles, the AVI's name.
#include "temp_folder.h"
#include "title_choice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using namespace vobcast::plan;
using testing_support::TempFolder;

VobcastAudioTrack Audio(int stream, const char* language, const char* format, int channels) {
    VobcastAudioTrack a{};
    a.stream = stream;
    std::strncpy(a.language, language, sizeof a.language - 1);
    std::strncpy(a.format, format, sizeof a.format - 1);
    a.channels = channels;
    return a;
}

// Title 4: English AC-3, German MPEG-1 then German AC-3, French DTS, a track
// without a language; English and German subtitles, streams numbered apart
// from their tracks as discs number them.
VobcastTitle Film() {
    VobcastTitle t{};
    t.number = 4;
    for (const VobcastAudioTrack& a : {Audio(0, "en", "AC-3", 6), Audio(3, "de", "MPEG-1", 2), Audio(1, "de", "AC-3", 2),
                                       Audio(2, "fr", "DTS", 6), Audio(5, "", "LPCM", 2)})
        t.audio[t.audio_count++] = a;
    t.subtitles[0].stream = 0;
    std::strcpy(t.subtitles[0].language, "en");
    t.subtitles[1].stream = 5;
    std::strcpy(t.subtitles[1].language, "de");
    t.subtitle_count = 2;
    return t;
}

constexpr const char* kTracks =
    "1 en (AC-3, 6 ch), 2 de (MPEG-1, 2 ch), 3 de (AC-3, 2 ch), 4 fr (DTS, 6 ch), 5 -- (LPCM, 2 ch)";

TEST(TitleChoice, TheWishPicksItsSoundOrNamesTheTracksThereAre) {
    const struct {
        TrackWish wish;
        int stream;
        std::string problem;
    } cases[] = {
        {{}, -1, ""},                       // the engine's own choice
        {{.audioLanguage = "de"}, 1, ""},                    // a language's AC-3 track before its MPEG one
        {{.audioLanguage = "fr"}, 2, ""},                    // else its track of any format
        {{.audioTrack = 2}, 3, ""},                   // a track by number, whatever its format
        {{.audioTrack = 5}, 5, ""},
        {{.audioLanguage = "it"}, -1, std::string("title 4 has no audio in \"it\"; its tracks: ") + kTracks},
        {{.audioTrack = 6}, -1, std::string("title 4 has no audio track 6; its tracks: ") + kTracks},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_EQ(PickAudio(Film(), c.wish, problem), c.stream) << c.wish.audioLanguage << c.wish.audioTrack;
        EXPECT_EQ(problem, c.problem);
    }
    VobcastTitle silent{};
    silent.number = 9;
    std::string problem;
    EXPECT_EQ(PickAudio(silent, {.audioLanguage = "en"}, problem), -1);
    EXPECT_EQ(problem, "title 9 has no audio in \"en\"; its tracks: no audio");
}

TEST(TitleChoice, TheWishPicksItsSubtitlesOrNamesTheTracksThereAre) {
    const struct {
        TrackWish wish;
        int audioStream;
        int stream;
        std::string problem;
    } cases[] = {
        {{}, -1, -1, ""},
        {{.subtitleLanguage = "de"}, -1, 5, ""},
        {{.subtitleTrack = 1}, -1, 0, ""},
        // Forced only, no track named: the track in the sound's language.
        {{.forcedSubtitles = true}, 1, 5, ""},
        {{.forcedSubtitles = true}, -1, 0, ""},  // the first AC-3 track's: English
        {{.forcedSubtitles = true}, 2, -1, ""},  // French sound, no French subtitles: none, and no mistake
        {{.subtitleLanguage = "fr"}, -1, -1, "the film has no subtitles in \"fr\"; its subtitle tracks: 1 en, 2 de"},
        {{.subtitleTrack = 3}, -1, -1, "the film has no subtitle track 3; its subtitle tracks: 1 en, 2 de"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_EQ(PickSubtitles(Film(), c.wish, c.audioStream, problem, "the film"), c.stream)
            << c.wish.subtitleLanguage << c.wish.subtitleTrack << c.wish.forcedSubtitles << c.audioStream;
        EXPECT_EQ(problem, c.problem);
    }
}

TEST(TitleChoice, TracksTitlesAndFilesAreNamedAsListsShowThem) {
    // The tracks' words are the problems' above; a title without any:
    EXPECT_EQ(SubtitleTracksText(VobcastTitle{}), "none");
    EXPECT_EQ(Clock(6723.4), "1:52:03");
    EXPECT_EQ(Clock(59.6), "0:01:00");
    EXPECT_EQ(TitleNumber(3), "03");
    EXPECT_EQ(TitleAviName("MY_FILM", 1, 0), "MY_FILM title 01.avi");
    EXPECT_EQ(TitleAviName("MY_FILM", 1, 1), "MY_FILM title 01.avi");
    EXPECT_EQ(TitleAviName("MY_FILM", 12, 2), "MY_FILM title 12 angle 2.avi");

    TempFolder dir;
    const auto folder = dir.path() / "Holiday 2009" / "VIDEO_TS";
    std::filesystem::create_directories(folder);
    std::ofstream(dir.path() / "film.iso") << "x";
    const struct {
        std::string path, label, name;
    } discs[] = {
        {"/media/cdrom0", "MY_FILM", "MY_FILM"},
        {"/media/cdrom0", "AC/DC LIVE", "AC_DC LIVE"},
        {(dir.path() / "film.iso").string(), "", "film"},
        {folder.string(), "", "Holiday 2009"},
        {folder.string() + "/", "", "Holiday 2009"},
        {(dir.path() / "Holiday 2009").string(), "", "Holiday 2009"},
        {"/", "", "DVD"},
    };
    for (const auto& d : discs) EXPECT_EQ(DiscName(d.path, d.label), d.name) << d.path;
}

} // namespace
