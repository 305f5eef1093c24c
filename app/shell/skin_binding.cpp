// Loading the main window's skin, binding its named objects, and the two panels.
#include "main_frame.h"

#include "platform/shell/folders.h"

#include <string>

namespace {

skin::Object* Bind(const skin::SkinWindow& window, const std::string& file, const std::string& name) {
    skin::Object* object = window.FindObject(name);
    if (object == nullptr) throw skin::SkinError(file + ": the window \"DVD\" has no object named \"" + name + "\"");
    return object;
}

// Moves an object out of view above the client area, keeping its left and
// right edges and its height.
void Park(skin::Object& object) {
    const skin::Rect r = object.GetRect();
    object.SetRect({r.left, r.top - r.bottom, r.right, 0});
}

skin::Rect RowRect(int i) { return {212, 38 + 15 * (i - 1), 364, 53 + 15 * (i - 1)}; }

} // namespace

void MainFrame::LoadSkin() {
    const std::string file = shell::ProgramFolder() + "/dvd.skn";
    Skin.LoadSkin(file);
    Skin.ApplySkin(Handle(), "DVD");
    const skin::SkinWindow& window = *Skin.GetSkinWindow(Handle());

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

    List.Bind({ListButton, ScrollBar, Processing});
    SwitchInterface("Main");
    StopCompress->SetDisabled(true);
}

void MainFrame::SwitchInterface(std::string_view panel) {
    if (panel == "Main") {
        if (List.GetListCount() > SourceList::kRows) ScrollBar->SetVisible(true);
        for (int i = 1; i <= SourceList::kRows; ++i) ListButton[static_cast<std::size_t>(i)]->SetRect(RowRect(i));
        for (skin::Object* o : {SaveStatic, SavePath, Ok, Cancel, Browse}) Park(*o);
    } else if (panel == "Settings") {
        for (int i = 1; i <= SourceList::kRows; ++i) Park(*ListButton[static_cast<std::size_t>(i)]);
        ScrollBar->SetVisible(false);
        SaveStatic->SetRect({229, 39, 384, 54});
        SavePath->SetRect({229, 86, 395, 101});
        Browse->SetRect({227, 63, 277, 78});
        Ok->SetRect({225, 113, 248, 128});
        Cancel->SetRect({254, 112, 296, 129});
        for (skin::Object* o : {SaveStatic, SavePath, Ok, Cancel, Browse}) o->SetVisible(true);
    }
}
