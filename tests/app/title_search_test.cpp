// Discs listed by their titles where the user wants whole titles: a drive,
// an imported folder with a VIDEO_TS folder and disc images, an opened image
// or VIDEO_TS.IFO; and the same discs by their VOB files with the setting off.
#include "main_frame_fixture.h"

#include "app/shell/title_settings.h"
#include "test_media.h"

#include <QTimer>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_media::MediaPath;
using testing_support::TempFolder;
using testing_support::WriteFile;

class TitleSearch : public MainFrameTest {
protected:
    void WholeTitles(bool on) {
        TitleSettings s;
        s.wholeTitles = on;
        s.audioLanguage = "de";
        s.subtitles = TitleSettings::Subtitles::Language;
        s.subtitleLanguage = "en";
        WriteTitleSettings(s);
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 1; i <= frame.List.GetListCount(); ++i) {
            const SourceEntry& e = frame.List.FileList.Entry(i);
            rows.push_back(e.caption.empty() ? e.path : e.caption + " > " + e.aviName);
        }
        return rows;
    }

    TempFolder folder;
};

// The test disc's two titles, German sound and English subtitles on both.
const std::vector<std::string> kDiscRows = {"disc  title 01  0:00:14  main film > disc title 01.avi",
                                            "disc  title 02  0:00:05  no en subtitles > disc title 02.avi"};

TEST_F(TitleSearch, AnImportListsEachDiscByItsTitlesAndAnImageThatIsNoDiscIsNamed) {
    WholeTitles(true);
    fs::create_directories(folder / "disc");
    fs::create_directory_symlink(MediaPath("disc") + "/VIDEO_TS", folder / "disc/VIDEO_TS");
    fs::create_symlink(MediaPath("disc.iso"), folder / "film.iso");
    WriteFile(folder / "broken.iso", "not a disc");
    // The window's events go on while a disc is read.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    frame.ImportFolder(folder.path());
    timer.stop();
    std::vector<std::string> rows = kDiscRows;
    rows.push_back("MY_FILM  title 01  0:00:14  main film > MY_FILM title 01.avi");
    rows.push_back("MY_FILM  title 02  0:00:05  no en subtitles > MY_FILM title 02.avi");
    EXPECT_EQ(Rows(), rows);
    EXPECT_GT(ticks, 0);
    const SourceEntry& main = frame.List.FileList.Entry(1);
    EXPECT_EQ(main.path, folder / "disc/VIDEO_TS") << "the folder the search found VIDEO_TS.IFO in";
    EXPECT_EQ(main.title, 1);
    EXPECT_EQ(main.audioStream, 1) << "the German track";
    EXPECT_EQ(main.subtitleStream, 0) << "the English subtitles";
    EXPECT_EQ(frame.ListButton[1]->Caption(), "disc  title 01  0:00:14  main film");
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("These disc images can't be read as DVDs:\n\"" + folder / "broken.iso" + "\": ", 0), 0u) << boxes[0];

    // A VIDEO_TS folder imported itself is one disc too.
    frame.ImportFolder(MediaPath("disc") + "/VIDEO_TS");
    ASSERT_EQ(frame.List.GetListCount(), 2);
    EXPECT_EQ(frame.List.FileList.Entry(2).aviName, "disc title 02.avi");
}

// With the setting off the same folder lists its VOB files as always, and
// Open File offers VOB files alone.
TEST_F(TitleSearch, WithTheSettingOffADiscListsItsVobFiles) {
    WholeTitles(false);
    frame.ImportFolder(MediaPath("disc"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{MediaPath("disc") + "/VIDEO_TS/VTS_01_1.VOB",
                                                MediaPath("disc") + "/VIDEO_TS/VTS_01_2.VOB"}));
    EXPECT_EQ(frame.ListButton[1]->Caption(), MediaPath("disc") + "/VIDEO_TS/VTS_01_1.VOB");
    frame.List.ClearMenu_Click();
    // No image opens as a disc: it is added as a file, as any other name is.
    frame.AddOpenedFile("disc.iso", MediaPath("disc.iso"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{MediaPath("disc.iso")}));
}

// Open File takes an image or a VIDEO_TS.IFO as its disc's titles, after the
// entries; VOB files opened one by one stay files; a drive lists its titles.
TEST_F(TitleSearch, AnOpenedImageOrVideoTsIfoAndADriveListTheirTitles) {
    WholeTitles(true);
    frame.AddOpenedFile("VTS_01_1.VOB", MediaPath("ntsc.vob"));
    frame.AddOpenedFile("VIDEO_TS.IFO", MediaPath("disc") + "/VIDEO_TS/VIDEO_TS.IFO");
    std::vector<std::string> rows = {MediaPath("ntsc.vob")};
    rows.insert(rows.end(), kDiscRows.begin(), kDiscRows.end());
    EXPECT_EQ(Rows(), rows);
    WriteFile(folder / "broken.iso", "not a disc");
    frame.AddOpenedFile("broken.iso", folder / "broken.iso");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("\"" + folder / "broken.iso" + "\" can't be read as a DVD: ", 0), 0u) << boxes[0];
    EXPECT_EQ(frame.List.GetListCount(), 3);

    frame.List.ClearMenu_Click();
    drives->Plug(MediaPath("disc"), shell::DRIVE_CDROM, 4.7e9);
    frame.ListVobInDVDRom();
    EXPECT_EQ(Rows(), kDiscRows);
}

// A title's row offers its own tracks before the list's commands, ticked as
// chosen; a choice changes that row alone and says so.
TEST_F(TitleSearch, ARowMenuChoosesThatTitlesOwnTracks) {
    WholeTitles(true);
    frame.ImportFolder(MediaPath("disc"));
    ASSERT_EQ(frame.List.GetListCount(), 2);
    std::vector<std::string> shown;
    std::string choose;
    skin::SetPopupMenuHook([&](const skin::Menu& menu, int, int) {
        shown.clear();
        int chosen = -1;
        for (std::size_t i = 0; i < menu.size(); ++i) {
            shown.push_back((menu[i].checked ? "* " : "") + menu[i].caption);
            if (menu[i].caption == choose) chosen = static_cast<int>(i);
        }
        return chosen;
    });
    choose = "Sound 1 en (AC-3, 2 ch)";
    frame.Skin_MouseUp(*frame.ListButton[1], Qt::RightButton, 0, 5, 5);
    EXPECT_EQ(shown, (std::vector<std::string>{"Sound 1 en (AC-3, 2 ch)", "* Sound 2 de (AC-3, 2 ch)", "-", "No subtitles",
                                               "* Subtitles 1 en", "Subtitles 2 de", "-", "Clear List", "Delete Item", "-",
                                               "Cancel"}));
    EXPECT_EQ(frame.List.FileList.Entry(1).audioStream, 0);
    EXPECT_EQ(frame.ListButton[1]->Caption(), "disc  title 01  0:00:14  main film  1 en (AC-3, 2 ch)  subtitles 1 en");
    choose = "No subtitles";
    frame.Skin_MouseUp(*frame.ListButton[1], Qt::RightButton, 0, 5, 5);
    EXPECT_EQ(shown[0], "* Sound 1 en (AC-3, 2 ch)");
    EXPECT_EQ(frame.List.FileList.Entry(1).subtitleStream, -1);
    EXPECT_EQ(frame.List.FileList.Entry(2).audioStream, 1) << "the other title keeps its German";
    // A file's row has the list's commands alone.
    frame.AddOpenedFile("ntsc.vob", MediaPath("ntsc.vob"));
    choose.clear();
    frame.Skin_MouseUp(*frame.ListButton[3], Qt::RightButton, 0, 5, 5);
    EXPECT_EQ(shown, (std::vector<std::string>{"Clear List", "Delete Item", "-", "Cancel"}));
    skin::SetPopupMenuHook(nullptr);
}

} // namespace
