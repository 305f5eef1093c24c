// Marbleway without a mouse: the focus mark moves over the skin's buttons
// with Tab, Space and Return press them, the list moves and loses entries
// with the arrows and Delete. Every key ends in the handler a click reaches.
#include "main_frame_fixture.h"
#include "qt_wait.h"

#include <QMenu>

namespace {

namespace fs = std::filesystem;

class Keyboard : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        // Shortcuts reach the active window.
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        surface->setFocus();
    }
    std::string Focused() {
        const skin::Object* o = frame.Skin.GetSkinWindow(frame.Handle())->KeyboardFocus();
        return o != nullptr ? o->Name() : "";
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(surface, static_cast<Qt::Key>(key), modifiers);
    }
    // The buttons Tab visits from Start until it comes back to it.
    std::vector<std::string> TabRound(Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        std::vector<std::string> seen;
        for (int i = 0; i < 30; ++i) {
            Key(Qt::Key_Tab, modifiers);
            seen.push_back(Focused());
            if (seen.back() == "StartCompress") break;
        }
        return seen;
    }
};

TEST_F(Keyboard, TabWalksTheButtonsInTheSkinsOrderAndSpaceOrReturnPressesThem) {
    EXPECT_EQ(Focused(), "StartCompress") << "the window starts with the focus on Start";
    // Stop is disabled while idle; empty rows show nothing to press.
    EXPECT_EQ(TabRound(), (std::vector<std::string>{"FileMenu", "Settings", "About", "BackGround", "Close",
                                                    "StartCompress"}));
    Fill(2);
    frame.List.ScrollBarChanged(0);
    EXPECT_EQ(TabRound(Qt::ShiftModifier),
              (std::vector<std::string>{"List2", "List1", "Close", "BackGround", "About", "Settings", "FileMenu",
                                        "StartCompress"}));

    // Space on Settings opens the settings panel, Return on its Cancel closes it.
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    ASSERT_EQ(Focused(), "Settings");
    Key(Qt::Key_Space);
    const auto shown = [](const skin::Object* o) { return o->GetRect().bottom > 0; };  // parked above the window when not
    EXPECT_TRUE(shown(frame.Browse)) << "the settings panel is shown";
    // The title controls are in the round, and Space presses them too.
    const std::vector<std::string> round = TabRound();
    for (const char* control : TitleControls::kNames)
        EXPECT_NE(std::find(round.begin(), round.end(), control), round.end()) << control;
    while (Focused() != "WholeTitles") Key(Qt::Key_Tab);
    Key(Qt::Key_Space);
    EXPECT_EQ(frame.Skin.GetSkinWindow(frame.Handle())->FindObject("WholeTitles")->Caption(), "Whole titles: on");
    while (Focused() != "Cancel") Key(Qt::Key_Tab);
    Key(Qt::Key_Return);
    EXPECT_FALSE(shown(frame.Browse)) << "back on the main panel";

    // Down on Files opens its menu below the button, walked with the arrows.
    bool opened = false;
    testing_support::WhenShows<QMenu>([&](QMenu& menu) {
        opened = true;
        EXPECT_EQ(menu.actions().front()->shortcut().toString(), "Ctrl+O");
        menu.close();
        return true;
    });
    while (Focused() != "FileMenu") Key(Qt::Key_Tab);
    Key(Qt::Key_Down);
    EXPECT_TRUE(opened);
}

TEST_F(Keyboard, ArrowsMoveAlongTheListAndDeleteRemovesTheFocusedEntry) {
    Fill(9);
    frame.List.ScrollBarChanged(0);
    frame.ScrollBar->SetRange(2);  // as adding the entries sets it
    while (Focused() != "List1") Key(Qt::Key_Tab);
    for (int i = 0; i < 7; ++i) Key(Qt::Key_Down);
    EXPECT_EQ(Focused(), "List7");
    EXPECT_EQ(frame.ScrollBar->Position(), 1) << "past the last row the list scrolls";
    EXPECT_EQ(frame.ListButton[7]->Caption(), "/media/cdrom0/VIDEO_TS/VTS_8.VOB");
    Key(Qt::Key_Up);
    EXPECT_EQ(Focused(), "List6");
    Key(Qt::Key_Delete);
    EXPECT_EQ(frame.List.GetListCount(), 8);
    EXPECT_EQ(frame.List.FileList[7], "/media/cdrom0/VIDEO_TS/VTS_8.VOB") << "entry 7, shown in row 6, went";
    EXPECT_EQ(Focused(), "List6");
}

} // namespace
