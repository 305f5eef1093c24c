// The popup menus: which menu opens where, and what their items do.
#include "main_frame_fixture.h"

#include "app/sources/popup_menus.h"

#include <QCursor>

namespace {

class PopupMenus : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        skin::SetPopupMenuHook([this](const skin::Menu& menu, int x, int y) {
            shown.push_back({menu, x, y});
            for (std::size_t i = 0; i < menu.size(); ++i) {
                if (menu[i].name == choose) return static_cast<int>(i);
            }
            return -1;
        });
    }
    void TearDown() override {
        skin::SetPopupMenuHook(nullptr);
        MainFrameTest::TearDown();
    }
    static std::vector<std::string> Captions(const skin::Menu& menu) {
        std::vector<std::string> captions;
        for (const skin::MenuItem& item : menu) captions.push_back(item.caption);
        return captions;
    }
    void ReleaseOnRow(int r, Qt::MouseButton button) {
        const skin::Rect box = frame.ListButton[static_cast<std::size_t>(r)]->GetRect();
        QTest::mouseClick(surface, button, {}, QPoint(box.left + 10, (box.top + box.bottom) / 2));
    }

    struct Shown {
        skin::Menu menu;
        int x, y;
    };
    std::vector<Shown> shown;
    std::string choose;
};

TEST_F(PopupMenus, ARightReleaseOnARowOpensTheListMenuAtThePointerAndDeletesThatEntry) {
    Fill(5);
    frame.List.ScrollBarChanged(0);
    QCursor::setPos(300, 200);
    choose = "DeleteMenu";
    ReleaseOnRow(3, Qt::RightButton);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(Captions(shown[0].menu), Captions(frame.GetSubMenu(0)));
    EXPECT_EQ(QPoint(shown[0].x, shown[0].y), QCursor::pos());
    EXPECT_EQ(frame.List.SelectedRow, 3);
    EXPECT_EQ(frame.List.GetListCount(), 4);
    EXPECT_EQ(frame.List.FileList[3], "/media/cdrom0/VIDEO_TS/VTS_4.VOB");
}

TEST_F(PopupMenus, ARowWithoutAnEntryOpensNothingButIsSelected) {
    Fill(5);
    frame.List.ScrollBarChanged(0);
    ReleaseOnRow(6, Qt::LeftButton);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(frame.List.SelectedRow, 6);
}

TEST_F(PopupMenus, TheFileAndAboutButtonsOpenTheirMenusAndCancelChangesNothing) {
    Fill(2);
    frame.List.ScrollBarChanged(0);
    choose = "CancelMenu2";
    ClickOn(Named("FileMenu"));
    choose = "CancelMenu3";
    ClickOn(Named("About"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(Captions(shown[0].menu), Captions(frame.GetSubMenu(1)));
    EXPECT_EQ(Captions(shown[1].menu), Captions(frame.GetSubMenu(2)));
    EXPECT_EQ(frame.List.GetListCount(), 2);

    choose = "ClearMenu";
    ReleaseOnRow(1, Qt::LeftButton);
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");
}

TEST(ReleasedRow, OnlyTheSevenRowObjectsAreRows) {
    EXPECT_EQ(ReleasedRow("List1"), 1);
    EXPECT_EQ(ReleasedRow("List7"), 7);
    for (const char* name : {"List0", "List8", "List1x", "list1", "Processing"}) EXPECT_EQ(ReleasedRow(name), 0) << name;
}

} // namespace
