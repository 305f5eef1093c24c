// A disc read as titles: the preferences for its titles as DVD.ini keeps
// them, and the list's rows the test discs give under them, as the engine
// reads the discs.
#include "app/shell/settings_store.h"
#include "app/shell/title_settings.h"
#include "app/sources/title_entries.h"
#include "engine_binding.h"
#include "temp_folder.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using testing_media::MediaPath;
using testing_support::ReadFile;
using testing_support::TempFolder;

class TitleRows : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        SetUpIniFile();
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    std::unique_ptr<VobcastDisc> Disc(const std::string& path) {
        std::string error;
        auto disc = engine.ReadDisc(path, error);
        EXPECT_TRUE(disc) << path << ": " << error;
        return disc;
    }
    static std::vector<std::string> Captions(const std::vector<SourceEntry>& entries) {
        std::vector<std::string> captions;
        for (const SourceEntry& e : entries) captions.push_back(e.caption);
        return captions;
    }

    TempFolder config;
    vobcast::EngineBinding engine{BUILD_PROGRAM_DIR "/libvobcast.so"};
};

TEST_F(TitleRows, ThePreferencesAreKeptBesideTheOutputFolderAndDefaultWhereMissing) {
    EXPECT_EQ(ReadTitleSettings(), TitleSettings{}) << "a DVD.ini of before: titles off, bars cut";
    EXPECT_TRUE(ReadTitleSettings().cropBlackBars);
    TitleSettings s;
    s.wholeTitles = true;
    s.audioLanguage = "de";
    s.subtitles = TitleSettings::Subtitles::Language;
    s.subtitleLanguage = "en";
    s.sizeMB = 1400;
    s.cropBlackBars = false;
    WriteTitleSettings(s);
    EXPECT_EQ(ReadTitleSettings(), s);
    const std::string ini = ReadFile(IniFileName());
    EXPECT_NE(ini.find("[SavePath]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[Titles]"), std::string::npos) << ini;
    s.subtitles = TitleSettings::Subtitles::ForcedOnly;
    s.subtitleLanguage.clear();
    s.audioLanguage.clear();
    s.sizeMB = 0;
    WriteTitleSettings(s);
    EXPECT_EQ(ReadTitleSettings(), s);
    // What a hand may write: a code in capitals, a size that is no number.
    WriteIniValue("Titles", "AudioLanguage", "DE");
    WriteIniValue("Titles", "SizeMB", "lots");
    WriteIniValue("Titles", "Subtitles", "english");
    const TitleSettings read = ReadTitleSettings();
    EXPECT_EQ(read.audioLanguage, "de");
    EXPECT_EQ(read.sizeMB, 0);
    EXPECT_EQ(read.subtitles, TitleSettings::Subtitles::None);
    const vobcast::plan::TrackWish wish = Wish(read);
    EXPECT_EQ(wish.audioLanguage, "de");
    EXPECT_FALSE(wish.forcedSubtitles);
}

TEST_F(TitleRows, EveryTitleARowTheMainOneFirstWithTheSoundWished) {
    const auto decoys = Disc(MediaPath("decoys"));
    ASSERT_TRUE(decoys);
    const auto rows = TitleEntries(MediaPath("decoys"), *decoys, {});
    EXPECT_EQ(Captions(rows), (std::vector<std::string>{"decoys  title 03  0:00:04  main film", "decoys  title 01  0:00:05",
                                                          "decoys  title 02  0:00:05", "decoys  title 04  0:00:05"}));
    EXPECT_EQ(rows[0].title, 3);
    EXPECT_EQ(rows[0].path, MediaPath("decoys"));

    const auto film = Disc(MediaPath("disc.iso"));
    ASSERT_TRUE(film);
    auto wish = vobcast::plan::TrackWish{};
    wish.audioLanguage = "de";
    wish.subtitleLanguage = "en";
    const auto german = TitleEntries(MediaPath("disc.iso"), *film, wish);
    ASSERT_EQ(german.size(), 2u);
    EXPECT_EQ(german[0].caption, "MY_FILM  title 01  0:00:14  main film");
    EXPECT_EQ(german[0].audioStream, 1);
    EXPECT_EQ(german[0].subtitleStream, 0);
    EXPECT_EQ(german[1].caption, "MY_FILM  title 02  0:00:05  no en subtitles");
    EXPECT_EQ(german[1].subtitleStream, -1);
    wish.audioLanguage = "fr";
    wish.subtitleLanguage.clear();
    wish.forcedSubtitles = true;
    const auto french = TitleEntries(MediaPath("disc.iso"), *film, wish);
    EXPECT_EQ(french[0].caption, "MY_FILM  title 01  0:00:14  main film  no fr sound: 1 en (AC-3, 2 ch)");
    EXPECT_EQ(french[0].audioStream, 0);
    EXPECT_EQ(french[0].subtitleStream, 0) << "forced ones from the track in the sound's language";
    EXPECT_TRUE(french[0].forcedSubtitles);
}

TEST_F(TitleRows, AFilmsLogosAreLeftOutAndADiscOfShortClipsKeepsThem) {
    VobcastDisc disc{};
    const double lengths[] = {12, 6723, 45, 75, 59};
    for (const double seconds : lengths) {
        VobcastTitle& t = disc.titles[disc.title_count++];
        t.number = disc.title_count;
        t.seconds = seconds;
    }
    disc.main_title = 2;
    std::strcpy(disc.volume_label, "MY_FILM");
    std::vector<int> listed;
    for (const SourceEntry& e : TitleEntries("/media/cdrom0", disc, {})) listed.push_back(e.title);
    EXPECT_EQ(listed, (std::vector<int>{2, 4}));
    disc.titles[1].seconds = 50;  // the longest now 59 s: clips, all kept
    listed.clear();
    for (const SourceEntry& e : TitleEntries("/media/cdrom0", disc, {})) listed.push_back(e.title);
    EXPECT_EQ(listed, (std::vector<int>{2, 1, 3, 4, 5}));
}

} // namespace
