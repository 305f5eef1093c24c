// Loading the main window's skin and binding its named objects.
#include "main_frame.h"

#include "platform/shell/folders.h"

#include <string>

namespace {

skin::Object* Bind(const skin::SkinWindow& window, const std::string& file, const std::string& name) {
    skin::Object* object = window.FindObject(name);
    if (object == nullptr) throw skin::SkinError(file + ": the window \"DVD\" has no object named \"" + name + "\"");
    return object;
}

} // namespace

void MainFrame::LoadSkin() {
    const std::string file = shell::ProgramFolder() + "/dvd.skn";
    Skin.LoadSkin(file);
    Skin.ApplySkin(Handle(), "DVD");
    skin::SkinWindow& window = *Skin.GetSkinWindow(Handle());

    StartCompress = Bind(window, file, "StartCompress");
    StopCompress = Bind(window, file, "StopCompress");
    Processing = Bind(window, file, "Processing");
    ScrollBar = Bind(window, file, "ScrollBar");
    SaveStatic = Bind(window, file, "SaveStatic");
    SavePath = Bind(window, file, "SavePath");
    Ok = Bind(window, file, "Ok");
    Cancel = Bind(window, file, "Cancel");
    Browse = Bind(window, file, "Browse");
    for (int i = 1; i <= SourceList::kRows; ++i) ListButton[static_cast<std::size_t>(i)] = Bind(window, file, "list" + std::to_string(i));
    // The commands are reached only through these; check them as early.
    for (const char* name : {"BackGround", "FileMenu", "Settings", "About", "Close"}) Bind(window, file, name);

    // What a screen reader hears: the skin shows art where these have names.
    window.Describe("BackGround", skin::AccessibleRole::Default, "Minimise");
    window.Describe("Close", skin::AccessibleRole::Default, "Close");
    window.Describe("Processing", skin::AccessibleRole::StatusBar);
    for (int i = 1; i <= SourceList::kRows; ++i) window.Describe("List" + std::to_string(i), skin::AccessibleRole::ListRow);
    window.NameList("Source files");

    // Optional: a skin without them converts a disc's VOB files, as always.
    settings_.Titles().Bind(window);

    List.Bind({ListButton, ScrollBar, Processing});
    SwitchInterface("Main");
    StopCompress->SetDisabled(true);
}

void MainFrame::SwitchInterface(std::string_view panel) { settings_.Switch(panel); }
