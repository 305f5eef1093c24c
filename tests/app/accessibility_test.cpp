// The main window as a screen reader reads it through Qt's accessibility:
// push buttons named by their captions (or our names where the skin shows
// art), their states and press action; the list of source files with its
// rows named by path; the status line as a status bar whose changes are
// announced.
#include "main_frame_fixture.h"

#include <QAccessible>

#include "platform/skin/accessible.h"

namespace {

// What the window announced: (object, whether it was a focus change).
std::vector<std::pair<QAccessibleInterface*, bool>> g_announced;

class Accessibility : public MainFrameTest {
protected:
    void SetUp() override {
        skin::ObserveAnnouncements([](QAccessibleInterface* object, bool focus) { g_announced.emplace_back(object, focus); });
        MainFrameTest::SetUp();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        surface->setFocus();
        g_announced.clear();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        skin::ObserveAnnouncements(nullptr);
    }
    QAccessibleInterface* Surface() const { return QAccessible::queryAccessibleInterface(surface); }
    // The child of parent named name, or null.
    static QAccessibleInterface* Named(QAccessibleInterface* parent, const QString& name) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(QAccessible::Name) == name) return parent->child(i);
        return nullptr;
    }
};

TEST_F(Accessibility, EveryButtonIsAPushButtonNamedAsItReads) {
    QAccessibleInterface* face = Surface();
    ASSERT_NE(face, nullptr);
    for (const char* name : {"Start", "Stop", "Files", "Settings", "About", "Minimise", "Close"}) {
        SCOPED_TRACE(name);
        QAccessibleInterface* button = Named(face, name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->parent(), face);
        EXPECT_TRUE(button->rect().isValid());
        ASSERT_NE(button->actionInterface(), nullptr);
        EXPECT_EQ(button->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    }
    EXPECT_TRUE(Named(face, "Stop")->state().disabled) << "Stop while idle";
    EXPECT_FALSE(Named(face, "Start")->state().disabled);
    EXPECT_TRUE(Named(face, "Start")->state().focused) << "the window starts with the focus on Start";
    EXPECT_EQ(Named(face, "Browse…"), nullptr) << "the settings panel's controls are parked out of the window";

    // Pressing through the screen reader is the click's command.
    Named(face, "Settings")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_NE(Named(face, "Browse…"), nullptr) << "the settings panel is read now";
    EXPECT_EQ(Named(face, "Browse…")->role(), QAccessible::Button);
    Named(face, "Cancel")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Named(face, "Browse…"), nullptr);
}

TEST_F(Accessibility, TheSourcesAreAListOfPathsAndTheStatusLineIsAnnounced) {
    Fill(2);
    frame.List.ScrollBarChanged(0);
    QAccessibleInterface* list = Named(Surface(), "Source files");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 2) << "empty rows are no rows";
    EXPECT_EQ(list->child(0)->role(), QAccessible::ListItem);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), "/media/cdrom0/VIDEO_TS/VTS_2.VOB");
    EXPECT_EQ(list->child(1)->parent(), list);
    frame.Skin.GetSkinWindow(frame.Handle())->SetKeyboardFocus(frame.ListButton[2]);
    EXPECT_TRUE(list->child(1)->state().selected);
    EXPECT_FALSE(list->child(0)->state().selected);

    QAccessibleInterface* status = nullptr;
    for (int i = 0; i < Surface()->childCount(); ++i)
        if (Surface()->child(i)->role() == QAccessible::StatusBar) status = Surface()->child(i);
    ASSERT_NE(status, nullptr);
    g_announced.clear();
    frame.List.SetStatus("Progressing:42%");
    frame.List.SetStatus("Complete!");
    EXPECT_EQ(g_announced, (std::vector<std::pair<QAccessibleInterface*, bool>>{{status, false}, {status, false}}));
    EXPECT_EQ(status->text(QAccessible::Name), "Complete!");

    // The focus moving is announced too.
    QTest::keyClick(surface, Qt::Key_Tab);
    ASSERT_FALSE(g_announced.empty());
    EXPECT_TRUE(g_announced.back().second);
}

} // namespace
