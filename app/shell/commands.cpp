// The commands of the main window's face: every click on a skin object.
#include "main_frame.h"

#include "settings_store.h"
#include "splash.h"

#include "app/sources/path_text.h"
#include "platform/shell/dialogs.h"
#include "platform/ui/message_box.h"

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
    } else if (name == "Browse") {
        // The browser opens at the folder the panel shows.
        std::string folder =
            shell::BrowseForFolder(Handle(), "Select a directory that you want AVI file(s) to be stored in!", SavePath->Text());
        if (!folder.empty()) ShowFolder(*SavePath, AddBackslash(folder));
    } else if (name == "Ok") {
        WriteIniValue("SavePath", "PathName", SavePath->Text());
        SwitchInterface("Main");
    } else if (name == "Cancel") {
        SwitchInterface("Main");
    } else if (name == "About") {
        SetSkinPopupMenu(2);
    } else if (name == "Close") {
        UnloadSplash();
        close();
    }
}

void MainFrame::UnloadSplash() {
    if (splash_) splash_->close();
}

void MainFrame::AboutMenu_Click() {
    hide();
    auto* splash = new Splash(*this);
    try {
        splash->Form_Load();
    } catch (const skin::SkinError& e) {
        delete splash;
        show();
        ui::MessageBox(std::string("The About window cannot be shown: its skin is missing or broken.\n\n") + e.what(),
                       "Marbleway", ui::Icon::Warning);
        return;
    }
    splash_ = splash;
    splash->show();
}

Splash* MainFrame::SplashWindow() const { return splash_; }
