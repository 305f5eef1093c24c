// The main window through Qt's accessibility, where the AT-SPI tree the
// screen-reader script reads does not show it: the rows of the source list,
// their selection, and the announcements of the status line and the focus.
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
