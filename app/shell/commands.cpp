// The commands of the main window's face: every click on a skin object.
#include "main_frame.h"

#include "settings_store.h"

namespace {

void ShowFolder(skin::Object& label, const std::string& folder) {
    label.SetText(folder);
    label.SetHintText(folder);
    label.Repaint();
}

} // namespace

void MainFrame::Skin_Click(skin::Object& source) {
    const std::string& name = source.Name();
    if (name == "StartCompress") {
        StartRun();
    } else if (name == "StopCompress") {
        OnForceStop();
    } else if (name == "BackGround") {
        SendToBackground();
    } else if (name == "FileMenu") {
        SetSkinPopupMenu(1);
    } else if (name == "Settings") {
        SwitchInterface("Settings");
        ShowFolder(*SavePath, ReadIniValue("SavePath", "PathName"));
    } else if (name == "Ok") {
        WriteIniValue("SavePath", "PathName", SavePath->Text());
        SwitchInterface("Main");
    } else if (name == "Cancel") {
        SwitchInterface("Main");
    } else if (name == "About") {
        SetSkinPopupMenu(2);
    } else if (name == "Close") {
        close();
    }
}
