// The commands of the main window's face: every click on a skin object.
#include "main_frame.h"

#include "settings_store.h"
#include "splash.h"

#include "app/sources/popup_menus.h"
#include "app/sources/title_entries.h"
#include "platform/shell/dialogs.h"
#include "platform/ui/message_box.h"

#include <filesystem>

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
        settings_.Open();
    } else if (name == "Browse") {
        settings_.Browse();
    } else if (name == "Ok") {
        settings_.Store();
    } else if (name == "Cancel") {
        settings_.Drop();
    } else if (name == "About") {
        SetSkinPopupMenu(2);
    } else if (name == "Close") {
        UnloadSplash();
        close();
    } else {
        settings_.Click(source);
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

void MainFrame::Skin_Scroll(skin::Object& /*source*/, std::int32_t position) { List.ScrollBarChanged(position); }

void MainFrame::Skin_ScrollTrack(skin::Object& /*source*/, std::int32_t position) { List.ScrollBarChanged(position); }

void MainFrame::Skin_MouseUp(skin::Object& source, int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {
    const int row = ReleasedRow(source.Name());
    if (row == 0) return;
    List.SelectedRow = static_cast<std::int16_t>(row);
    if (!ListButton[static_cast<std::size_t>(row)]->Caption().empty()) SetSkinPopupMenu(0);
}

void MainFrame::SetSkinPopupMenu(std::int16_t position) {
    if (position < 0 || position >= static_cast<std::int16_t>(MenuBar.size())) return;
    // A title's row offers its own tracks before the list's commands.
    const int slot = ScrollBar != nullptr ? ScrollBar->Position() + List.SelectedRow : 0;
    const SourceEntry& entry = List.FileList.Entry(slot);
    if (position != 0 || entry.title == 0 || List.SelectedRow < 1) {
        ShowPopupMenu(Skin, Handle(), GetSubMenu(position));
        return;
    }
    const int row = List.SelectedRow;
    skin::Menu menu = TrackItems(entry, [this, slot, row](int audio, int subtitle) {
        SourceEntry chosen = List.FileList.Entry(slot);
        ChooseTracks(chosen, audio, subtitle);
        List.FileList.Set(slot, std::move(chosen));
        List.ShowInRow(slot, row);
    });
    menu.insert(menu.end(), MenuBar[0].begin(), MenuBar[0].end());
    ShowPopupMenu(Skin, Handle(), menu);
}

// The run's commands.
void MainFrame::StartRun() { run_.Start(); }
void MainFrame::StartCompress_Click(int slot, std::int16_t flag) { run_.StartEntry(slot, flag); }
void MainFrame::StopCompress_Click() { run_.EntryDone(); }
void MainFrame::OnForceStop() { run_.ForceStop(); }
std::string MainFrame::MakeAviPath(const std::string& path) { return run_.AviPath(path); }
void MainFrame::Timer1_Timer() { run_.Poll(); }
bool MainFrame::Running() const { return run_.Running(); }

// Filling the list.
void MainFrame::ListVobInDVDRom() { search_.ListVobInDVDRom(); }
void MainFrame::SysInfo1_DeviceArrival() {
    if (Loaded()) search_.DeviceArrival();
}
void MainFrame::SysInfo1_DeviceRemoveComplete() {
    if (Loaded()) search_.DeviceRemoved();
}
void MainFrame::ImportFolder(std::string folder) { search_.ImportFolder(std::move(folder)); }
void MainFrame::AddOpenedFile(const std::string& file_title, const std::string& file_name) {
    search_.AddOpenedFile(file_title, file_name);
}
void MainFrame::DropFiles(const std::vector<std::string>& paths) { search_.DropFiles(paths); }
void MainFrame::fs_FindedFileInfo(const std::string& path) { search_.FoundFile(path); }

void MainFrame::ImportFile_Click() {
    std::string folder =
        shell::BrowseForFolder(Handle(), "Select a directory from which you want to import file(s)", LastDialogFolder());
    if (folder.empty()) return;
    RememberDialogFolder(folder);
    ImportFolder(std::move(folder));
}

void MainFrame::OpenFile_Click() {
    const shell::OpenFileResult chosen = shell::ShowOpen(Handle(), search_.OpenFilter(), LastDialogFolder());
    if (!chosen.file_name.empty()) RememberDialogFolder(std::filesystem::path(chosen.file_name).parent_path().string());
    AddOpenedFile(chosen.file_title, chosen.file_name);
}
