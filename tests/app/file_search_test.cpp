// The recursive search and the two ways a user adds files, on generated
// folder trees and through the real dialogs.
#include "main_frame_fixture.h"

#include "app/sources/file_search.h"
#include "app/sources/path_text.h"
#include "qt_wait.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <functional>

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::MakeFile;
using testing_support::TempFolder;

std::vector<std::string> Search(const std::string& folder, const std::string& pattern = "*.vob") {
    std::vector<std::string> found;
    clsFileSearch search;
    search.FindedFileInfo = [&](const std::string& path) { found.push_back(path); };
    EXPECT_TRUE(search.AutoListFiles(folder, pattern));
    return found;
}

// File-system checks as an ordinary user for as long as it lives: root reads
// every folder, whatever its mode.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : root_(::geteuid() == 0) {
        if (root_) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
    }
    ~AsOrdinaryUser() {
        if (root_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool root_;
};

// What the callers' own tests do not reach: overlapping matches, a folder's
// path, a root folder.
TEST(PathText, LastInStrGetFileNameAndAddBackslash) {
    EXPECT_EQ(LastInStr("aaa", "aa"), 2);
    EXPECT_EQ(GetFileName("/media/dvd/"), "");
    std::string root = "/";
    EXPECT_EQ(AddBackslash(root), "/") << "a root gets no second separator";
}

// Names in name order, letter case ignored, whatever order they were made in.
TEST(FileSearch, AFoldersFilesComeBeforeItsSubFoldersAndNamesKeepTheirCase) {
    TempFolder dir;
    const fs::path top = dir.path() / "Import";
    MakeFile(top / "a/X.VOB");
    MakeFile(top / "y.vob");
    MakeFile(top / "VIDEO_TS.VOB");
    MakeFile(top / "readme.txt");
    MakeFile(top / "a/deeper/z.Vob");
    MakeFile(top / "B/w.vob");
    MakeFile(top / ".hidden/h.vob");
    MakeFile(top / ".dot.vob");

    const std::vector<std::string> found = Search(top.string());
    const std::string t = top.string();
    EXPECT_EQ(found, (std::vector<std::string>{t + "/.dot.vob", t + "/VIDEO_TS.VOB", t + "/y.vob", t + "/a/X.VOB",
                                               t + "/a/deeper/z.Vob", t + "/B/w.vob"}));
    for (const std::string& path : found) EXPECT_TRUE(fs::exists(path)) << path << " names no file";
    EXPECT_EQ(Search(t, "").size(), found.size() + 1) << "an empty pattern takes readme.txt too";
    EXPECT_TRUE(Search(dir / "nowhere").empty());
}

TEST(FileSearch, LinkLoopsEndAndUnreadableFoldersArePassedOver) {
    TempFolder dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const fs::path top = dir.path() / "tree";
    MakeFile(top / "one/1.vob");
    MakeFile(top / "locked/secret.vob");
    MakeFile(top / "two/2.vob");
    fs::create_directory_symlink(top, top / "one/back-to-top");
    fs::create_directory_symlink(top / "two", top / "again");
    for (const auto& e : fs::recursive_directory_iterator(top)) {
        if (!e.is_symlink()) fs::permissions(e.path(), fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    }
    fs::permissions(top, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(top / "locked", fs::perms::none);

    std::vector<std::string> found;
    {
        const AsOrdinaryUser user;
        found = Search(top.string());
    }
    fs::permissions(top / "locked", fs::perms::owner_all);
    std::vector<std::string> names;
    for (const std::string& path : found) names.push_back(GetFileName(path));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"1.vob", "2.vob"})) << "each folder once, the locked one passed over";
}

class ImportAndOpen : public MainFrameTest {
protected:
    // Answers the next modal file dialog, named object_name, once it shows.
    static void Answer(const char* object_name, std::function<void(QFileDialog&)> answer) {
        testing_support::WhenShows<QDialog>([object_name, answer](QDialog& d) {
            auto* dialog = qobject_cast<QFileDialog*>(&d);
            if (dialog == nullptr) return false;
            EXPECT_EQ(dialog->objectName(), object_name);
            answer(*dialog);
            return true;
        });
    }
    // Types a whole path into the dialog's name field, as a user may.
    static void Type(QFileDialog& d, const fs::path& path) {
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(path.string()));
    }
    // during, if given, runs at the search's first yield.
    void Import(const fs::path& folder, std::function<void()> during = {}) {
        Answer("BrowseForFolder", [this, folder, during](QFileDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Select a directory from which you want to import file(s)");
            opened_at = d.directory().absolutePath().toStdString();
            Type(d, folder);
            if (during) QTimer::singleShot(0, during);
            static_cast<QDialog&>(d).accept();  // as the dialog's own button does
        });
        frame.ImportFile_Click();
    }
    void Open(const fs::path& file) {
        Answer("OpenFile", [this, file](QFileDialog& d) {
            opened_at = d.directory().absolutePath().toStdString();
            EXPECT_EQ(d.nameFilters(), QStringList("VOB Files(*.vob) (*.[vV][oO][bB])"));
            Type(d, file);
            static_cast<QDialog&>(d).accept();  // as the dialog's own button does
        });
        frame.OpenFile_Click();
    }
    void Cancel(const char* which) {
        Answer(which, [](QFileDialog& d) { d.reject(); });
        if (std::string(which) == "OpenFile") frame.OpenFile_Click();
        else frame.ImportFile_Click();
    }

    TempFolder media;
    std::string opened_at;  // where the last dialog opened
};

// Files dropped from a file manager: VOB files are added as Open File adds
// them, a folder imported as Import File does; anything else is refused with
// the cursor, before the drop.
TEST_F(ImportAndOpen, DroppedVobFilesAndFoldersFillTheList) {
    const auto drag = [this](const std::vector<fs::path>& paths, bool drop) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const fs::path& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
        data->setUrls(urls);
        QDragEnterEvent enter(QPoint(200, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&frame, &enter);
        const bool accepted = enter.isAccepted();
        if (drop && accepted) {
            QDropEvent dropped(QPointF(200, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&frame, &dropped);
        }
        delete data;
        return accepted;
    };
    const fs::path rips = media.path() / "rips";
    for (const char* name : {"VTS_01_2.VOB", "vts_01_1.vob", "VIDEO_TS.VOB", "notes.txt"}) MakeFile(rips / name);
    MakeFile(rips / "more/VTS_02_1.VOB");

    EXPECT_FALSE(drag({rips / "notes.txt"}, true)) << "not a VOB file";
    EXPECT_FALSE(drag({rips / "VTS_01_2.VOB", rips / "notes.txt"}, true)) << "a mixed drop";
    EXPECT_FALSE(drag({rips, rips / "more"}, true)) << "two folders";
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_TRUE(boxes.empty());

    ASSERT_TRUE(drag({rips / "VTS_01_2.VOB", rips / "vts_01_1.vob"}, true));
    EXPECT_EQ(frame.List.FileList[1], (rips / "vts_01_1.vob").string()) << "in name order";
    EXPECT_EQ(frame.List.FileList[2], (rips / "VTS_01_2.VOB").string());
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");

    ASSERT_TRUE(drag({rips / "more"}, true));
    EXPECT_EQ(frame.List.GetListCount(), 1) << "a folder is imported, replacing the list";
    EXPECT_EQ(frame.List.FileList[1], (rips / "more/VTS_02_1.VOB").string());
}

// The dialogs open where the user last was, kept in DVD.ini, else at home.
TEST_F(ImportAndOpen, TheDialogsOpenWhereTheUserLastWas) {
    MakeFile(media.path() / "rips/a/VTS_01_1.VOB");
    MakeFile(media.path() / "rips/b/VTS_01_1.VOB");
    Import(media.path() / "rips/a");
    EXPECT_EQ(opened_at, QDir::homePath().toStdString());
    Open(media.path() / "rips/b/VTS_01_1.VOB");
    EXPECT_EQ(opened_at, (media.path() / "rips/a").string());
    Import(media.path() / "rips/a");
    EXPECT_EQ(opened_at, (media.path() / "rips/b").string());
    EXPECT_EQ(ReadIniValue("Dialogs", "LastFolder"), (media.path() / "rips/a").string());
    fs::remove_all(media.path() / "rips/a");
    Import(media.path() / "rips/b");
    EXPECT_EQ(opened_at, QDir::homePath().toStdString()) << "a folder that is gone";
}

TEST_F(ImportAndOpen, ImportingReplacesTheListWithTheFolderTreesVobFiles) {
    Fill(3, "/earlier/VTS_");
    const fs::path top = media.path() / "rips";
    MakeFile(top / "video_ts/vts_01_1.vob");
    MakeFile(top / "video_ts/video_ts.vob");
    MakeFile(top / "video_ts/vts_01_0.vob");
    MakeFile(top / "Other Disc/VIDEO_TS/VTS_02_1.VOB");
    Import(top);
    std::vector<std::string> entries;
    for (int i = 1; i <= frame.List.GetListCount(); ++i) entries.push_back(frame.List.FileList[i]);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{top.string() + "/Other Disc/VIDEO_TS/VTS_02_1.VOB",
                                                 top.string() + "/video_ts/vts_01_1.vob"}))
        << "lower-case menu files are left out too, and paths keep their case";
    EXPECT_EQ(frame.ListButton[1]->Caption(), frame.List.FileList[1]);
    EXPECT_EQ(frame.ListButton[3]->Caption(), "");
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");

    Cancel("BrowseForFolder");
    EXPECT_EQ(frame.List.GetListCount(), 2) << "a cancelled browser keeps the list";

    MakeFile(media.path() / "empty/notes.txt");
    Import(media.path() / "empty");
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");
}

TEST_F(ImportAndOpen, AHundredAndFiftyFilesFillTheListAndSaySo) {
    for (int i = 0; i < 150; ++i) MakeFile(media.path() / "many" / ("clip" + std::to_string(i) + ".vob"));
    Import(media.path() / "many");
    EXPECT_EQ(frame.List.GetListCount(), 100);
    EXPECT_EQ(frame.Processing->Text(), "The list is full: 100 files. Press Start...");
    EXPECT_EQ(frame.ScrollBar->Range(), 93) << "the bar reaches the last entry";
    EXPECT_TRUE(frame.ScrollBar->Visible());
    for (int i = 1; i <= 100; ++i) EXPECT_TRUE(fs::exists(frame.List.FileList[i]));

    Open(media.path() / "many/clip0.vob");
    EXPECT_EQ(frame.List.GetListCount(), 100);
    EXPECT_EQ(frame.Processing->Text(), "The list is full: 100 files. Press Start...");
}

TEST_F(ImportAndOpen, OpeningAppendsAndScrollsToAnEighthEntry) {
    Fill(7);
    frame.List.ScrollBarChanged(0);
    MakeFile(media.path() / "Movie.VOB");
    Open(media.path() / "Movie.VOB");
    EXPECT_EQ(frame.List.FileList[8], media / "Movie.VOB");
    EXPECT_EQ(frame.ScrollBar->Range(), 1);
    EXPECT_EQ(frame.ScrollBar->Position(), 1);
    EXPECT_TRUE(frame.ScrollBar->Visible());
    EXPECT_EQ(frame.ListButton[1]->Caption(), frame.List.FileList[2]);
    EXPECT_EQ(frame.ListButton[7]->Caption(), media / "Movie.VOB");
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");
}

TEST_F(ImportAndOpen, TheMenuFilesAreRefusedByTheirExactName) {
    MakeFile(media.path() / "VIDEO_TS/VTS_01_0.VOB");
    MakeFile(media.path() / "VIDEO_TS/video_ts.vob");
    frame.List.SetStatus("Insert DVD...");
    Open(media.path() / "VIDEO_TS/VTS_01_0.VOB");
    EXPECT_EQ(boxes, (std::vector<std::string>{"This is not a valid vob file, please select another one."}));
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");

    Open(media.path() / "VIDEO_TS/video_ts.vob");
    EXPECT_EQ(frame.List.FileList[1], media / "VIDEO_TS/video_ts.vob") << "the dialog's name keeps its case";
    EXPECT_EQ(frame.ListButton[1]->Caption(), frame.List.FileList[1]);

    frame.List.ClearMenu_Click();
    Cancel("OpenFile");
    EXPECT_EQ(frame.Processing->Text(), "Press Start...") << "a cancelled Open File still asks for Start";
}

TEST_F(ImportAndOpen, ADeletionDuringASearchLeavesNoGap) {
    for (int i = 0; i < 5; ++i) MakeFile(media.path() / "five" / ("t" + std::to_string(i) + ".vob"));
    bool deleted = false;
    Import(media.path() / "five", [&] {
        ASSERT_EQ(frame.List.GetListCount(), 1) << "the first yield comes after the first file";
        frame.List.SelectedRow = 1;
        frame.List.DeleteMenu_Click();
        deleted = true;
    });
    ASSERT_TRUE(deleted);
    EXPECT_EQ(frame.List.GetListCount(), 4);
    for (int i = 1; i <= 4; ++i) EXPECT_FALSE(frame.List.FileList[i].empty()) << "slot " << i;
    EXPECT_EQ(frame.List.FileList[5], "");
}

} // namespace
