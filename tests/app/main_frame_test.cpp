// The main window on the real skin: what binding leaves, the two panels, the
// settings commands clicked as a user would, and broken skins.
#include "main_frame_fixture.h"

#include "app/shell/startup.h"
#include "platform/shell/folders.h"
#include "platform/ui/message_box.h"

#include <filesystem>

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

// Where the rows are on the main panel, as loading placed them.
std::array<skin::Rect, 8> RowRects(const MainFrame& frame) {
    std::array<skin::Rect, 8> rects{};
    for (int i = 1; i <= 7; ++i) rects[static_cast<std::size_t>(i)] = frame.ListButton[static_cast<std::size_t>(i)]->GetRect();
    return rects;
}

TEST_F(MainFrameTest, LoadingBindsTheSkinAndOpensOnTheMainPanel) {
    EXPECT_EQ(frame.windowTitle(), "DVD");
    EXPECT_EQ(frame.size(), QSize(420, 190));
    EXPECT_TRUE(frame.StopCompress->Disabled());
    EXPECT_FALSE(frame.StartCompress->Disabled());
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(frame.ListButton[static_cast<std::size_t>(i)]->Name(), "List" + std::to_string(i))
            << "rows are asked for as \"list\" and the digit";
        EXPECT_GT(frame.ListButton[static_cast<std::size_t>(i)]->GetRect().top, 0) << "rows show on the main panel";
    }
    EXPECT_EQ(frame.SaveStatic->GetRect(), (skin::Rect{229, 39 - 54, 384, 0}));
    EXPECT_EQ(frame.Cancel->GetRect(), (skin::Rect{254, 112 - 129, 296, 0}));
    EXPECT_FALSE(frame.ScrollBar->Visible()) << "the bar keeps the skin's visibility while the list is empty";
    EXPECT_EQ(frame.List.View().processing, frame.Processing);
}

TEST_F(MainFrameTest, TheSettingsPanelParksTheRowsAndPlacesItsControls) {
    const auto rows = RowRects(frame);
    frame.SwitchInterface("Settings");
    for (int i = 1; i <= 7; ++i) {
        const skin::Rect r = rows[static_cast<std::size_t>(i)];
        EXPECT_EQ(frame.ListButton[static_cast<std::size_t>(i)]->GetRect(), (skin::Rect{r.left, r.top - r.bottom, r.right, 0}));
    }
    EXPECT_EQ(frame.SaveStatic->GetRect(), (skin::Rect{229, 39, 384, 54}));
    EXPECT_EQ(frame.Browse->GetRect(), (skin::Rect{227, 63, 277, 78}));
    EXPECT_EQ(frame.SavePath->GetRect(), (skin::Rect{229, 86, 395, 101}));
    EXPECT_EQ(frame.Ok->GetRect(), (skin::Rect{225, 113, 248, 128}));
    EXPECT_EQ(frame.Cancel->GetRect(), (skin::Rect{254, 112, 296, 129}));
    for (skin::Object* o : {frame.SaveStatic, frame.SavePath, frame.Ok, frame.Cancel, frame.Browse}) EXPECT_TRUE(o->Visible());
    EXPECT_FALSE(frame.ScrollBar->Visible());

    // Parking what is parked already changes nothing; unknown panels do nothing.
    frame.SwitchInterface("Settings");
    EXPECT_EQ(frame.ListButton[1]->GetRect(), (skin::Rect{212, -15, 364, 0}));
    frame.SwitchInterface("settings");
    frame.SwitchInterface("Elsewhere");
    EXPECT_EQ(frame.SaveStatic->GetRect(), (skin::Rect{229, 39, 384, 54}));

    frame.SwitchInterface("Main");
    frame.SwitchInterface("Main");
    EXPECT_EQ(RowRects(frame), rows) << "the main panel puts the rows back";
    EXPECT_EQ(frame.Browse->GetRect(), (skin::Rect{227, 63 - 78, 277, 0}));

    // Back on the main panel the bar shows only for more than seven entries.
    for (const int entries : {7, 8}) {
        Fill(entries);
        frame.SwitchInterface("Settings");
        frame.SwitchInterface("Main");
        EXPECT_EQ(frame.ScrollBar->Visible(), entries > 7);
    }
}

TEST_F(MainFrameTest, TheSettingsCommandsShowStoreOrDropTheFolder) {
    const auto rows = RowRects(frame);
    const std::string stored = shell::ProgramFolder() + "/";
    ClickOn(Named("Settings"));
    EXPECT_EQ(frame.SavePath->Text(), stored);
    EXPECT_EQ(frame.SavePath->HintText(), stored);
    EXPECT_EQ(frame.Ok->GetRect(), (skin::Rect{225, 113, 248, 128}));

    frame.SavePath->SetText("/srv/rips/");  // as Browse leaves it
    ClickOn(*frame.Cancel);
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), stored) << "Cancel stores nothing";
    EXPECT_EQ(RowRects(frame), rows);

    ClickOn(Named("Settings"));
    EXPECT_EQ(frame.SavePath->Text(), stored) << "Settings reads the file again";
    frame.SavePath->SetText("/srv/rips/");
    ClickOn(*frame.Ok);
    EXPECT_EQ(ReadFile(IniFileName()), "[SavePath]\nPathName=/srv/rips/\n");
    EXPECT_EQ(RowRects(frame), rows);

    WriteFile(IniFileName(), "[SavePath]\n");
    ClickOn(Named("Settings"));
    EXPECT_EQ(frame.SavePath->Text(), "0") << "a missing key shows as 0";
}

TEST_F(MainFrameTest, NamesAreComparedExactlyWhenAClickIsDispatched) {
    skin::ObjectDef def;
    def.kind = skin::Kind::Button;
    def.name = "settings";
    skin::Object lower(def);
    frame.Skin_Click(lower);
    EXPECT_EQ(frame.Ok->GetRect(), (skin::Rect{225, 113 - 128, 248, 0})) << "still on the main panel";
    def.name = "close";
    skin::Object close(def);
    frame.Skin_Click(close);
    EXPECT_TRUE(frame.isVisible());
    ClickOn(Named("Close"));
    EXPECT_FALSE(frame.isVisible());
}

// A program folder holding a broken dvd.skn, and what start-up makes of it.
class BrokenSkinStart : public ::testing::Test {
protected:
    void SetUp() override {
        shell::SetProgramFolder(folder.path().string());
        ui::SetMessageSink([this](std::string_view text) { boxes.emplace_back(text); });
    }
    void TearDown() override {
        shell::SetProgramFolder({});
        ui::SetMessageSink(nullptr);
    }
    bool Start() {
        MainFrame frame;
        return LoadMainFrame(frame);
    }

    TempFolder folder;
    std::vector<std::string> boxes;
};

// A missing file is named with its cause, a skin without a bound object with the object.
TEST_F(BrokenSkinStart, IsNamedWithItsCause) {
    EXPECT_FALSE(Start());
    std::string text = ReadFile(BUILD_PROGRAM_DIR "/dvd.skn");
    ASSERT_FALSE(text.empty());
    text.replace(text.find("[button List3]"), 14, "[button Row3]");
    std::filesystem::copy(std::string(BUILD_PROGRAM_DIR) + "/art", folder / "art");
    WriteFile(folder / "dvd.skn", text);
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Marbleway cannot start: its skin is missing or broken.\n\n" + folder / "dvd.skn" +
                            ": cannot open the skin file: No such file or directory");
    EXPECT_NE(boxes[1].find(folder / "dvd.skn" + ": the window \"DVD\" has no object named \"list3\""), std::string::npos) << boxes[1];
}

} // namespace
