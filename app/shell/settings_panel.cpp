#include "settings_panel.h"

#include "main_frame.h"
#include "settings_store.h"

#include "app/sources/path_text.h"
#include "app/sources/popup_menus.h"
#include "platform/shell/dialogs.h"

namespace {

// Moves an object out of view above the client area, keeping its left and
// right edges and its height.
void Park(skin::Object& object) {
    const skin::Rect r = object.GetRect();
    object.SetRect({r.left, r.top - r.bottom, r.right, 0});
}

skin::Rect RowRect(int i) { return {212, 38 + 15 * (i - 1), 364, 53 + 15 * (i - 1)}; }

void ShowFolder(skin::Object& label, const std::string& folder) {
    label.SetText(folder);
    label.SetHintText(folder);
    label.Repaint();
}

} // namespace

void SettingsPanel::Switch(std::string_view panel) {
    MainFrame& f = frame_;
    if (panel == "Main") {
        if (f.List.GetListCount() > SourceList::kRows) f.ScrollBar->SetVisible(true);
        for (int i = 1; i <= SourceList::kRows; ++i) f.ListButton[static_cast<std::size_t>(i)]->SetRect(RowRect(i));
        for (skin::Object* o : {f.SaveStatic, f.SavePath, f.Ok, f.Cancel, f.Browse}) Park(*o);
        for (skin::Object* o : titles_.Objects())
            if (o != nullptr) Park(*o);
    } else if (panel == "Settings") {
        for (int i = 1; i <= SourceList::kRows; ++i) Park(*f.ListButton[static_cast<std::size_t>(i)]);
        f.ScrollBar->SetVisible(false);
        f.SaveStatic->SetRect({229, 39, 384, 54});
        f.SavePath->SetRect({229, 86, 395, 101});
        f.Browse->SetRect({227, 63, 277, 78});
        f.Ok->SetRect({225, 113, 248, 128});
        f.Cancel->SetRect({254, 112, 296, 129});
        for (skin::Object* o : {f.SaveStatic, f.SavePath, f.Ok, f.Cancel, f.Browse}) o->SetVisible(true);
        for (skin::Object* o : titles_.Objects()) {
            if (o == nullptr) continue;
            o->SetRect(o->Definition().rect);
            o->SetVisible(true);
        }
    }
}

void SettingsPanel::Open() {
    Switch("Settings");
    ShowFolder(*frame_.SavePath, ReadIniValue("SavePath", "PathName"));
    titles_.Show(ReadTitleSettings());
}

void SettingsPanel::Browse() {
    std::string folder = shell::BrowseForFolder(
        frame_.Handle(), "Select a directory that you want AVI file(s) to be stored in!", frame_.SavePath->Text());
    if (!folder.empty()) ShowFolder(*frame_.SavePath, AddBackslash(folder));
}

void SettingsPanel::Store() {
    WriteIniValue("SavePath", "PathName", frame_.SavePath->Text());
    // A DVD.ini that never had title settings gets them only once they change.
    if (titles_.Shown() != ReadTitleSettings()) WriteTitleSettings(titles_.Shown());
    Switch("Main");
}

void SettingsPanel::Drop() { Switch("Main"); }

bool SettingsPanel::Click(const skin::Object& object) {
    return titles_.Click(object, [this](const skin::Menu& menu) { ShowPopupMenu(frame_.Skin, frame_.Handle(), menu); });
}
