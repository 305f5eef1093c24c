// The source list through the real skin objects of an offscreen MainFrame:
// counting, the row window, marks, "Delete Item" and "Clear List".
#include "main_frame_fixture.h"

#include <QWheelEvent>

#include <array>
#include <climits>

namespace {

using Mark = std::array<std::uint8_t, 3>;
constexpr Mark kNormal{0, 128, 255};
constexpr Mark kProcessing{64, 255, 0};

class SourceListTest : public MainFrameTest {
protected:
    SourceList& list = frame.List;

    skin::Object& Row(int r) { return *frame.ListButton[static_cast<std::size_t>(r)]; }
    Mark MarkOf(int r) {
        const auto& c = Row(r).ButtonColors();
        return {c[60], c[61], c[62]};
    }
    // Scrolls as the list's own operations leave the bar: range = count - 7.
    void ShowAll() {
        const int count = list.GetListCount();
        frame.ScrollBar->SetRange(std::max(0, count - 7));
        frame.ScrollBar->SetVisible(count > 7);
        list.ScrollBarChanged(frame.ScrollBar->Position());
    }
};

TEST_F(SourceListTest, CountsEntriesUpToTheFirstEmptySlot) {
    EXPECT_EQ(list.GetListCount(), 0);
    Fill(5);
    EXPECT_EQ(list.GetListCount(), 5);
    list.FileList.Set(7, "/beyond/a/gap.VOB");
    EXPECT_EQ(list.GetListCount(), 5);
    Fill(100);
    EXPECT_EQ(list.GetListCount(), 100);
    list.FileList.Set(0, "never");
    list.FileList.Set(101, "never");
    list.FileList.Set(-1, "never");
    EXPECT_EQ(list.FileList[0], "");
    EXPECT_EQ(list.FileList[101], "");
    EXPECT_EQ(list.FileList[-1], "");
    EXPECT_EQ(list.GetListCount(), 100);
}

TEST_F(SourceListTest, ScrollingShowsSevenSlotsAndMarksTheConvertingOne) {
    Fill(10);
    list.CurrentIndex = 9;
    list.ScrollBarChanged(2);
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(Row(r).Caption(), list.FileList[2 + r]);
        EXPECT_EQ(Row(r).HintText(), list.FileList[2 + r]);
        EXPECT_EQ(MarkOf(r), r == 7 ? kProcessing : kNormal) << "row " << r;
    }
    list.ScrollBarChanged(5);
    EXPECT_EQ(Row(5).Caption(), list.FileList[10]);
    EXPECT_EQ(Row(6).Caption(), "") << "rows past the end show nothing";
    EXPECT_EQ(MarkOf(4), kProcessing);
    EXPECT_EQ(MarkOf(7), kNormal);

    list.CurrentIndex = 0;
    list.ScrollBarChanged(0);
    for (int r = 1; r <= 7; ++r) EXPECT_EQ(MarkOf(r), kNormal);
}

TEST_F(SourceListTest, PositionsBeyondTheTableShowEmptyRows) {
    Fill(100);
    list.CurrentIndex = 100;
    list.ScrollBarChanged(95);
    EXPECT_EQ(Row(5).Caption(), list.FileList[100]);
    EXPECT_EQ(MarkOf(5), kProcessing);
    EXPECT_EQ(Row(6).Caption(), "");
    EXPECT_EQ(Row(7).Caption(), "");
    list.ScrollBarChanged(INT32_MAX - 2);
    list.ScrollBarChanged(-4);
    EXPECT_EQ(Row(3).Caption(), "") << "slot 0 is never an entry";
    EXPECT_EQ(Row(5).Caption(), list.FileList[1]);
    for (int r = 1; r <= 7; ++r) EXPECT_EQ(MarkOf(r), kNormal);
}

// Deleting the entry a row shows, with the list unscrolled, scrolled to its
// end and part-way: later entries move up, every row shows what the bar's
// position gives it, the bar loses a step, the row marks stay.
TEST_F(SourceListTest, DeletingShiftsLaterEntriesAndRedrawsTheRows) {
    struct Case {
        int entries, position, row;
    };
    for (const Case& c : {Case{5, 0, 2}, Case{8, 1, 4}, Case{12, 2, 3}}) {
        SCOPED_TRACE(c.entries);
        list.ClearMenu_Click();
        Fill(c.entries);
        ShowAll();
        frame.ScrollBar->SetPosition(c.position);
        list.ScrollBarChanged(c.position);
        list.SetListButtonColor("PROCESSING", 5);
        list.SelectedRow = static_cast<std::int16_t>(c.row);
        list.DeleteMenu_Click();
        const int n = c.entries - 1, deleted = c.position + c.row;
        ASSERT_EQ(list.GetListCount(), n);
        for (int i = 1; i <= n; ++i)
            EXPECT_EQ(list.FileList[i], "/media/cdrom0/VIDEO_TS/VTS_" + std::to_string(i < deleted ? i : i + 1) + ".VOB");
        for (int r = 1; r <= 7; ++r) EXPECT_EQ(Row(r).Caption(), list.FileList[frame.ScrollBar->Position() + r]) << r;
        EXPECT_EQ(frame.ScrollBar->Range(), std::max(0, n - 7));
        EXPECT_EQ(frame.ScrollBar->Visible(), n > 7);
        EXPECT_EQ(MarkOf(5), kProcessing);
        EXPECT_EQ(list.CurrentIndex, 0);
    }
}

// A disc's titles are entries with their own choices: their rows read as the
// entry says, with the disc as the hint, and deleting one moves the later
// ones with everything chosen for them.
TEST_F(SourceListTest, TitleEntriesKeepTheirChoicesAndCaptionsAsTheListShifts) {
    list.ClearMenu_Click();
    const std::string disc = "/media/cdrom0";
    for (int i = 1; i <= 3; ++i)
        list.FileList.Set(i, SourceEntry{disc, i, i == 3 ? 2 : 0, i, i == 2 ? 1 : -1, i == 2,
                                         "MY_FILM  title 0" + std::to_string(i)});
    ShowAll();
    EXPECT_EQ(Row(2).Caption(), "MY_FILM  title 02");
    EXPECT_EQ(Row(2).HintText(), disc);
    list.SelectedRow = 1;
    list.DeleteMenu_Click();
    ASSERT_EQ(list.GetListCount(), 2);
    EXPECT_EQ(list.FileList.Entry(1), (SourceEntry{disc, 2, 0, 2, 1, true, "MY_FILM  title 02"}));
    EXPECT_EQ(list.FileList.Entry(2), (SourceEntry{disc, 3, 2, 3, -1, false, "MY_FILM  title 03"}));
    EXPECT_EQ(list.FileList.Entry(3), SourceEntry{});
    EXPECT_EQ(Row(1).Caption(), "MY_FILM  title 02");
    EXPECT_EQ(Row(3).Caption(), "");
    list.ClearMenu_Click();
    EXPECT_EQ(list.FileList.Entry(1), SourceEntry{});
    EXPECT_EQ(list.FileList.Entry(101), SourceEntry{});
}

TEST_F(SourceListTest, ARowWithoutAnEntryDeletesNothing) {
    Fill(3);
    list.ScrollBarChanged(0);
    list.SetStatus("Press Start...");
    for (std::int16_t row : {0, 4, 7, 9, -1}) {
        list.SelectedRow = row;
        list.DeleteMenu_Click();
        EXPECT_EQ(list.GetListCount(), 3) << "row " << row;
    }
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");

    // Deleting the last entries empties the list and asks for a DVD.
    for (int n = 3; n > 0; --n) {
        list.SelectedRow = 1;
        list.DeleteMenu_Click();
    }
    EXPECT_EQ(list.GetListCount(), 0);
    EXPECT_EQ(Row(1).Caption(), "");
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");
}

TEST_F(SourceListTest, ClearingEmptiesEverythingAndForgetsTheOldScrolling) {
    Fill(12);
    ShowAll();
    frame.ScrollBar->SetPosition(5);
    list.ScrollBarChanged(5);
    list.CurrentIndex = 7;
    list.SelectedRow = 2;
    list.ClearMenu_Click();
    EXPECT_EQ(list.GetListCount(), 0);
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(list.FileList[i], "");
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(Row(r).Caption(), "");
        EXPECT_EQ(Row(r).HintText(), "");
    }
    EXPECT_FALSE(frame.ScrollBar->Visible());
    EXPECT_EQ(frame.ScrollBar->Position(), 0);
    EXPECT_EQ(frame.ScrollBar->Range(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");
    EXPECT_EQ(list.CurrentIndex, 7);
    EXPECT_EQ(list.SelectedRow, 2);

    // The next list starts at its top, so a deletion removes what its row shows.
    Fill(3, "/next/VTS_");
    list.ScrollBarChanged(frame.ScrollBar->Position());
    list.SelectedRow = 1;
    list.DeleteMenu_Click();
    EXPECT_EQ(list.FileList[1], "/next/VTS_2.VOB");
}

TEST_F(SourceListTest, TheMouseWheelAndTheThumbScrollTheRows) {
    Fill(20);
    ShowAll();
    QWheelEvent down(QPointF(250, 80), surface->mapToGlobal(QPointF(250, 80)), QPoint(), QPoint(0, -360), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &down);
    EXPECT_EQ(frame.ScrollBar->Position(), 3);
    EXPECT_EQ(Row(1).Caption(), list.FileList[4]);

    // Drag the thumb to the bottom: the rows follow while it moves.
    const skin::Rect bar = frame.ScrollBar->GetRect();
    const int x = (bar.left + bar.right) / 2;
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(x, bar.top + 45));
    QTest::mouseMove(surface, QPoint(x, bar.bottom + 40));
    EXPECT_EQ(frame.ScrollBar->Position(), 13);
    EXPECT_EQ(Row(7).Caption(), list.FileList[20]);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(x, bar.bottom + 40));
}

} // namespace
