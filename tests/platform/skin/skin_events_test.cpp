// A skin applied to a real (offscreen) window: objects, events as the mouse
// raises them, scrolling, colour records and popup menus.
#include "platform/skin/skin.h"
#include "qt_wait.h"
#include "temp_folder.h"

#include <QMenu>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::TempFolder;
using testing_support::WriteFile;

constexpr const char* kSkin = R"(
[window Test]
size = 200, 120
wheel = Bar

[image Picture]
rect = 0, 100, 50, 120

[button Go]
rect = 10, 10, 60, 30
caption = Go
font = DejaVu Sans, 18px, bold
color = #0080ff

[button Off]
rect = 70, 10, 120, 30
caption = Off
disabled = yes

[label Link]
rect = 10, 40, 100, 55
text = somewhere
color = #fff8f0
background = #00000000

[label Note]
rect = 10, 60, 110, 100
text = one two three four five six
font = DejaVu Sans, 12px
color = #ffffff
elide = wrap

[scrollbar Bar]
rect = 180, 0, 190, 100
range = 10
page = 10
)";

class SkinEvents : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "test.skn", kSkin);
        skin.LoadSkin(dir / "test.skn");
        handle = static_cast<std::uintptr_t>(window.winId());
        skin.ApplySkin(handle, "test");
        window.show();
        surface = window.findChild<QWidget*>("skin-surface");
        ASSERT_NE(surface, nullptr);
        auto record = [this](const char* what) {
            return [this, what](skin::Object& o) { log.push_back(std::string(what) + " " + o.Name()); };
        };
        auto record_mouse = [this](const char* what) {
            return [this, what](skin::Object& o, int button, int shift, int x, int y) {
                log.push_back(std::string(what) + " " + o.Name() + " " + std::to_string(button) + " " + std::to_string(shift) +
                              " " + std::to_string(x) + "," + std::to_string(y));
            };
        };
        auto record_scroll = [this](const char* what) {
            return [this, what](skin::Object& o, std::int32_t p) { log.push_back(std::string(what) + " " + o.Name() + " " + std::to_string(p)); };
        };
        skin.events.Click = record("Click");
        skin.events.DblClick = record("DblClick");
        skin.events.MouseIn = record("MouseIn");
        skin.events.MouseOut = record("MouseOut");
        skin.events.MouseDown = record_mouse("MouseDown");
        skin.events.MouseUp = record_mouse("MouseUp");
        skin.events.Scroll = record_scroll("Scroll");
        skin.events.ScrollTrack = record_scroll("ScrollTrack");
    }

    skin::Object& Find(const char* name) { return *skin.GetSkinWindow(handle)->FindObject(name); }

    TempFolder dir;
    QWidget window;
    skin::Skin skin;
    std::uintptr_t handle = 0;
    QWidget* surface = nullptr;
    std::vector<std::string> log;
};

TEST_F(SkinEvents, TheWindowTakesTheDefinitionsSizeAndObjectsAreFoundIgnoringCase) {
    EXPECT_EQ(window.size(), QSize(200, 120));
    skin::SkinWindow& w = *skin.GetSkinWindow(handle);
    ASSERT_NE(w.FindObject("GO"), nullptr);
    EXPECT_EQ(w.FindObject("go")->Name(), "Go") << "an object reports its name as the skin writes it";
    EXPECT_EQ(w.FindObject("Gone"), nullptr);
    EXPECT_EQ(skin.GetSkinWindow(handle + 1), nullptr);
    EXPECT_THROW(skin.ApplySkin(handle, "Elsewhere"), skin::SkinError);
    skin::Skin empty;
    EXPECT_THROW(empty.ApplySkin(handle, "Test"), skin::SkinError);

    // Found by the fuzzer: a window may go before the skin applied to it.
    auto other = std::make_unique<skin::Skin>();
    other->LoadSkin(dir / "test.skn");
    auto gone = std::make_unique<QWidget>();
    other->ApplySkin(static_cast<std::uintptr_t>(gone->winId()), "test");
    gone.reset();
    other.reset();  // its surface went with the window
}

TEST_F(SkinEvents, APressAndReleaseOnAButtonClicksIt) {
    QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"MouseDown Go 1 1 20,20", "MouseUp Go 1 1 20,20", "Click Go"}));
    log.clear();

    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"MouseDown Go 2 0 20,20", "MouseUp Go 2 0 20,20"})) << "only the left button clicks";
    log.clear();

    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(30, 45));
    EXPECT_EQ(log, (std::vector<std::string>{"MouseDown Go 1 0 20,20", "MouseUp Link 1 0 30,45"}))
        << "a press taken elsewhere before the release is no click";
    log.clear();

    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(80, 20));
    EXPECT_EQ(log, (std::vector<std::string>{"MouseDown Off 1 0 80,20", "MouseUp Off 1 0 80,20"})) << "a disabled button";
    log.clear();

    Find("Off").SetDisabled(false);
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(80, 20));
    EXPECT_EQ(log.back(), "Click Off");
    log.clear();

    Find("Go").SetRect({10, -10, 60, 0});  // parked above the window
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(log.empty());
}

TEST_F(SkinEvents, ThePointerEnteringAndLeavingObjectsAndADoubleClick) {
    QTest::mouseMove(surface, QPoint(150, 60));
    QTest::mouseMove(surface, QPoint(20, 45));
    QTest::mouseMove(surface, QPoint(25, 20));
    QTest::mouseMove(surface, QPoint(150, 60));
    EXPECT_EQ(log, (std::vector<std::string>{"MouseIn Link", "MouseOut Link", "MouseIn Go", "MouseOut Go"}));
    log.clear();
    QTest::mouseDClick(surface, Qt::LeftButton, {}, QPoint(20, 45));
    EXPECT_NE(std::find(log.begin(), log.end(), "DblClick Link"), log.end());
}

TEST_F(SkinEvents, TheScrollBarTracksItsThumbPagesAndTakesTheWheel) {
    skin::Object& bar = Find("Bar");
    // range 10 and page 10 on 100 pixels: a 50-pixel thumb with 50 pixels to travel.
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(185, 10));
    EXPECT_TRUE(log.empty()) << "a scroll bar raises scroll events only";
    QTest::mouseMove(surface, QPoint(185, 30));
    QTest::mouseMove(surface, QPoint(185, 60));
    QTest::mouseMove(surface, QPoint(185, 99));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(185, 99));
    EXPECT_EQ(log, (std::vector<std::string>{"ScrollTrack Bar 4", "ScrollTrack Bar 10", "Scroll Bar 10"}));
    EXPECT_EQ(bar.Position(), 10);
    log.clear();

    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(185, 10));
    EXPECT_EQ(log, (std::vector<std::string>{"Scroll Bar 0"})) << "a click on the track above the thumb pages up";
    log.clear();

    QWheelEvent down(QPointF(20, 70), surface->mapToGlobal(QPointF(20, 70)), QPoint(), QPoint(0, -240), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &down);
    EXPECT_EQ(log, (std::vector<std::string>{"Scroll Bar 2"})) << "the wheel anywhere moves the window's scroll bar";
    log.clear();
    bar.SetVisible(false);
    QCoreApplication::sendEvent(surface, &down);
    EXPECT_TRUE(log.empty()) << "a hidden bar does not scroll";

    bar.SetRange(1);
    EXPECT_EQ(bar.Position(), 1) << "the position follows a range that shrinks below it";
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 0);
}

TEST_F(SkinEvents, ColourRecordsStartFromTheSkinAndAreDrawn) {
    skin::Object& go = Find("Go");
    const skin::ButtonColorRecord record = go.ButtonColors();
    EXPECT_EQ(record[60], 0);
    EXPECT_EQ(record[61], 0x80);
    EXPECT_EQ(record[62], 0xff);
    EXPECT_EQ(Find("Link").LabelColors()[4], 0xff);
    EXPECT_EQ(Find("Link").LabelColors()[6], 0xf0);

    auto count = [&](QColor colour) {
        const QImage shot = window.grab(QRect(10, 10, 50, 20)).toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()) < 30;
            }
        }
        return n;
    };
    EXPECT_GT(count(QColor(0, 128, 255)), 0);
    skin::ButtonColorRecord green = record;
    green[60] = 64;
    green[61] = 255;
    green[62] = 0;
    go.SetButtonColors(green);
    go.Repaint();
    EXPECT_EQ(count(QColor(0, 128, 255)), 0);
    EXPECT_GT(count(QColor(64, 255, 0)), 0);
}

TEST_F(SkinEvents, AWrappingLabelBreaksLongTextOntoMoreLines) {
    // The height of the band of rows that hold white text.
    auto text_height = [&] {
        const QImage shot = window.grab(QRect(10, 60, 100, 40)).toImage();
        int first = -1;
        int last = -1;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (shot.pixelColor(x, y).lightness() > 200) {
                    if (first < 0) first = y;
                    last = y;
                    break;
                }
            }
        }
        return first < 0 ? 0 : last - first + 1;
    };
    const int two_lines = text_height();
    Find("Note").SetText("one");
    Find("Note").Repaint();
    const int one_line = text_height();
    EXPECT_GT(one_line, 0);
    EXPECT_GT(two_lines, one_line + 8) << "the long text takes a second line";
}

TEST_F(SkinEvents, PopupMenusRunTheChosenItemOnly) {
    std::vector<std::string> ran;
    const skin::Menu menu = {{"ClearMenu", "Clear List", [&] { ran.push_back("clear"); }},
                             {"DeleteMenu", "Delete Item", [&] { ran.push_back("delete"); }},
                             {"Separator1", "-", nullptr},
                             {"CancelMenu1", "Cancel", nullptr}};
    skin::SkinWindow& w = *skin.GetSkinWindow(handle);

    // The real menu, dismissed as a user pressing Escape would.
    testing_support::WhenShows<QMenu>([](QMenu& popup) {
        EXPECT_EQ(popup.actions().size(), 4);
        EXPECT_TRUE(popup.actions()[2]->isSeparator());
        EXPECT_EQ(popup.actions()[1]->text(), "Delete Item");
        EXPECT_EQ(popup.actions()[1]->objectName(), "DeleteMenu");
        popup.close();
        return true;
    });
    w.ShowPopupMenu(menu, 100, 100);
    EXPECT_TRUE(ran.empty());

    testing_support::WhenShows<QMenu>([](QMenu& popup) {
        popup.setActiveAction(popup.actions()[1]);
        QTest::keyClick(&popup, Qt::Key_Return);
        return true;
    });
    w.ShowPopupMenu(menu, 100, 100);
    EXPECT_EQ(ran, (std::vector<std::string>{"delete"}));
}

} // namespace
