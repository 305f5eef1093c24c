// The About window and the settings panel's Browse, clicked as a user would.
#include "main_frame_fixture.h"

#include "app/shell/splash.h"
#include "platform/shell/shell_execute.h"
#include "qt_wait.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

namespace {

class SplashTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        shell::SetShellExecuteHook([this](const std::string& target) { opened.push_back(target); });
    }
    void TearDown() override {
        shell::SetShellExecuteHook(nullptr);
        MainFrameTest::TearDown();
    }
    Splash& ShowAbout() {
        frame.AboutMenu_Click();
        Splash* splash = frame.SplashWindow();
        EXPECT_NE(splash, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(splash));
        return *splash;
    }
    static QWidget* SurfaceOf(Splash& splash) { return splash.findChild<QWidget*>("skin-surface"); }
    static QPoint Middle(const skin::Object& o) {
        const skin::Rect r = o.GetRect();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Lets deleteLater and queued events run.
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete), QCoreApplication::processEvents();
    }
    std::vector<std::string> opened;
};

// About hides the main window; its links open with the left button, and the
// window stays.
TEST_F(SplashTest, AboutShowsTheDescriptionAndItsLinksOpen) {
    Splash& splash = ShowAbout();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(splash.size(), QSize(360, 210));
    EXPECT_EQ(splash.Description->Text(), "Convert and back up DVDs to DIVX, AVI, and MPEG format.");
    skin::SkinWindow& window = *splash.Skin.GetSkinWindow(static_cast<std::uintptr_t>(splash.winId()));
    ASSERT_NE(window.FindObject("Keys"), nullptr);
    EXPECT_NE(window.FindObject("Keys")->Text().find("Ctrl+I Import"), std::string::npos) << "the keys are in the help line";

    QWidget* surface = SurfaceOf(splash);
    QTest::mouseClick(surface, Qt::RightButton, {}, Middle(*splash.HomePage));
    EXPECT_TRUE(opened.empty());
    QTest::mouseClick(surface, Qt::LeftButton, {}, Middle(*splash.HomePage));
    QTest::mouseClick(surface, Qt::LeftButton, {}, Middle(*splash.Email));
    EXPECT_EQ(opened, (std::vector<std::string>{splash.HomePage->Text(), "mailto:hello@marbleway.org"}));
    EXPECT_TRUE(splash.isVisible());
    EXPECT_FALSE(frame.isVisible());

    // Hover colours follow the pointer; the rest of a colour record stays.
    const auto bytes = [](const skin::Object& o) {
        const auto& c = o.LabelColors();
        return std::vector<int>{c[4], c[5], c[6]};
    };
    skin::LabelColorRecord odd = splash.Continue->LabelColors();
    odd[0] = 77;
    // The hover bytes come back as the skin's, not as they were before.
    odd[4] = 1;
    odd[5] = 2;
    odd[6] = 3;
    splash.Continue->SetLabelColors(odd);
    for (const auto& [object, out] : {std::pair{splash.Continue, std::vector<int>{0, 0, 128}},
                                      std::pair{splash.Email, std::vector<int>{255, 248, 240}}}) {
        splash.Skin_MouseIn(*object);
        EXPECT_EQ(bytes(*object), (std::vector<int>{255, 0, 0})) << object->Name();
        splash.Skin_MouseOut(*object);
        EXPECT_EQ(bytes(*object), out) << object->Name();
    }
    EXPECT_EQ(splash.Continue->LabelColors()[0], 77);
    splash.Skin_MouseOut(*splash.HomePage);
    EXPECT_EQ(bytes(*splash.HomePage), (std::vector<int>{255, 248, 240}));
    ASSERT_NE(window.FindObject("Application"), nullptr);
    skin::Object& application = *window.FindObject("Application");
    const skin::LabelColorRecord before = application.LabelColors();
    splash.Skin_MouseIn(application);
    EXPECT_EQ(application.LabelColors(), before) << "other objects have no hover";
}

// A double click on a link, Continue, the window manager's close button (else
// the program would run on without a window), and Close of the main window.
TEST_F(SplashTest, EveryWayOutUnloadsTheSplashWindow) {
    for (int way = 0; way < 4; ++way) {
        Splash& splash = ShowAbout();
        if (way == 0) QTest::mouseDClick(SurfaceOf(splash), Qt::LeftButton, {}, Middle(*splash.Email));
        if (way == 1) QTest::mouseClick(SurfaceOf(splash), Qt::LeftButton, {}, Middle(*splash.Continue));
        if (way == 2) splash.close();
        if (way == 3) {
            frame.show();
            ClickOn(Named("Close"));
        }
        Settle();
        EXPECT_EQ(frame.isVisible(), way < 3) << way;
        EXPECT_EQ(frame.SplashWindow(), nullptr) << way;
    }
}

class BrowseTest : public MainFrameTest {
protected:
    void Browse(const std::string& typed) {
        testing_support::WhenShows<QDialog>([this, typed](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Select a directory that you want AVI file(s) to be stored in!");
            opened_at = static_cast<QFileDialog&>(dialog).directory().absolutePath().toStdString() + "/";
            if (typed.empty()) {
                dialog.reject();
                return true;
            }
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(typed));
            dialog.accept();
            return true;
        });
        ClickOn(*frame.Browse);
    }
    testing_support::TempFolder target;
    std::string opened_at;  // where the browser opened, with a trailing "/"
};

TEST_F(BrowseTest, TheChosenFolderIsShownWithOneTrailingSlashAndStoredOnlyByOk) {
    const std::string stored = ReadIniValue("SavePath", "PathName");
    ClickOn(Named("Settings"));
    Browse(target.path().string());
    EXPECT_EQ(opened_at, stored) << "the browser opens at the output folder";
    EXPECT_EQ(frame.SavePath->Text(), target.path().string() + "/");
    EXPECT_EQ(frame.SavePath->HintText(), target.path().string() + "/");
    Browse(target.path().string() + "/");
    EXPECT_EQ(opened_at, target.path().string() + "/") << "and at the folder just browsed to";
    EXPECT_EQ(frame.SavePath->Text(), target.path().string() + "/");
    Browse("");  // cancelled
    EXPECT_EQ(frame.SavePath->Text(), target.path().string() + "/");
    ClickOn(*frame.Cancel);
    ClickOn(Named("Settings"));
    EXPECT_EQ(frame.SavePath->Text(), stored) << "Cancel dropped the browsed folder";
    Browse(target.path().string());
    ClickOn(*frame.Ok);
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), target.path().string() + "/");
}

} // namespace
