// The Settings panel's controls for titles, clicked as a user would: their
// menus, Ok and Cancel, and a skin that has none of them.
#include "main_frame_fixture.h"

#include "app/shell/startup.h"
#include "platform/shell/folders.h"
#include "platform/ui/input_box.h"

#include <filesystem>

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

class TitlePanel : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        // The menu answers with the item captioned choose next.
        skin::SetPopupMenuHook([this](const skin::Menu& menu, int, int) {
            menus.push_back(menu.front().caption + ".." + menu.back().caption);
            for (std::size_t i = 0; i < menu.size(); ++i)
                if (menu[i].caption == choose) return static_cast<int>(i);
            return -1;
        });
        ui::SetNumberHook([this](const std::string& prompt, int value) -> std::optional<int> {
            asked.push_back(prompt + " " + std::to_string(value));
            return number;
        });
    }
    void TearDown() override {
        skin::SetPopupMenuHook(nullptr);
        ui::SetNumberHook(nullptr);
        MainFrameTest::TearDown();
    }
    void Pick(const char* control, std::string item) {
        choose = std::move(item);
        ClickOn(Named(control));
    }
    std::string Caption(const char* control) { return Named(control).Caption(); }

    std::string choose;
    std::vector<std::string> menus;
    std::optional<int> number;
    std::vector<std::string> asked;
};

// Each control says its value and changes it by a click (a toggle) or its
// menu; Ok stores what the panel shows, Cancel drops it, and a DVD.ini
// whose settings stay as they were is not written to.
TEST_F(TitlePanel, TheControlsShowChangeAndStoreTheSettingsOfTitles) {
    const std::string before = ReadFile(IniFileName());
    ClickOn(Named("Settings"));
    EXPECT_EQ(Caption("WholeTitles"), "Whole titles: off");
    EXPECT_EQ(Caption("TitleSound"), "Sound: disc");
    EXPECT_EQ(Caption("TitleSubtitles"), "Subs: none");
    EXPECT_EQ(Caption("TitleSize"), "Size: rate");
    EXPECT_EQ(Caption("BlackBars"), "Black bars: cut");
    EXPECT_EQ(Named("TitleSize").HintText(), "Size of each title: as set by the bit rate");
    ClickOn(*frame.Ok);
    EXPECT_EQ(ReadFile(IniFileName()), before) << "nothing changed, nothing written";

    ClickOn(Named("Settings"));
    ClickOn(Named("WholeTitles"));
    Pick("TitleSound", "German (de)");
    Pick("TitleSubtitles", "English (en)");
    number = 3;
    Pick("TitleSize", "Other size…");
    ClickOn(Named("BlackBars"));
    EXPECT_EQ(menus, (std::vector<std::string>{"As the disc plays..Swedish (sv)", "None..Swedish (sv)",
                                               "As set by the bit rate..Other size…"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"Size of each title's AVI file, in MB: 700"}));
    EXPECT_EQ(Caption("WholeTitles"), "Whole titles: on");
    EXPECT_EQ(Caption("TitleSound"), "Sound: de");
    EXPECT_EQ(Named("TitleSound").HintText(), "Sound of titles: German (de)");
    EXPECT_EQ(Caption("TitleSubtitles"), "Subs: en");
    EXPECT_EQ(Caption("TitleSize"), "3 MB");
    EXPECT_EQ(Caption("BlackBars"), "Black bars: kept");
    EXPECT_EQ(ReadTitleSettings(), TitleSettings{}) << "nothing stored before Ok";
    ClickOn(*frame.Ok);
    TitleSettings stored;
    stored.wholeTitles = true;
    stored.audioLanguage = "de";
    stored.subtitles = TitleSettings::Subtitles::Language;
    stored.subtitleLanguage = "en";
    stored.sizeMB = 3;
    stored.cropBlackBars = false;
    EXPECT_EQ(ReadTitleSettings(), stored);
    EXPECT_EQ(frame.Settings().TitleChoice(), stored);
    EXPECT_EQ(Named("WholeTitles").GetRect().bottom, 0) << "parked with the main panel";

    // Cancel drops a change; a cancelled number keeps the size; a menu closed
    // without a choice keeps the sound.
    ClickOn(Named("Settings"));
    Pick("TitleSubtitles", "Forced only (what the film shows in any language)");
    EXPECT_EQ(Caption("TitleSubtitles"), "Subs: forced");
    number.reset();
    Pick("TitleSize", "Other size…");
    Pick("TitleSound", "nothing");
    EXPECT_EQ(Caption("TitleSize"), "3 MB");
    EXPECT_EQ(Caption("TitleSound"), "Sound: de");
    ClickOn(*frame.Cancel);
    EXPECT_EQ(ReadTitleSettings(), stored);
    ClickOn(Named("Settings"));
    EXPECT_EQ(Caption("TitleSubtitles"), "Subs: en") << "the panel shows what is stored";
}

// A skin without the controls still loads; the settings it can't show are
// not applied, even where DVD.ini has them on.
TEST(TitlePanelSkin, ASkinWithoutTheControlsLoadsAndKeepsTheirDefaults) {
    TempFolder config;
    TempFolder program;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    std::string text = ReadFile(BUILD_PROGRAM_DIR "/dvd.skn");
    const std::size_t cut = text.find("# Converting a disc's titles");
    ASSERT_NE(cut, std::string::npos);
    text.resize(cut);
    text += "[button TitleSound]\nrect = 210, 132, 272, 146\n";
    std::filesystem::copy(std::string(BUILD_PROGRAM_DIR) + "/art", program / "art");
    WriteFile(program / "dvd.skn", text);
    shell::SetProgramFolder(program.path().string());
    {
        MainFrame frame;
        ASSERT_NO_THROW(frame.LoadSkin());
        SetUpIniFile();
        TitleSettings s;
        s.wholeTitles = true;
        s.audioLanguage = "fr";
        s.sizeMB = 700;
        WriteTitleSettings(s);
        TitleSettings shown;
        shown.audioLanguage = "fr";
        EXPECT_EQ(frame.Settings().TitleChoice(), shown) << "only the sound has a control";
        frame.SwitchInterface("Settings");
        frame.Settings().Open();
        EXPECT_EQ(frame.Skin.GetSkinWindow(frame.Handle())->FindObject("TitleSound")->Caption(), "Sound: fr");
    }
    shell::SetProgramFolder({});
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
